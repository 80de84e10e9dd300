// The show thread of a run: passes of the show cycle until the run stops, then the run's
// final steps.
#include <windows.h>

#include "common/exception.hpp"
#include "crash/report_entry.hpp"
#include "imaging/presentation.hpp"
#include "saver/run_links.hpp"
#include "saver/run_state.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/show_cycle.hpp"

namespace kelv {

void VisibilityCheck() {
  HWND window = static_cast<HWND>(SaverWindow.load());
  if (!IsWindowVisible(window) || (RunParent && !IsWindowVisible(static_cast<HWND>(RunParent))))
    RequestEnd();
}

DWORD WINAPI ShowThreadMain(void*) {
  try {
    ShowFirstScreen();
    RunShowCycle();

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
