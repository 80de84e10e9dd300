// The places where a saver run reaches parts of the program that live elsewhere: the
// password check, the run statistics, cover windows and wallpaper, the display order and
// the catalogue. Each is one call here, so that wiring a part in touches this file only.
#pragma once

#include <cstdint>

#include "common/native_handles.hpp"

namespace kelv {
class SaverRun;
}

namespace kelv::run_links {

// Screen-saver password: the check before an ending input takes effect, and whether a
// password is in use (then the run presents through GDI for the system's dialog).
bool VerifyPassword(const SaverRun& run);
bool PasswordProtected();
// Run statistics: the running window, and the clean end of the process.
void RecordRunWindow(NativeWindow window);
void StatsCleanEnd();
// Cover windows of the other monitors and the wallpaper step. With pictures on every
// monitor the other monitors' screens are made (their desktops captured) before their
// windows cover them, and started once the windows exist.
void AddMonitorScreens(SaverRun& run);
void CreateCoverWindows(SaverRun& run);
void StartMonitorScreens(SaverRun& run);
void CloseCoverWindows();
void WallpaperStep(SaverRun& run);
// Display order and catalogue at the end of a run: the resume point is the last picture
// seen (-1: none was, and the stored point stays as it was).
void SaveResumePosition(int32_t lastSeenPicture);
void FreeRandomOrder();
void WriteCatalogueIfChanged(bool dialogPreview);
void FreeCatalogueFontsAndPlugins();

}  // namespace kelv::run_links
