// The saver run's links to other parts of the program.
#include "saver/run_links.hpp"

#include "saver/cover_windows_win.hpp"
#include "saver/password_win.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/wallpaper_win.hpp"

#include "stats/run_stats.hpp"

#include "catalogue/catalogue_startup.hpp"
#include "catalogue/pic_list.hpp"
#include "plugins/plugin_host.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/display_order.hpp"

namespace kelv::run_links {

// The screen-saver password.
bool VerifyPassword(const SaverRun& run) { return kelv::VerifyPassword(run); }
bool PasswordProtected() { return kelv::PasswordProtected(); }

// The run statistics: the saver's window is the run's marker, and a run that ends
// normally says so.
void RecordRunWindow(NativeWindow window) { kelv::StatsRecordWindow(window, false); }
void StatsCleanEnd() { kelv::StatsCleanEnd(); }

// Cover windows over the other monitors, and the wallpaper on exit.
void AddMonitorScreens(SaverRun& run) {
  CoverWindows& covers = CoverWindows::Get();
  if (!covers.Enumerate()) return;
  for (int32_t position : covers.Monitors().CoverPositions()) run.Show.AddMonitor(covers.Monitors().Rect(position));
}
void CreateCoverWindows(SaverRun& run) { CoverWindows::Get().Cover(run); }
void StartMonitorScreens(SaverRun& run) { run.Show.StartMonitors(CoverWindows::Get().Windows()); }
void CloseCoverWindows() { CoverWindows::Get().Close(); }
void WallpaperStep(SaverRun& run) { kelv::WallpaperStep(run); }

// The resume point is the last screen the user saw, not the one composed ahead of it.
// A run that ended before any picture came up leaves the stored point as it was.
void SaveResumePosition(int32_t lastSeenPicture) {
  if (lastSeenPicture >= 0) SaveResumePoint(lastSeenPicture);
}
void FreeRandomOrder() {
  EndDisplayOrderRun();
  SaverRunActive = false;
}
void WriteCatalogueIfChanged(bool dialogPreview) {
  const Settings& s = TheSettings();
  SaveCatalogueAfterRun(TheCatalogue(), s.CacheFile, dialogPreview, s.filterres);
}
// The process ends right after this: the plug-ins are unloaded (input modules get their
// release notice first); the catalogue and the caption fonts go with the process.
void FreeCatalogueFontsAndPlugins() { UnloadPlugins(); }

}  // namespace kelv::run_links
