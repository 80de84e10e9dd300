// What was running, for the crash report: the modes set their bits, the guards add theirs
// to the value they hand over.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelv {

enum : uint32_t {
  AppModeSettingsDialog = 0x1,
  AppModeFullScreenRun = 0x2,
  AppModePreviewRun = 0x4,
  AppModeShowThread = 0x8,    // added by the show thread's guard, never stored
  AppModeModeGuard = 0x20,    // added by a mode guard, never stored
  AppModeUnhandled = 0x100,   // added by the unhandled-exception procedure, never stored
};

inline std::atomic<uint32_t> AppMode{0};

}  // namespace kelv
