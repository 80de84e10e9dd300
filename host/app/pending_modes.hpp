// The modes of the start-up dispatch that live outside the saver run: the settings dialog
// and the password change.
#pragma once

#include <string>

namespace kelv {

void RunSettingsDialogMode();
// `ownerText`: the command line's parameter, the owner window in decimal.
void RunPasswordChangeMode(const std::string& ownerText);

}  // namespace kelv
