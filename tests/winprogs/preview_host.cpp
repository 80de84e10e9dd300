// A stand-in for the small preview window of the display settings: creates a visible
// window, writes its handle in decimal to the file named by the first argument, and runs
// until the window is closed or the number of seconds in the second argument (default 30)
// has passed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kLifetimeTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 2) return 2;
  const int seconds = __argc > 2 ? std::atoi(__argv[2]) : 30;

  WNDCLASSA wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = instance;
  wc.hbrBackground = CreateSolidBrush(RGB(0, 128, 0));
  wc.lpszClassName = "KelvoraPreviewHost";
  if (!RegisterClassA(&wc)) return 3;
  HWND window = CreateWindowExA(0, wc.lpszClassName, "Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                40, 40, 320, 240, nullptr, nullptr, instance, nullptr);
  if (!window) return 4;
  SetTimer(window, kLifetimeTimer, static_cast<UINT>(seconds) * 1000u, nullptr);

  {
    const std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(__argv[1], "wb"), &std::fclose);
    if (!out) return 5;
    const auto handle = static_cast<long long>(reinterpret_cast<intptr_t>(window));
    std::fprintf(out.get(), "%lld\n", handle);
  }

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DeleteObject(wc.hbrBackground);
  return 0;
}
