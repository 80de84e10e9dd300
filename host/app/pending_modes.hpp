// Modes that are entered through the start-up dispatch but not built yet. Each says so in
// a message box; the settings dialog and the password change replace these when they land.
#pragma once

namespace kelv {

void RunSettingsDialogMode();
void RunPasswordChangeMode();

}  // namespace kelv
