#include "saver/saver_input.hpp"

namespace kelv {

using namespace input_codes;

InputAction DecideKey(InputFlags& f, const InputOptions& o, uint32_t key) {
  if (f.monitorOffPause) {
    // A key after the monitor power-off only resumes; the space bar is set here so that
    // the toggle below turns it back off.
    f.monitorOffPause = false;
    f.paused = o.stopKey && key == VkSpace;
  }
  if (o.stopKey && key == VkSpace) {
    f.paused = !f.paused;
    return InputAction::None;
  }
  if (key == VkF12 && !f.testFailureArmed) {
    f.testFailureArmed = true;
    return InputAction::None;
  }
  if (key == VkF11 && f.testFailureArmed) {
    f.testFailureRequested = true;
    return InputAction::None;
  }
  if (o.arrowKeys && key == VkRight) return InputAction::StepNext;
  if (o.arrowKeys && key == VkLeft) return InputAction::StepPrevious;
  if (key == VkF) return InputAction::ToggleFileName;
  return InputAction::EndRequest;
}

InputAction DecideMouseMove(InputFlags& f, const InputOptions& o, bool fullScreen, int32_t position) {
  InputAction action = InputAction::None;
  if (position != f.lastMousePos) {
    if (fullScreen && o.mouseMove) {
      --f.mouseMoveCountdown;
      if (f.mouseMoveCountdown == 0) action = InputAction::EndRequest;
    }
    if (fullScreen && f.monitorOffPause) {
      f.monitorOffPause = false;
      f.paused = false;
    }
  }
  f.lastMousePos = position;
  return action;
}

bool DecideSysCommand(InputFlags& f, const InputOptions& o, uint32_t command, intptr_t lParam) {
  // The low four bits of a system command are used by the system itself.
  switch (command & 0xFFF0) {
    case ScNextWindow:
    case ScPrevWindow:
    case ScScreenSave:
      return true;
    case ScMonitorPower:
      if (lParam == 2 && o.pmon && !f.paused) {
        f.monitorOffPause = true;
        f.paused = true;
      } else if (lParam == -1 && f.monitorOffPause) {
        f.monitorOffPause = false;
        f.paused = false;
      }
      return false;
    default:
      return false;
  }
}

bool ClosesSaver(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WmActivateApp:
      return wParam == 0;
    case WmPower:
      return wParam == 3;
    case WmPowerBroadcast:
      return (wParam == 6 || wParam == 7 || wParam == 18) && (lParam & 1) == 0;
    default:
      return false;
  }
}

}  // namespace kelv
