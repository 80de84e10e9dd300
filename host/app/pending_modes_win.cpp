#include <windows.h>

#include "app/pending_modes.hpp"
#include "app/program_settings.hpp"
#include "ui/settings_dialog_win.hpp"

namespace kelv {

void RunSettingsDialogMode() { ui::RunSettingsDialog(ProgramSettingsHooks()); }

void RunPasswordChangeMode() {
  MessageBoxA(nullptr, "The password change is not built yet.", "Kelvora", MB_OK);
}

}  // namespace kelv
