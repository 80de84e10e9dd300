// The show thread of a run: passes of the show cycle until the run stops, then the run's
// final steps.
#include <windows.h>

#include "common/exception.hpp"
#include "crash/app_mode.hpp"
#include "crash/report_entry.hpp"
#include "imaging/presentation.hpp"
#include "saver/run_links.hpp"
#include "saver/saver_run_win.hpp"

namespace kelv {

void SaverRun::VisibilityCheck() {
  if (!IsWindowVisible(SaverWindow.load()) || (RunParent && !IsWindowVisible(RunParent))) RequestEnd();
}

void SaverRun::ShowThreadBody() {
  try {
    Show.ShowFirstScreen();
    Show.RunCycle();

    run_links::WallpaperStep(*this);
    if (FullScreen) run_links::CloseCoverWindows();
    if (!DialogPreview) EndRun();

    ReleasePresentation();
    ShowFinished = true;
    if (HWND window = SaverWindow.load()) SendMessageA(window, WM_CLOSE, 0, 0);
    // The main loop looks at ShowFinished after each message; the sent WM_CLOSE is
    // handled inside its GetMessage, so a posted message makes sure it looks.
    WakeMainLoop();
  } catch (const Exception& e) {
    ReportModeFailure(e.message(), e.className(), e.raiseAddress(), AppMode | AppModeShowThread);
  }
}

}  // namespace kelv
