#include "app/pending_modes.hpp"
#include "app/program_settings.hpp"
#include "saver/password_win.hpp"
#include "ui/settings_dialog_win.hpp"

namespace kelv {

void RunSettingsDialogMode() { ui::RunSettingsDialog(ProgramSettingsHooks()); }

void RunPasswordChangeMode(const std::string& ownerText) { ChangePassword(ownerText); }

}  // namespace kelv
