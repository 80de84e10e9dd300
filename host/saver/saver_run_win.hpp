// One saver run on Win32: the object owns everything the run holds (its window and the
// window's device context, the screen and next bitmaps, the show thread, the input and
// stop flags and the show), so that a run started inside the settings dialog is simply a
// second object. The saver window's procedure finds its run through the window.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "common/owners_win.hpp"
#include "imaging/bitmap.hpp"
#include "saver/run_show_win.hpp"
#include "show/run_flags.hpp"

namespace kelv {

inline constexpr const char* kSaverClassName = "KSFW_Kelvora";
inline constexpr const char* kSaverWindowTitle = "Tarnwick Kelvora";
// Mouse movements that end a full-screen run (counted at changed positions).
inline constexpr int32_t kMouseMovesToEnd = 5;

struct RunRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// What the program hands a run.
struct RunOptions {
  // The program's whole settings load (registry, plug-ins, catalogue); not run for a run
  // the settings dialog started, which shows the dialog's settings.
  void (*loadSettings)() = nullptr;
  bool dialogPreview = false;
  bool effectPreview = false;
  // The settings dialog's window: its keyboard navigation keeps working while a preview
  // runs inside it.
  HWND settingsDialog = nullptr;
};

class SaverRun : public RunFlags {
public:
  // parent: the window to run inside (a preview), or null for full screen.
  SaverRun(HWND parent, const RunOptions& options);
  ~SaverRun();
  SaverRun(const SaverRun&) = delete;
  SaverRun& operator=(const SaverRun&) = delete;

  // The whole run: set-up, the message loop, the end. Returns when the run has ended and
  // the settings dialog started it; any other run ends the process.
  void Run();
  // Releases presentation, window DC, bitmaps and thread handle and, unless the settings
  // dialog started the run, ends the process with exit code 0. Safe to call again.
  void EndRun();
  // The show thread's body.
  void ShowThreadBody();
  // The settings dialog's window when the dialog started the run, else null.
  HWND SettingsDialogWindow() const { return options_.settingsDialog; }
  // A hidden saver window or a hidden parent ends the run.
  void VisibilityCheck();
  // Makes the main thread's message loop look at ShowFinished again.
  void WakeMainLoop() const;
  // The password check for an ending input; a refused password starts the mouse
  // countdown afresh.
  bool VerifyPasswordForInput();
  // An ending input: the run ends when the password check accepts it; a refused password
  // clears the stop request.
  void EndOnAcceptedPassword();

  HWND RunParent = nullptr;                // null for full screen
  RunRect ScreenRect;                      // the area the show covers
  std::atomic<HWND> SaverWindow{nullptr};
  win::WindowDC WindowDC;                  // held for the whole run
  std::unique_ptr<TBitmap> ScreenBitmap;   // the picture on screen
  std::unique_ptr<TBitmap> NextBitmap;     // the next picture, composed ahead
  std::atomic<bool> MonitorOffPause{false};
  std::atomic<int32_t> MouseMoveCountdown{kMouseMovesToEnd};
  std::atomic<int32_t> LastMousePos{0};
  std::atomic<bool> PaintSuppressed{true};
  std::atomic<bool> ShowFinished{false};
  std::atomic<bool> WallpaperDone{true};
  std::atomic<bool> TestFailureArmed{false};
  // In an effect preview, the duration the settings dialog has set for the running
  // preview (ms; negative: unchanged). The preview takes it over at its next pause.
  std::atomic<int32_t> PendingEffectDuration{-1};
  win::UniqueKernelHandle ShowThread;
  std::mutex NavLock;  // serialises the arrow-key handlers
  RunShow Show;

private:
  void StartRun();
  HWND CreateSaverWindow();
  void CaptureDesktop();
  void SetUpSteps();
  void SetUpRun();
  // Waits for the show thread's end, answering the messages it sends meanwhile.
  void WaitForShowThread();

  RunOptions options_;
  DWORD mainThreadId_ = 0;
};

// The saver window's procedure (also that of the cover windows of the other monitors).
LRESULT CALLBACK SaverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers the saver window class; false when the registration failed.
bool RegisterSaverClass();

}  // namespace kelv
