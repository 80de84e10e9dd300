#include "ui/ui_framework_win.hpp"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

HFONT Framework::FontLike(const LOGFONTA& wanted) {
  for (const auto& [lf, font] : fittedFonts_)
    if (std::memcmp(&lf, &wanted, sizeof lf) == 0) return font.get();
  fittedFonts_.emplace_back(wanted, win::UniqueFont(CreateFontIndirectA(&wanted)));
  return fittedFonts_.back().second.get();
}

void Framework::ReleaseDrawingObjects() {
  fittedFonts_.clear();
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

namespace {

// Space kept between a widened caption and the window beside it, and inside a group box's
// frame, in 96-dpi units.
constexpr int32_t kCaptionGap = 4;
constexpr int32_t kGroupFrame = 3;

enum class CaptionKind { None, CheckOrRadio, Push, Group, Label, Combo };

bool ClassIs(HWND window, const char* name) {
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  return lstrcmpiA(cls, name) == 0;
}

CaptionKind KindOf(HWND control) {
  // A window without a font of its own paints its caption itself (the hyperlinks, sized to
  // their text).
  if (!SendMessageA(control, WM_GETFONT, 0, 0)) return CaptionKind::None;
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
  if (ClassIs(control, "Button")) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return CaptionKind::CheckOrRadio;
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        return CaptionKind::Push;
      case BS_GROUPBOX:
        return CaptionKind::Group;
      default:
        return CaptionKind::None;
    }
  }
  if (ClassIs(control, "Static")) {
    switch (style & SS_TYPEMASK) {
      case SS_LEFT:
      case SS_CENTER:
      case SS_RIGHT:
      case SS_SIMPLE:
      case SS_LEFTNOWORDWRAP:
        return CaptionKind::Label;
      default:
        return CaptionKind::None;
    }
  }
  if (ClassIs(control, "ComboBox")) return CaptionKind::Combo;
  return CaptionKind::None;
}

// The drawing of a button's caption with visual styles. A themed check box, radio button or
// group box draws its caption in the theme's font where the theme names one, whatever font
// the control was given, and after the theme's box.
class ThemedCaption {
public:
  ThemedCaption(HWND control, CaptionKind kind, HDC dc) {
    const bool drawnByTheme = kind == CaptionKind::CheckOrRadio || kind == CaptionKind::Group;
    if (!Framework::Get().ThemesActive() || !drawnByTheme || dc == nullptr) return;
    HMODULE uxtheme = GetModuleHandleA("uxtheme.dll");
    if (!uxtheme) return;
    // The control's own theme: one opened here for the window would become the window's
    // and be closed under it.
    const auto windowTheme = Entry<HANDLE(WINAPI*)(HWND)>(uxtheme, "GetWindowTheme");
    const auto font = Entry<HRESULT(WINAPI*)(HANDLE, HDC, int, int, int, LOGFONTW*)>(uxtheme, "GetThemeFont");
    const auto partSize =
        Entry<HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, int, SIZE*)>(uxtheme, "GetThemePartSize");
    const auto content = Entry<HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, RECT*)>(
        uxtheme, "GetThemeBackgroundContentRect");
    if (!windowTheme || !font || !partSize || !content) return;
    theme_ = windowTheme(control);
    if (!theme_) return;
    const int part = kind == CaptionKind::Group ? 4 /* BP_GROUPBOX */
                     : IsRadio(control)         ? 2 /* BP_RADIOBUTTON */
                                                : 3 /* BP_CHECKBOX */;
    LOGFONTW lf{};
    if (SUCCEEDED(font(theme_, dc, part, 1, 210 /* TMT_FONT */, &lf))) font_.reset(CreateFontIndirectW(&lf));
    if (kind == CaptionKind::Group) {
      lead_ = 12;  // the frame's corner and a space
      trail_ = 2;
      return;
    }
    SIZE box{13, 13};
    if (FAILED(partSize(theme_, dc, part, 1, nullptr, 2 /* TS_DRAW */, &box))) box = SIZE{13, 13};
    // The box is drawn scaled with the dpi, whatever size the theme's part reports (Wine
    // reports 13 at every dpi).
    box.cx = std::max<LONG>(box.cx, Framework::Get().ScaleToScreen(13));
    RECT client{};
    GetClientRect(control, &client);
    RECT inner = client;
    if (FAILED(content(theme_, dc, part, 1, &client, &inner))) inner = client;
    lead_ = (inner.left - client.left) + box.cx + 6;  // the box and the space after it
    trail_ = (client.right - inner.right) + 1;       // the focus frame's last column
  }
  ThemedCaption(const ThemedCaption&) = delete;
  ThemedCaption& operator=(const ThemedCaption&) = delete;

  bool Themed() const { return theme_ != nullptr; }
  // The theme's font for the caption; null: the control's own.
  HFONT Font() const { return font_.get(); }
  int32_t Lead() const { return lead_; }
  int32_t Trail() const { return trail_; }

