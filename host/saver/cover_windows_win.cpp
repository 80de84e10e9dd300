#include "saver/cover_windows_win.hpp"

#include <string>

#include "common/exception.hpp"
#include "common/owners_win.hpp"
#include "saver/run_show_win.hpp"
#include "saver/saver_run_win.hpp"

namespace kelv {

namespace {

using GetMonitorInfoFn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using EnumDisplayMonitorsFn = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);

struct Enumeration {
  GetMonitorInfoFn getInfo;
  MonitorList* monitors;
};

BOOL CALLBACK OneMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
  auto* e = reinterpret_cast<Enumeration*>(context);
  MONITORINFO info{};
  info.cbSize = sizeof info;  // 40
  if (e->getInfo(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    e->monitors->Add(MonitorRect{r.left, r.top, r.right, r.bottom}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0);
  }
  return TRUE;
}

bool RegisterCoverClass() {
  WNDCLASSA wc{};
  if (GetClassInfoA(GetModuleHandleA(nullptr), kCoverClassName, &wc)) return true;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = CoverWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kCoverClassName;
  return RegisterClassA(&wc) != 0;
}

}  // namespace

CoverWindows& CoverWindows::Get() {
  static CoverWindows covers;
  return covers;
}

bool CoverWindows::Enumerate() {
  // Looked up by name: a system without them has one screen, which the saver covers.
  win::UniqueLibrary user32(LoadLibraryA("user32.dll"));
  if (!user32) return false;
  auto getInfo = reinterpret_cast<GetMonitorInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(user32.get(), "GetMonitorInfoA")));
  auto enumerate = reinterpret_cast<EnumDisplayMonitorsFn>(
      reinterpret_cast<void*>(GetProcAddress(user32.get(), "EnumDisplayMonitors")));
  if (!getInfo || !enumerate) return false;

  monitors_.Clear();
  Enumeration e{getInfo, &monitors_};
  enumerate(nullptr, nullptr, OneMonitor, reinterpret_cast<LPARAM>(&e));
  return true;
}

std::vector<HWND> CoverWindows::Windows() const {
  std::vector<HWND> windows;
  for (int32_t position : monitors_.CoverPositions()) windows.push_back(windows_[static_cast<size_t>(position)]);
  return windows;
}

bool CoverWindows::Cover(SaverRun& run) {
  if (!Enumerate()) return false;
  RegisterCoverClass();
  for (int32_t position : monitors_.CoverPositions()) {
    const MonitorRect& r = monitors_.Rect(position);
    // The saver window's procedure finds the run through the creation parameter.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, kCoverClassName, kSaverWindowTitle,
                                 WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                                 &run);
    if (!cover)
      throw EOSError("Get Handle in BlackWindowCreate failed, Error = " + std::to_string(GetLastError()));
    windows_[static_cast<size_t>(position)] = cover;
    ShowWindow(cover, SW_SHOW);
    UpdateWindow(cover);
  }
  return true;
}

void CoverWindows::Close() {
  for (int32_t position = 0; position < MonitorList::kMaxMonitors; ++position) {
    if (position == monitors_.PrimaryIndex()) continue;
    HWND cover = windows_[static_cast<size_t>(position)].exchange(nullptr);
    if (cover && IsWindow(cover)) SendMessageA(cover, WM_CLOSE, 0, 0);
  }
  monitors_.Clear();
}

LRESULT CALLBACK CoverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    // With pictures on every monitor the window shows its monitor's screen; otherwise the
    // class brush paints it black.
    auto* run = reinterpret_cast<SaverRun*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (run && run->Show.MonitorCount() > 0) {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (!run->Show.PaintMonitor(window, dc)) FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      EndPaint(window, &ps);
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return SaverWndProc(window, message, wParam, lParam);
}

}  // namespace kelv
