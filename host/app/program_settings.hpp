// The settings load and save as the program runs them: the platform services of this
// build together with the real plug-in host and catalogue.
#pragma once

#include "settings/settings_store.hpp"

namespace kelv {

SettingsHooks ProgramSettingsHooks();

// LoadAllSettings with the program's hooks (once per process; later calls do nothing).
void LoadProgramSettings();

}  // namespace kelv
