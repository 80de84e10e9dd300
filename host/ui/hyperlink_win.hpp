// The About page's links: a label sized to its text, drawn in blue with the dialog font on
// a transparent background, showing the program's hand cursor (resource 1) and opening its
// address in the browser when clicked.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kelv::ui {

// `address` must outlive the window (the dialog's links are constants).
HWND CreateHyperlink(HWND parent, int32_t x, int32_t y, int32_t height, const char* address);

}  // namespace kelv::ui
