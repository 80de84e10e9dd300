// The saver window's input decisions, kept free of the window API so that every rule
// can be checked on its own: which key pauses, steps or ends, when mouse movement ends
// the run, which system commands are swallowed and which power events close the saver.
#pragma once

#include <cstdint>

namespace kelv {

// Virtual-key codes and window-message values the decisions use.
namespace input_codes {
constexpr uint32_t VkSpace = 0x20, VkLeft = 0x25, VkRight = 0x27, VkF = 0x46, VkF11 = 0x7A,
                   VkF12 = 0x7B;
constexpr uint32_t ScNextWindow = 0xF040, ScPrevWindow = 0xF050, ScScreenSave = 0xF140,
                   ScMonitorPower = 0xF170;
constexpr uint32_t WmPower = 0x0048, WmActivateApp = 0x001C, WmPowerBroadcast = 0x0218;
}  // namespace input_codes

// The run's input flags, copied in and out around one decision.
struct InputFlags {
  bool paused = false;
  bool monitorOffPause = false;
  bool testFailureArmed = false;
  bool testFailureRequested = false;
  int32_t mouseMoveCountdown = 5;
  int32_t lastMousePos = 0;
};

// The settings that shape the input handling ("StopKey", "ArrowKeys", "MouseMove", "pmon").
struct InputOptions {
  bool stopKey = true;
  bool arrowKeys = true;
  bool mouseMove = true;
  bool pmon = true;
};

// What the window procedure does after a decision.
enum class InputAction {
  None,            // only flags changed
  StepNext,        // right arrow: next picture
  StepPrevious,    // left arrow: previous picture
  ToggleFileName,  // "F": the caption's file-name flag flips
  EndRequest,      // ending input: StopRequested := the password check's answer
};

// A key press in a full-screen run.
InputAction DecideKey(InputFlags& flags, const InputOptions& options, uint32_t virtualKey);
// A mouse-move message with packed client coordinates `position`.
InputAction DecideMouseMove(InputFlags& flags, const InputOptions& options, bool fullScreen,
                            int32_t position);
// A system command in a full-screen run; true when it is answered 0 without default handling.
bool DecideSysCommand(InputFlags& flags, const InputOptions& options, uint32_t command,
                      intptr_t lParam);
// WM_ACTIVATEAPP, WM_POWER and WM_POWERBROADCAST: true when the saver window is to be closed.
bool ClosesSaver(uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace kelv
