// The saver run's links to other parts of the program. Parts that are not built yet
// keep a neutral stand-in here (noted at each); the integrator replaces them one by one.
#include "saver/run_links.hpp"

namespace kelv::run_links {

// Integrator: LoadAllSettings(...) with the program's hooks. Until then the settings
// record keeps what the caller put there (its defaults, or a test program's values).
void LoadSettings() {}

// Integrator: the password check and its "in use" test. Until then no password is asked
// for, as on the NT family where the system itself guards the saver.
bool VerifyPassword() { return true; }
bool PasswordProtected() { return false; }

// Integrator: StatsRecordWindow(window, false) and StatsCleanEnd().
void RecordRunWindow(void*) {}
void StatsCleanEnd() {}

// Integrator: cover windows and the wallpaper step.
void CreateCoverWindows() {}
void CloseCoverWindows() {}
void WallpaperStep() {}

// Integrator: effect table, display-order reset, navigation history, load counters;
// effect-module set-up; the first effects and the first screen.
void StartShowState() {}
void SetUpEffectModules() {}
void ChooseFirstEffects() {}

// Integrator: StepNext, StepPrevious and the StepPending flag of the show cycle.
void StepNext() {}
void StepPrevious() {}
bool StepPending() { return false; }

// Integrator: resume position, random-order table, catalogue cache write, and the release
// of the catalogue, the caption fonts and the plug-ins.
void SaveResumePosition() {}
void FreeRandomOrder() {}
void WriteCatalogueIfChanged() {}
void FreeCatalogueFontsAndPlugins() {}

}  // namespace kelv::run_links
