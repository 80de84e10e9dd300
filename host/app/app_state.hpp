// Process-wide start-up state shared by the modes and the crash report.
#pragma once

#include <atomic>
#include <cstdint>

#include "program_version.h"

namespace kelv {

// AppMode bits: what was running, printed by the crash report.
enum : uint32_t {
  AppModeSettingsDialog = 0x1,
  AppModeFullScreenRun = 0x2,
  AppModePreviewRun = 0x4,
  AppModeShowThread = 0x8,    // added by the show thread's guard, never stored
  AppModeModeGuard = 0x20,    // added by a mode guard, never stored
  AppModeUnhandled = 0x100,   // added by the unhandled-exception procedure, never stored
};

inline std::atomic<uint32_t> AppMode{0};

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

// Milliseconds tick at start-up, recorded by the run statistics.
inline uint32_t StartTick = 0;

}  // namespace kelv

namespace kelv {

// The program version word (most significant byte first, as 1.4.0.0 gives 0x01040000),
// printed by the crash report and kept by the run statistics.
static_assert(KELV_VERSION_MAJOR < 256 && KELV_VERSION_MINOR < 256 && KELV_VERSION_RELEASE < 256 &&
                  KELV_VERSION_BUILD < 256,
              "each part of the program version takes one byte of the version word");
inline constexpr uint32_t kProgramVersionWord =
    uint32_t{KELV_VERSION_MAJOR} << 24 | uint32_t{KELV_VERSION_MINOR} << 16 |
    uint32_t{KELV_VERSION_RELEASE} << 8 | uint32_t{KELV_VERSION_BUILD};

}  // namespace kelv
