// The modes of the start-up dispatch that live outside the saver run: the settings dialog,
// and the password change (not built yet: it says so in a message box).
#pragma once

namespace kelv {

void RunSettingsDialogMode();
void RunPasswordChangeMode();

}  // namespace kelv
