#include "ui/hyperlink_win.hpp"

#include <shellapi.h>

#include <cstring>

#include "ui/control_factories_win.hpp"
#include "ui/message_guard_win.hpp"

namespace kelv::ui {

namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 255);

const char* AddressOf(HWND link) { return reinterpret_cast<const char*>(GetWindowLongPtrA(link, GWLP_USERDATA)); }

LRESULT CALLBACK HyperlinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&]() -> LRESULT {
    switch (message) {
      case WM_NCHITTEST:
        return HTCLIENT;  // a label lets the mouse through otherwise
      case WM_SETCURSOR:
        SetCursor(LoadCursorA(Framework::Get().Instance(), MAKEINTRESOURCEA(1)));
        return TRUE;
      case WM_LBUTTONUP:
        ShellExecuteA(nullptr, "open", AddressOf(window), nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        win::SelectedObject font(dc, Framework::Get().DialogFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kLinkColour);
        const char* text = AddressOf(window);
        TextOutA(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
        EndPaint(window, &paint);
        return 0;
      }
      default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
  });
}

}  // namespace

HWND CreateHyperlink(HWND parent, int32_t x, int32_t y, int32_t height, const char* address) {
  // Sized to its text in the dialog font.
  SIZE extent{0, 0};
  if (HDC dc = GetDC(parent)) {
    win::SelectedObject font(dc, Framework::Get().DialogFont());
    GetTextExtentPoint32A(dc, address, static_cast<int>(std::strlen(address)), &extent);
    ReleaseDC(parent, dc);
  }
  HWND link = CreateWindowExA(0, "STATIC", address, WS_CHILD | SS_NOPREFIX, ScaleToScreen(x), ScaleToScreen(y),
                              extent.cx, ScaleToScreen(height), parent, nullptr,
                              Framework::Get().Instance(), nullptr);
  if (!link) return nullptr;
  SetWindowLongPtrA(link, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(address));
  SetWindowLongPtrA(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkProc));
  ShowWindow(link, SW_SHOW);
  return link;
}

}  // namespace kelv::ui
