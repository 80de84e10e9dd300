// The screen-saver password through the system's own libraries, loaded by name when used:
// "PASSWORD.CPL" asks for it before the saver may end, "MPR.DLL" changes it ("/a").
#pragma once

#include <string>

namespace kelv {

class SaverRun;

// Password protection is on ("ScreenSaveUsePassword" is not 0); always off on the NT
// family, where the system guards the saver itself.
bool PasswordProtected();

// True when the saver may end: no password in use, no library or function to ask with, a
// run from the settings dialog, or the user's right answer. The cursor shows for the
// system's dialog and hides again after a refusal.
bool VerifyPassword(const SaverRun& run);

// The "a" mode: the system's password change, owned by the window named in decimal by
// `ownerText`. Text that is no number raises EConvertError.
void ChangePassword(const std::string& ownerText);

}  // namespace kelv
