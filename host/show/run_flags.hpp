// The kind of saver run and its stop flags, shared by the window's input handling (main
// thread), the show (show thread) and, through the stop flag's address, the effect modules.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelv {

// The run has no parent window (mode "s"); false for every preview.
inline bool FullScreen = false;
// The run was started by the settings dialog: it skips the settings load and the
// password check and returns to the dialog instead of ending the process.
inline bool DialogPreview = false;
// The settings dialog runs an effect preview and fills the effect table itself.
inline bool EffectPreview = false;

// The saver's stop flag (0 or 1). Its address is handed to the effect modules, which read
// it as a plain 32-bit integer after each drawing step.
inline std::atomic<int32_t> StopRequested{0};
static_assert(sizeof(std::atomic<int32_t>) == sizeof(int32_t) && std::atomic<int32_t>::is_always_lock_free,
              "the stop flag is read through a plain int32 pointer by the plug-ins");

// The run is ending for good (an accepted ending input, the saver window's end, a hidden
// window). The arrow keys also raise StopRequested, only to cut a transition or a delay
// short, and the show clears it again for their step; this flag keeps a real end from
// being cleared with it.
inline std::atomic<bool> EndRequested{false};

// Ends the run: the flag first, so that whoever clears StopRequested for a step and then
// looks at EndRequested cannot miss the end.
inline void RequestEnd() {
  EndRequested = true;
  StopRequested = 1;
}

}  // namespace kelv
