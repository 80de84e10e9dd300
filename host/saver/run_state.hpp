// The state of one saver run, process-wide: written by the run's set-up and the saver
// window's procedure on the main thread, read by the show thread. Flags crossing the two
// threads are atomics (plain 32-bit and byte loads and stores, no locks).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "crash/app_mode.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/presentation.hpp"  // UseDirectDraw
#include "show/run_flags.hpp"

namespace kelv {

struct RunRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The settings dialog's window while it exists (its keyboard navigation keeps working
// while a preview runs inside it); null otherwise. Set by the settings dialog.
inline std::atomic<void*> SettingsDialogWindow{nullptr};

inline void* RunParent = nullptr;          // HWND; null for full screen
inline RunRect ScreenRect;                 // the area the show covers
inline std::atomic<void*> SaverWindow{nullptr};  // HWND
inline void* WindowDC = nullptr;           // HDC of SaverWindow, held for the whole run
inline std::unique_ptr<TBitmap> ScreenBitmap;  // the picture on screen
inline std::unique_ptr<TBitmap> NextBitmap;    // the next picture, composed ahead

inline std::atomic<bool> Paused{false};
inline std::atomic<bool> MonitorOffPause{false};
inline std::atomic<int32_t> MouseMoveCountdown{5};
inline std::atomic<int32_t> LastMousePos{0};
inline std::atomic<bool> PaintSuppressed{true};
inline std::atomic<bool> ShowFinished{false};
inline std::atomic<bool> WallpaperDone{true};
inline std::atomic<bool> TestFailureArmed{false};
inline std::atomic<bool> TestFailureRequested{false};
inline void* ShowThread = nullptr;  // thread HANDLE
// Serialises the arrow-key handlers.
inline std::mutex NavLock;

// Mouse movements that end a full-screen run (counted at changed positions).
constexpr int32_t kMouseMovesToEnd = 5;

}  // namespace kelv
