// The kind of a saver run and the flags its show shares with the window's input handling
// (main thread) and, through the stop flag's address, with the effect modules. Each run
// owns one set; a run inside the settings dialog has its own.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelv {

struct RunFlags {
  // The run has no parent window (mode "s"); false for every preview.
  bool FullScreen = false;
  // The run was started by the settings dialog: it skips the settings load and the
  // password check and returns to the dialog instead of ending the process.
  bool DialogPreview = false;
  // The settings dialog runs an effect preview and fills the effect table itself.
  bool EffectPreview = false;

  // The stop flag (0 or 1). Its address is handed to the effect modules, which read it as
  // a plain 32-bit integer after each drawing step.
  std::atomic<int32_t> StopRequested{0};
  // The run is ending for good (an accepted ending input, the saver window's end, a hidden
  // window). The arrow keys also raise StopRequested, only to cut a transition or a delay
  // short, and the show clears it again for their step; this flag keeps a real end from
  // being cleared with it.
  std::atomic<bool> EndRequested{false};
  // The show is paused (space bar, monitor power-off); in an effect preview the dialog's
  // sign that the transition's duration changed.
  std::atomic<bool> Paused{false};
  // F12 then F11: the next change raises the crash report's test failure.
  std::atomic<bool> TestFailureRequested{false};
  // Milliseconds the run's transitions stood still while paused, summed up (show thread).
  std::atomic<int64_t> ChangesPausedMs{0};

  // Ends the run: the end flag first, so that whoever clears StopRequested for a step and
  // then looks at EndRequested cannot miss the end.
  void RequestEnd() {
    EndRequested = true;
    StopRequested = 1;
  }
  // A stop stands (for good or for a navigation step).
  bool Stopping() const { return StopRequested.load() != 0; }
};
static_assert(sizeof(std::atomic<int32_t>) == sizeof(int32_t) && std::atomic<int32_t>::is_always_lock_free,
              "the stop flag is read through a plain int32 pointer by the plug-ins");

}  // namespace kelv
