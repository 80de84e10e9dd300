// The show thread of a run: the loop that ends the run once a stop is requested. Until
// the show cycle is wired in, each pass only honours the pause, puts the captured desktop
// on the DirectDraw screen once, and raises the crash report's test failure on request.
#include <windows.h>

#include "crash/report_entry.hpp"
#include "imaging/presentation.hpp"
#include "saver/run_links.hpp"
#include "saver/run_state.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/test_failure.hpp"

namespace kelv {

namespace {

void ShowStep(bool& firstShown) {
  if (Paused && !EffectPreview) {
    while (StopRequested == 0 && Paused) Sleep(20);
  }
  if (!firstShown) {
    // The captured desktop goes onto the DirectDraw screen, and one locked frame is
    // presented the way the effects' frames will be.
    firstShown = true;
    if (UseDirectDraw && ScreenBitmap) {
      ShowPicture(WindowDC, *ScreenBitmap, false);
      LockScreen();
      PresentFrame(WindowDC);
      UnlockScreen();
    }
  }
  if (TestFailureRequested) {
    TestFailureRequested = false;
    RaiseTestFailure();
  }
}

}  // namespace

void VisibilityCheck() {
  HWND window = static_cast<HWND>(SaverWindow.load());
  if (!IsWindowVisible(window) || (RunParent && !IsWindowVisible(static_cast<HWND>(RunParent))))
    StopRequested = 1;
}

DWORD WINAPI ShowThreadMain(void*) {
  try {
    bool firstShown = false;
    do {
      Sleep(30);
      ShowStep(firstShown);
      VisibilityCheck();
    } while (StopRequested == 0 || run_links::StepPending());

    run_links::WallpaperStep();
    if (FullScreen) run_links::CloseCoverWindows();
    if (!DialogPreview) EndRun();

    ReleasePresentation();
    ShowFinished = true;
    HWND window = static_cast<HWND>(SaverWindow.load());
    if (window) SendMessageA(window, WM_CLOSE, 0, 0);
    // The main loop looks at ShowFinished after each message; the sent WM_CLOSE is
    // handled inside its GetMessage, so a posted message makes sure it looks.
    WakeMainLoop();
  } catch (const Exception& e) {
    ReportModeFailure(e.message(), e.className(), e.raiseAddress(), AppMode | AppModeShowThread);
  }
  return 0;
}

}  // namespace kelv