private:
  template <typename F>
  static F Entry(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  static bool IsRadio(HWND control) {
    const auto type = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  }

  HANDLE theme_ = nullptr;  // the control's: not closed here
  win::UniqueFont font_;
  int32_t lead_ = 0, trail_ = 0;
};

// One line of text in the given font, or the control's own.
SIZE TextExtent(HWND control, const std::string& text, UINT format, HFONT font = nullptr) {
  if (text.empty()) return SIZE{0, 0};
  HDC dc = GetDC(control);
  if (!dc) return SIZE{0, 0};
  if (!font) font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | format);
  if (old) SelectObject(dc, old);
  ReleaseDC(control, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// A button's caption as it is drawn, and the pixels before and after it where the theme
// draws it.
struct ButtonCaption {
  SIZE extent;
  bool themed;
  bool themeFont;
  int32_t lead, trail;
};

ButtonCaption MeasureButtonCaption(HWND control, CaptionKind kind) {
  HDC dc = GetDC(control);
  const ThemedCaption theme(control, kind, dc);
  if (dc) ReleaseDC(control, dc);
  return {TextExtent(control, GetControlText(control), 0, theme.Font()), theme.Themed(), theme.Font() != nullptr,
          theme.Lead(), theme.Trail()};
}

SIZE WidestItem(HWND combo) {
  SIZE widest{0, 0};
  const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<int>(SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
    if (length <= 0) continue;
    std::string item(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<size_t>(length));
    const SIZE size = TextExtent(combo, item, DT_NOPREFIX);
    widest.cx = std::max(widest.cx, size.cx);
    widest.cy = std::max(widest.cy, size.cy);
  }
  return widest;
}

PixelRect RectInParent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return PixelRect{r.left, r.top, r.right, r.bottom};
}

