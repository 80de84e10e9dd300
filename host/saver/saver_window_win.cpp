// The saver window: its class and its window procedure, which handles every input of a
// run. The decisions themselves are in saver_input.cpp.
#include <windows.h>

#include "imaging/presentation.hpp"
#include "saver/run_links.hpp"
#include "saver/saver_input.hpp"
#include "saver/saver_run_win.hpp"
#include "settings/settings.hpp"

namespace kelv {

namespace {

InputFlags LoadFlags(const SaverRun& run) {
  InputFlags f;
  f.paused = run.Paused;
  f.monitorOffPause = run.MonitorOffPause;
  f.testFailureArmed = run.TestFailureArmed;
  f.testFailureRequested = run.TestFailureRequested;
  f.mouseMoveCountdown = run.MouseMoveCountdown;
  f.lastMousePos = run.LastMousePos;
  return f;
}

void StoreFlags(SaverRun& run, const InputFlags& f) {
  run.Paused = f.paused;
  run.MonitorOffPause = f.monitorOffPause;
  run.TestFailureArmed = f.testFailureArmed;
  run.TestFailureRequested = f.testFailureRequested;
  run.MouseMoveCountdown = f.mouseMoveCountdown;
  run.LastMousePos = f.lastMousePos;
}

InputOptions Options() {
  const Settings& s = TheSettings();
  return InputOptions{s.StopKey != 0, s.ArrowKeys, s.MouseMove, s.pmon};
}

void Perform(SaverRun& run, InputAction action) {
  switch (action) {
    case InputAction::None:
      break;
    case InputAction::StepNext:
      run.Show.StepNext();
      break;
    case InputAction::StepPrevious:
      run.Show.StepPrevious();
      break;
    case InputAction::ToggleFileName:
      TheSettings().ShowFileName = !TheSettings().ShowFileName;
      break;
    case InputAction::EndRequest:
      run.EndOnAcceptedPassword();
      break;
  }
}

// The run a window belongs to: handed over at its creation, kept in the window's user data.
SaverRun* RunOf(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* run = static_cast<SaverRun*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(run));
    return run;
  }
  return reinterpret_cast<SaverRun*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

void SaverRun::EndOnAcceptedPassword() {
  if (VerifyPasswordForInput()) RequestEnd();
  else StopRequested = 0;
}

bool SaverRun::VerifyPasswordForInput() {
  // The show stands still while the system's password dialog may be up: a transition drawn
  // meanwhile (DirectDraw draws past other windows) would cover the dialog.
  const bool wasPaused = Paused.exchange(true);
  const bool accepted = run_links::VerifyPassword(*this);
  Paused = wasPaused;
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
  SaverRun* run = RunOf(window, message, lParam);
  if (!run) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      run->RequestEnd();
      break;
    case WM_KILLFOCUS:
      run_links::WallpaperStep(*run);
      break;
    case WM_PAINT:
      if (!run->PaintSuppressed && !UseDirectDraw) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (!run->Stopping()) PaintScreen(dc);
        EndPaint(window, &ps);
        return 0;
      }
      break;
    case WM_CLOSE:
      run_links::WallpaperStep(*run);
      if (run->FullScreen && !run->Stopping() && !run->VerifyPasswordForInput()) return 0;
      ShowWindow(window, SW_HIDE);
      if (run->FullScreen) CloseWindow(window);
      break;
    case WM_ACTIVATEAPP:
    case WM_POWER:
    case WM_POWERBROADCAST:
      if (ClosesSaver(message, wParam, lParam)) PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (run->FullScreen) {
        InputFlags flags = LoadFlags(*run);
        const InputAction action = DecideKey(flags, Options(), static_cast<uint32_t>(wParam));
        StoreFlags(*run, flags);
        Perform(*run, action);
      }
      break;
    case WM_SYSCOMMAND:
      if (run->FullScreen) {
        InputFlags flags = LoadFlags(*run);
        const bool swallow = DecideSysCommand(flags, Options(), static_cast<uint32_t>(wParam), lParam);
        StoreFlags(*run, flags);
        if (swallow) return 0;
      }
      break;
    case WM_MOUSEMOVE: {
      InputFlags flags = LoadFlags(*run);
      const InputAction action = DecideMouseMove(flags, Options(), run->FullScreen, static_cast<int32_t>(lParam));
      StoreFlags(*run, flags);
      Perform(*run, action);
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (run->FullScreen) run->EndOnAcceptedPassword();
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kelv
