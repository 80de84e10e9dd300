// The saver window's input rules, case by case: which key pauses, steps, arms the test
// failure or ends the run; when mouse movement ends it; which system commands and power
// events are swallowed or close the saver.
#include <gtest/gtest.h>

#include "saver/saver_input.hpp"

namespace kelv {
namespace {

using namespace input_codes;
constexpr uint32_t VkA = 0x41, VkEscape = 0x1B;

struct KeyCase {
  const char* name;
  InputFlags before;
  InputOptions options;
  uint32_t key;
  InputAction action;
  InputFlags after;
};

InputFlags Flags(bool paused, bool monitorOff, bool armed, bool requested) {
  InputFlags f;
  f.paused = paused;
  f.monitorOffPause = monitorOff;
  f.testFailureArmed = armed;
  f.testFailureRequested = requested;
  return f;
}

void ExpectFlags(const InputFlags& got, const InputFlags& want, const char* name) {
  EXPECT_EQ(got.paused, want.paused) << name;
  EXPECT_EQ(got.monitorOffPause, want.monitorOffPause) << name;
  EXPECT_EQ(got.testFailureArmed, want.testFailureArmed) << name;
  EXPECT_EQ(got.testFailureRequested, want.testFailureRequested) << name;
}

TEST(SaverInput, Keys) {
  const InputOptions all{true, true, true, true};
  const InputOptions noStopKey{false, true, true, true};
  const InputOptions noArrows{true, false, true, true};
  const InputFlags idle = Flags(false, false, false, false);
  const KeyCase cases[] = {
      {"space pauses", idle, all, VkSpace, InputAction::None, Flags(true, false, false, false)},
      {"space resumes", Flags(true, false, false, false), all, VkSpace, InputAction::None, idle},
      {"space ends without StopKey", idle, noStopKey, VkSpace, InputAction::EndRequest, idle},
      {"F12 arms", idle, all, VkF12, InputAction::None, Flags(false, false, true, false)},
      {"F11 after F12 requests the failure", Flags(false, false, true, false), all, VkF11, InputAction::None,
       Flags(false, false, true, true)},
      {"F11 alone ends", idle, all, VkF11, InputAction::EndRequest, idle},
      {"second F12 ends", Flags(false, false, true, false), all, VkF12, InputAction::EndRequest,
       Flags(false, false, true, false)},
      {"right steps", idle, all, VkRight, InputAction::StepNext, idle},
      {"left steps back", idle, all, VkLeft, InputAction::StepPrevious, idle},
      {"right ends without ArrowKeys", idle, noArrows, VkRight, InputAction::EndRequest, idle},
      {"left ends without ArrowKeys", idle, noArrows, VkLeft, InputAction::EndRequest, idle},
      {"F toggles the file name", idle, all, VkF, InputAction::ToggleFileName, idle},
      {"other keys end", idle, all, VkA, InputAction::EndRequest, idle},
      {"escape ends", idle, all, VkEscape, InputAction::EndRequest, idle},
      {"space after power-off only resumes", Flags(true, true, false, false), all, VkSpace, InputAction::None, idle},
      {"key after power-off resumes and ends", Flags(true, true, false, false), all, VkA, InputAction::EndRequest, idle},
      {"space after power-off ends without StopKey", Flags(true, true, false, false), noStopKey, VkSpace,
       InputAction::EndRequest, idle},
      {"arrow after power-off resumes and steps", Flags(true, true, false, false), all, VkRight,
       InputAction::StepNext, idle},
  };
  for (const KeyCase& c : cases) {
    InputFlags f = c.before;
    EXPECT_EQ(DecideKey(f, c.options, c.key), c.action) << c.name;
    ExpectFlags(f, c.after, c.name);
  }
}

TEST(SaverInput, FifthChangedMousePositionEnds) {
  const InputOptions on{true, true, true, true};
  InputFlags f;
  const int32_t moves[] = {0, 0x00010001, 0x00010001, 0x00020002, 0x00030003, 0x00030003, 0x00040004};
  // Position 0 equals the initial one and repeats do not count: four changes so far.
  for (int32_t pos : moves) EXPECT_EQ(DecideMouseMove(f, on, true, pos), InputAction::None);
  EXPECT_EQ(f.mouseMoveCountdown, 1);
  EXPECT_EQ(DecideMouseMove(f, on, true, 0x00050005), InputAction::EndRequest);
  EXPECT_EQ(f.lastMousePos, 0x00050005);
}

TEST(SaverInput, MouseMovementNeverEndsAPreviewOrWhenSwitchedOff) {
  const InputOptions on{true, true, true, true};
  const InputOptions off{true, true, false, true};
  InputFlags preview, switchedOff;
  for (int32_t pos = 1; pos <= 20; ++pos) {
    EXPECT_EQ(DecideMouseMove(preview, on, false, pos), InputAction::None);
    EXPECT_EQ(DecideMouseMove(switchedOff, off, true, pos), InputAction::None);
  }
  EXPECT_EQ(preview.mouseMoveCountdown, 5);
  EXPECT_EQ(switchedOff.mouseMoveCountdown, 5);
}

TEST(SaverInput, MouseMovementResumesAfterMonitorPowerOff) {
  const InputOptions off{true, true, false, true};
  InputFlags f = Flags(true, true, false, false);
  DecideMouseMove(f, off, true, 0);  // same position: nothing
  EXPECT_TRUE(f.monitorOffPause);
  DecideMouseMove(f, off, true, 7);
  EXPECT_FALSE(f.monitorOffPause);
  EXPECT_FALSE(f.paused);
}

TEST(SaverInput, SystemCommands) {
  const InputOptions on{true, true, true, true};
  const InputOptions noPmon{true, true, true, false};
  InputFlags f;
  for (uint32_t swallowed : {ScNextWindow, ScPrevWindow, ScScreenSave, ScScreenSave | 0x2})
    EXPECT_TRUE(DecideSysCommand(f, on, swallowed, 0)) << swallowed;
  EXPECT_FALSE(DecideSysCommand(f, on, 0xF060 /* SC_CLOSE */, 0));

  EXPECT_FALSE(DecideSysCommand(f, on, ScMonitorPower, 2));
  EXPECT_TRUE(f.paused && f.monitorOffPause);
  EXPECT_FALSE(DecideSysCommand(f, on, ScMonitorPower, -1));
  EXPECT_FALSE(f.paused || f.monitorOffPause);

  InputFlags low;
  DecideSysCommand(low, on, ScMonitorPower, 1);  // low power: no pause
  EXPECT_FALSE(low.paused);
  InputFlags noOption;
  DecideSysCommand(noOption, noPmon, ScMonitorPower, 2);
  EXPECT_FALSE(noOption.paused);
  // Already paused by the space bar: power-off does not take the pause over, and power-on
  // does not lift it.
  InputFlags spaced = Flags(true, false, false, false);
  DecideSysCommand(spaced, on, ScMonitorPower, 2);
  DecideSysCommand(spaced, on, ScMonitorPower, -1);
  EXPECT_TRUE(spaced.paused);
  EXPECT_FALSE(spaced.monitorOffPause);
}

TEST(SaverInput, DeactivationAndResumeEventsClose) {
  EXPECT_TRUE(ClosesSaver(WmActivateApp, 0, 0));
  EXPECT_FALSE(ClosesSaver(WmActivateApp, 1, 0));
  EXPECT_TRUE(ClosesSaver(WmPower, 3, 0));
  EXPECT_FALSE(ClosesSaver(WmPower, 1, 0));
  for (uintptr_t resume : {6u, 7u, 18u}) {
    EXPECT_TRUE(ClosesSaver(WmPowerBroadcast, resume, 0)) << resume;
    EXPECT_FALSE(ClosesSaver(WmPowerBroadcast, resume, 1)) << resume;
  }
  EXPECT_FALSE(ClosesSaver(WmPowerBroadcast, 4 /* suspend */, 0));
}

}  // namespace
}  // namespace kelv
