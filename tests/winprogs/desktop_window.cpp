// A plain coloured window for the Wine tests: something recognisable on the desktop for
// the saver to capture, and a parent window for previews.
//   desktop_window <x> <y> <width> <height> <RRGGBB> <handle file> [hide after ms] [live ms]
// Writes its window handle in decimal to <handle file>; hides itself after the given time
// (0: never; -1: half a second after a saver window has appeared) and ends after the
// second time (default 20 s).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {
HBRUSH g_brush = nullptr;

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == 1) {
        KillTimer(window, 1);
        ShowWindow(window, SW_HIDE);
      } else if (wParam == 3) {
        if (FindWindowA("KSFW_Kelvora", nullptr)) {
          KillTimer(window, 3);
          SetTimer(window, 1, 500, nullptr);
        }
      } else {
        PostQuitMessage(0);
      }
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, g_brush);
      return 1;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 7) return 2;
  const int x = std::atoi(__argv[1]), y = std::atoi(__argv[2]);
  const int w = std::atoi(__argv[3]), h = std::atoi(__argv[4]);
  const unsigned long rgb = std::strtoul(__argv[5], nullptr, 16);
  const int hideAfter = __argc > 7 ? std::atoi(__argv[7]) : 0;
  const int liveFor = __argc > 8 ? std::atoi(__argv[8]) : 20000;
  g_brush = CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));

  WNDCLASSA wc{};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.lpszClassName = "KelvTestDesktopWindow";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "Kelvora test window", WS_POPUP | WS_VISIBLE, x, y, w,
                                h, nullptr, nullptr, instance, nullptr);
  UpdateWindow(window);
  if (FILE* f = std::fopen(__argv[6], "w")) {
    std::fprintf(f, "%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    std::fclose(f);
  }
  if (hideAfter > 0) SetTimer(window, 1, hideAfter, nullptr);
  if (hideAfter < 0) SetTimer(window, 3, 100, nullptr);
  SetTimer(window, 2, liveFor, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DestroyWindow(window);
  DeleteObject(g_brush);
  return 0;
}