void SetRight(HWND window, const PixelRect& now, int32_t right) {
  SetWindowPos(window, nullptr, 0, 0, right - now.left, now.bottom - now.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

SIZE CaptionExtent(HWND control) {
  switch (KindOf(control)) {
    case CaptionKind::None:
      return SIZE{0, 0};
    case CaptionKind::Combo:
      return WidestItem(control);
    case CaptionKind::Label:
      return TextExtent(control, GetControlText(control),
                        (GetWindowLongPtrA(control, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    default:
      return MeasureButtonCaption(control, KindOf(control)).extent;
  }
}

int32_t CaptionWidthNeeded(HWND control) {
  const CaptionKind kind = KindOf(control);
  if (kind == CaptionKind::None) return 0;
  const SIZE extent = CaptionExtent(control);
  if (extent.cx == 0) return 0;
  if (kind == CaptionKind::CheckOrRadio || kind == CaptionKind::Group) {
    const ButtonCaption caption = MeasureButtonCaption(control, kind);
    if (caption.themed) return caption.lead + caption.extent.cx + caption.trail;
  }
  switch (kind) {
    case CaptionKind::CheckOrRadio:
    case CaptionKind::Push: {
      SIZE ideal{0, 0};  // no width given: the ideal width of one line
      if (SendMessageA(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) && ideal.cx > 0)
        return ideal.cx;
      // Controls that cannot tell: the box and the space after it, or the push button's
      // edges.
      return extent.cx + (kind == CaptionKind::Push ? ScaleToScreen(12) : ScaleToScreen(13 + 5));
    }
    case CaptionKind::Group:
      return extent.cx + ScaleToScreen(16);  // the frame's corner before the text and a space each side
    case CaptionKind::Combo: {
      // Beside the text area: the drop-down button and the edges.
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      RECT window{};
      GetWindowRect(control, &window);
      const int32_t around = GetComboBoxInfo(control, &info)
                                 ? (window.right - window.left) - (info.rcItem.right - info.rcItem.left)
                                 : GetSystemMetrics(SM_CXVSCROLL) + 4;
      return extent.cx + around + 2;
    }
    default:
      return extent.cx;
  }
}

void FitCaption(HWND control) {
  HWND parent = GetParent(control);
  if (!control || !parent) return;
  Framework& ui = Framework::Get();
  // At 96 dpi the layout stays exactly as given: its boxes are made for the dialog font
  // there.
  if (ui.Dpi() == 96) return;
  auto& widened = ui.WidenedControls();
  std::erase_if(widened, [](const Framework::Widened& w) { return !IsWindow(w.window); });
  const int32_t gap = ui.ScaleToScreen(kCaptionGap);
  const PixelRect mine = RectInParent(control);

  // A control widened earlier gives way to this one where it now stands beside it.
  for (const Framework::Widened& earlier : widened) {
    if (earlier.window == control || GetParent(earlier.window) != parent) continue;
    const PixelRect now = RectInParent(earlier.window);
    const PixelRect design{now.left, now.top, earlier.designRight, now.bottom};
    const int32_t limit = CaptionRightLimit(design, std::span<const PixelRect>(&mine, 1), now.right, gap);
    if (limit < now.right) SetRight(earlier.window, now, limit);
  }

  const CaptionKind kind = KindOf(control);
  if (kind == CaptionKind::None || kind == CaptionKind::Group) return;  // a group box's frame stays
  const auto entry = std::find_if(widened.begin(), widened.end(),
                                  [&](const Framework::Widened& w) { return w.window == control; });
  const int32_t designRight = entry != widened.end() ? entry->designRight : mine.right;
  const PixelRect design{mine.left, mine.top, designRight, mine.bottom};
  const int32_t needed = CaptionWidthNeeded(control);
  int32_t right = designRight;
  if (design.left + needed > designRight) {
    std::vector<PixelRect> others;
    for (HWND other = GetWindow(parent, GW_CHILD); other; other = GetWindow(other, GW_HWNDNEXT))
      if (other != control) others.push_back(RectInParent(other));
    RECT client{};
    GetClientRect(parent, &client);
    const int32_t parentRight =
        client.right - (KindOf(parent) == CaptionKind::Group ? ui.ScaleToScreen(kGroupFrame) : 0);
    right = std::min(design.left + needed, CaptionRightLimit(design, others, parentRight, gap));
  }
  if (right != mine.right) {
    SetRight(control, mine, right);
    if (entry == widened.end()) widened.push_back({control, designRight});
  }
  // Where even the widened box is too narrow (a box at its group's frame), the caption
  // takes a smaller font, as much smaller as it needs and never below three quarters of
  // the dialog font.
  const int32_t width = right - mine.left;
  if (needed <= width) return;
  if (kind == CaptionKind::CheckOrRadio && MeasureButtonCaption(control, kind).themeFont)
    return;  // the theme's font draws it, not the control's
  LOGFONTA lf{}, dialog{};
  const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  if (!GetObjectA(font, sizeof lf, &lf) || lf.lfHeight == 0) return;
  if (!GetObjectA(ui.DialogFont(), sizeof dialog, &dialog)) dialog = lf;
  const int32_t height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  const int32_t full = dialog.lfHeight < 0 ? -dialog.lfHeight : dialog.lfHeight;
  for (int32_t smaller = height - 1; smaller * 4 >= full * 3; --smaller) {
    lf.lfHeight = lf.lfHeight < 0 ? -smaller : smaller;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui.FontLike(lf)), TRUE);
    const int32_t fitted = CaptionWidthNeeded(control);
    if (fitted <= width) {
      // The smaller font may not need all of the widened box.
      const int32_t fittedRight = std::max(designRight, mine.left + fitted);
      if (fittedRight < right) SetRight(control, RectInParent(control), fittedRight);
      return;
    }
  }
}

void RefitCaptions(HWND root) {
  std::vector<HWND> mine;
  for (const Framework::Widened& w : Framework::Get().WidenedControls())
    if (IsWindow(w.window) && GetAncestor(w.window, GA_ROOT) == root) mine.push_back(w.window);
  for (HWND control : mine) FitCaption(control);
}

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kelv::ui
