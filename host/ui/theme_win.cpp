#include "ui/theme_win.hpp"

#include "ui/ui_framework_win.hpp"

namespace kelv::ui {

namespace {

constexpr int kButtonCheckBoxPart = 3;  // BP_CHECKBOX

// Themed check-box states: unchecked, checked and mixed, each enabled or disabled.
int ThemeStateId(CheckState state, bool enabled) {
  switch (state) {
    case CheckState::Unchecked: return enabled ? 1 : 4;
    case CheckState::Checked: return enabled ? 5 : 8;
    case CheckState::Mixed: return enabled ? 9 : 12;
  }
  return 1;
}

UINT ClassicState(CheckState state, bool enabled) {
  UINT flags = DFCS_BUTTONCHECK;
  if (state == CheckState::Checked) flags |= DFCS_CHECKED;
  if (state == CheckState::Mixed) flags |= DFCS_CHECKED | DFCS_BUTTON3STATE;
  if (!enabled) flags |= DFCS_INACTIVE;
  return flags;
}

// The classic box: the system's check box clipped to its inside, then a flat frame.
void PaintClassicBox(HDC dc, const RECT& box, CheckState state, bool enabled) {
  HRGN previous = CreateRectRgn(0, 0, 0, 0);
  const bool hadClip = GetClipRgn(dc, previous) == 1;
  IntersectClipRect(dc, box.left + 2, box.top + 2, box.right - 2, box.bottom - 2);
  RECT frame = box;
  DrawFrameControl(dc, &frame, DFC_BUTTON, ClassicState(state, enabled));
  SelectClipRgn(dc, hadClip ? previous : nullptr);
  DeleteObject(previous);

  win::SelectedObject pen(dc, Framework::Get().FramePen());
  win::SelectedObject brush(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, box.left, box.top, box.right, box.bottom);
}

}  // namespace

void ThemeLibrary::Load() {
  active_ = false;
  library_.reset(LoadLibraryA("uxtheme.dll"));
  if (!library_) return;
  HMODULE module = library_.get();
  drawParentBackground_ = reinterpret_cast<DrawParentBackgroundFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DrawThemeParentBackground")));
  openThemeData_ = reinterpret_cast<OpenThemeDataFn>(reinterpret_cast<void*>(GetProcAddress(module, "OpenThemeData")));
  drawThemeBackground_ = reinterpret_cast<DrawThemeBackgroundFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DrawThemeBackground")));
  closeThemeData_ = reinterpret_cast<CloseThemeDataFn>(reinterpret_cast<void*>(GetProcAddress(module, "CloseThemeData")));
  using BoolFn = BOOL(WINAPI*)();
  auto isAppThemed = reinterpret_cast<BoolFn>(reinterpret_cast<void*>(GetProcAddress(module, "IsAppThemed")));
  auto isThemeActive = reinterpret_cast<BoolFn>(reinterpret_cast<void*>(GetProcAddress(module, "IsThemeActive")));
  // Every themed path needs all four drawing entry points.
  const bool complete = drawParentBackground_ && openThemeData_ && drawThemeBackground_ && closeThemeData_;
  active_ = complete && isAppThemed && isAppThemed() && isThemeActive && isThemeActive();
}

void ThemeLibrary::Free() {
  active_ = false;
  drawParentBackground_ = nullptr;
  openThemeData_ = nullptr;
  drawThemeBackground_ = nullptr;
  closeThemeData_ = nullptr;
  library_.reset();
}

void ThemeLibrary::DrawParentBackground(HWND control, HDC dc) const {
  if (active_ && drawParentBackground_) drawParentBackground_(control, dc, nullptr);
}

bool ThemeLibrary::DrawCheckBox(HDC dc, const RECT& box, int stateId) const {
  if (!active_) return false;
  HTHEME_ theme = openThemeData_(nullptr, L"Button");
  if (!theme) return false;
  drawThemeBackground_(theme, dc, kButtonCheckBoxPart, stateId, &box, nullptr);
  closeThemeData_(theme);
  return true;
}

void PaintCheckBox(HDC dc, const RECT& cell, int size, CheckState state, bool enabled, bool top) {
  RECT box;
  box.left = cell.left + 1;
  box.top = top ? cell.top + 1 : cell.top + (cell.bottom - cell.top - size) / 2;
  box.right = box.left + size;
  box.bottom = box.top + size;
  if (Framework::Get().Theme().DrawCheckBox(dc, box, ThemeStateId(state, enabled))) return;
  PaintClassicBox(dc, box, state, enabled);
}

UniqueImageList BuildCheckBoxImages() {
  const int size = ScaleToScreen(13);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size * 5;
  info.bmiHeader.biHeight = -(size + 1);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  win::UniqueBitmap strip(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  win::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!strip || !dc) return {};
  {
    win::SelectedObject selected(dc.get(), strip.get());
    RECT all{0, 0, size * 5, size + 1};
    FillRect(dc.get(), &all, GetSysColorBrush(COLOR_WINDOW));
    const CheckState states[5] = {CheckState::Unchecked, CheckState::Unchecked, CheckState::Checked,
                                  CheckState::Mixed, CheckState::Mixed};
    for (int i = 0; i < 5; ++i) {
      RECT cell{i * size, 0, (i + 1) * size, size + 1};
      PaintCheckBox(dc.get(), cell, size, states[i], true, true);
    }
  }
  UniqueImageList list(ImageList_Create(size, size, ILC_COLORDDB, 5, 5));
  if (list) ImageList_Add(list.get(), strip.get(), nullptr);
  return list;
}

}  // namespace kelv::ui
