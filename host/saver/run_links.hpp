// The places where a saver run reaches parts of the program that live elsewhere: the
// settings load, the password check, the run statistics, cover windows and wallpaper,
// the show cycle's preparations, the display order and the catalogue. Each is one call
// here, so that wiring a part in touches this file only.
#pragma once

namespace kelv::run_links {

// Screen-saver password: the check before an ending input takes effect, and whether a
// password is in use (then the run presents through GDI for the system's dialog).
bool VerifyPassword();
bool PasswordProtected();
// Run statistics: the running window, and the clean end of the process.
void RecordRunWindow(void* window);
void StatsCleanEnd();
// Cover windows of the other monitors and the wallpaper step.
void CreateCoverWindows();
void CloseCoverWindows();
void WallpaperStep();
// The show cycle's part of a run: effect table, order and history reset at the start,
// effect-module set-up and the first choice during set-up.
void StartShowState();
void SetUpEffectModules();
void ChooseFirstEffects();
// The arrow-key handlers (next and previous picture), on the main thread.
void StepNext();
void StepPrevious();
// Display order and catalogue at the end of a run.
void SaveResumePosition();
void FreeRandomOrder();
void WriteCatalogueIfChanged();
void FreeCatalogueFontsAndPlugins();

}  // namespace kelv::run_links
