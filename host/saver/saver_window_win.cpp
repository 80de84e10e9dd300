// The saver window: its class and its window procedure, which handles every input of a
// run. The decisions themselves are in saver_input.cpp.
#include <windows.h>

#include "saver/run_links.hpp"
#include "saver/run_state.hpp"
#include "saver/saver_input.hpp"
#include "saver/saver_run_win.hpp"
#include "settings/settings.hpp"

namespace kelv {

namespace {

InputFlags LoadFlags() {
  InputFlags f;
  f.paused = Paused;
  f.monitorOffPause = MonitorOffPause;
  f.testFailureArmed = TestFailureArmed;
  f.testFailureRequested = TestFailureRequested;
  f.mouseMoveCountdown = MouseMoveCountdown;
  f.lastMousePos = LastMousePos;
  return f;
}

void StoreFlags(const InputFlags& f) {
  Paused = f.paused;
  MonitorOffPause = f.monitorOffPause;
  TestFailureArmed = f.testFailureArmed;
  TestFailureRequested = f.testFailureRequested;
  MouseMoveCountdown = f.mouseMoveCountdown;
  LastMousePos = f.lastMousePos;
}

InputOptions Options() {
  const Settings& s = TheSettings();
  return InputOptions{s.StopKey != 0, s.ArrowKeys, s.MouseMove, s.pmon};
}

void Perform(InputAction action) {
  switch (action) {
    case InputAction::None:
      break;
    case InputAction::StepNext:
      run_links::StepNext();
      break;
    case InputAction::StepPrevious:
      run_links::StepPrevious();
      break;
    case InputAction::ToggleFileName:
      TheSettings().ShowFileName = !TheSettings().ShowFileName;
      break;
    case InputAction::EndRequest:
      EndOnAcceptedPassword();
      break;
  }
}

}  // namespace

void EndOnAcceptedPassword() {
  if (VerifyPasswordForInput()) RequestEnd();
  else StopRequested = 0;
}

bool VerifyPasswordForInput() {
  const bool accepted = run_links::VerifyPassword();
  if (!accepted) MouseMoveCountdown = kMouseMovesToEnd;
  return accepted;
}

bool RegisterSaverClass() {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = SaverWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  wc.hCursor = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  wc.lpszClassName = kSaverClassName;
  return RegisterClassA(&wc) != 0;
}

LRESULT CALLBACK SaverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      RequestEnd();
      break;
    case WM_KILLFOCUS:
      run_links::WallpaperStep();
      break;
    case WM_PAINT:
      if (!PaintSuppressed && !UseDirectDraw) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (StopRequested == 0) PaintScreen(dc);
        EndPaint(window, &ps);
        return 0;
      }
      break;
    case WM_CLOSE:
      run_links::WallpaperStep();
      if (FullScreen && StopRequested == 0 && !VerifyPasswordForInput()) return 0;
      ShowWindow(window, SW_HIDE);
      if (FullScreen) CloseWindow(window);
      break;
    case WM_ACTIVATEAPP:
    case WM_POWER:
    case WM_POWERBROADCAST:
      if (ClosesSaver(message, wParam, lParam)) PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (FullScreen) {
        InputFlags flags = LoadFlags();
        const InputAction action = DecideKey(flags, Options(), static_cast<uint32_t>(wParam));
        StoreFlags(flags);
        Perform(action);
      }
      break;
    case WM_SYSCOMMAND:
      if (FullScreen) {
        InputFlags flags = LoadFlags();
        const bool swallow = DecideSysCommand(flags, Options(), static_cast<uint32_t>(wParam), lParam);
        StoreFlags(flags);
        if (swallow) return 0;
      }
      break;
    case WM_MOUSEMOVE: {
      InputFlags flags = LoadFlags();
      const InputAction action =
          DecideMouseMove(flags, Options(), FullScreen, static_cast<int32_t>(lParam));
      StoreFlags(flags);
      Perform(action);
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (FullScreen) EndOnAcceptedPassword();
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kelv
