// One factory per control kind. Each creates the control at a rectangle given in 96-dpi
// units, gives it the dialog font, shows it, registers it under its id when its kind is
// registered, and subclasses it with its kind's procedure. Each returns the new window, or
// null when the system could not create it (nothing else is done then).
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/ui_framework_win.hpp"

namespace kelv::ui {

struct Box {
  int32_t x, y, width, height;  // 96-dpi units
};

HWND CreateButton(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateCheckBox(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateRadioButton(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateGroupBox(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateDialogGroupBox(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateEdit(HWND parent, int32_t id, const char* caption, Box box);
// The height is that of the open list.
HWND CreateComboBox(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateLabel(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateTitleLabel(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateTreeView(HWND parent, int32_t id, const char* caption, Box box);
// A tree view whose state images are the check boxes.
HWND CreateCheckTreeView(HWND parent, int32_t id, const char* caption, Box box);
HWND CreateTabControl(HWND parent, int32_t id, const char* caption, Box box, PageChangeCallback callback);
HWND CreateTrackBar(HWND parent, int32_t id, const char* caption, Box box, int16_t minimum, int16_t maximum);

// A preview window of a class of its own ("Timage1_PR<n>", caption "Image1 PR"): its
// position in 96-dpi units, its size in pixels, made one pixel narrower and lower.
HWND CreatePicturePreviewWindow(HWND parent, int32_t id, int32_t x, int32_t y, int32_t widthPixels,
                                int32_t heightPixels, WNDPROC procedure);
// The same with every value scaled ("Timage2_PR<n>", caption "Image2 PR").
HWND CreateEffectPreviewWindow(HWND parent, int32_t id, Box box, WNDPROC procedure);

// A page window ("Bramblecor TPage") over a rectangle in pixels, hidden.
HWND CreatePage(HWND parent, const RECT& pixels);

// The process's tooltip window; null when it cannot be created.
HWND CreateToolTips();
// Adds a tooltip to a control; false when there is no tooltip window.
bool AddToolTip(HWND control, const char* text);

// The subclass procedures of the kinds (also used by the small dialogs' controls).
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TreeProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK CheckTreeProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK GroupProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TabProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace kelv::ui
