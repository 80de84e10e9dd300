#include "ui/ui_framework_win.hpp"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/exception.hpp"
#include "ui/dpi_scale.hpp"

namespace kelv::ui {

namespace {

int32_t ReadScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

Framework& Framework::Get() {
  static Framework framework;
  return framework;
}

Framework::Framework()
    : instance_(GetModuleHandleA(nullptr)),
      dpi_(ReadScreenDpi()),
      focus_([](NativeWindow control) { SetFocus(control); }) {
  registry_.Clear();
  framePen_.reset(CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNSHADOW)));
  highlightPen_.reset(CreatePen(PS_SOLID, 0, GetSysColor(COLOR_HIGHLIGHTTEXT)));
  CreateSharedFont();
}

int32_t Framework::ScaleToScreen(int32_t value) const { return ScaleToScreenAt(value, dpi_); }
int32_t Framework::ScaleTo96(int32_t value) const { return ScaleTo96At(value, dpi_); }

void Framework::CreateSharedFont() {
  dialogFont_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  textColour_ = GetSysColor(COLOR_WINDOWTEXT);
}

HFONT Framework::TitleFont() {
  if (!titleFont_) {
    LOGFONTA lf{};
    lf.lfHeight = 30;
    lf.lfWeight = 600;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = PROOF_QUALITY;
    std::strcpy(lf.lfFaceName, "Courier New");
    titleFont_.reset(CreateFontIndirectA(&lf));
  }
  return titleFont_.get();
}

bool Framework::ApplyBusyCursor() const {
  if (!busyCursor_) return false;
  SetCursor(busyCursor_);
  return true;
}

void Framework::RegisterTab(HWND tab, PageChangeCallback callback) {
  if (tabCount_ >= kMaxTabs) throw Exception("TheTab_Last= " + std::to_string(tabCount_));
  tabs_[static_cast<size_t>(tabCount_++)] = {tab, callback};
}

void Framework::NotifyPainted(HWND window) {
  for (int32_t i = 0; i < tabCount_; ++i) {
    const TabEntry& entry = tabs_[static_cast<size_t>(i)];
    // A page is a sibling of its tab control: it finds the tab through their parent.
    HWND tabParent = GetParent(entry.tab);
    if (entry.tab == window || tabParent == window || (tabParent && tabParent == GetParent(window))) {
      if (entry.callback) entry.callback(entry.tab);
      return;
    }
  }
  char handle[32];
  std::snprintf(handle, sizeof handle, "%llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  throw Exception(std::string("can't find TheTab, H=") + handle + ", TheTab_Last=" + std::to_string(tabCount_) +
                  ", caption=" + GetControlText(window));
}

HIMAGELIST Framework::CheckImages() {
  if (!checkImages_) checkImages_ = BuildCheckBoxImages();
  return checkImages_.get();
}

void Framework::ReleaseDrawingObjects() {
  framePen_.reset();
  highlightPen_.reset();
  checkImages_.reset();
  titleFont_.reset();
}

void FocusControl(int32_t id) {
  Framework& ui = Framework::Get();
  HWND control = ui.Registry().Find(id);
  ui.Focus().SetFocused(control);
  if (control) SetFocus(control);
}

void RestoreFocus() { Framework::Get().Focus().RestoreFocus(); }

void PushFocus() {
  Framework& ui = Framework::Get();
  ui.Focus().Push(ui.Registry());
}

void PopFocus() {
  Framework& ui = Framework::Get();
  ui.Focus().Pop(ui.Registry());
}

HWND ControlById(int32_t id) { return Framework::Get().Registry().Find(id); }

int32_t CaptionHeight() {
  NONCLIENTMETRICSA metrics{};
  // The record without the padded border width of newer systems: 340 bytes, which every
  // system accepts.
  metrics.cbSize = 340;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) return ScaleTo96(23);
  return ScaleTo96(metrics.iCaptionHeight + metrics.iBorderWidth);
}

void RepaintWithChildren(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void InvalidateTabRow(HWND tab) {
  RECT row{};
  GetClientRect(tab, &row);
  RECT display = row;
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  row.bottom = display.top;
  InvalidateRect(tab, &row, FALSE);
}

std::string GetControlText(HWND window) {
  char buffer[1001];
  const int length = GetWindowTextA(window, buffer, 1000);
  return std::string(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kelv::ui
