#include <windows.h>

#include "app/pending_modes.hpp"

namespace kelv {

void RunSettingsDialogMode() {
  MessageBoxA(nullptr, "The settings dialog is not built yet.", "Kelvora", MB_OK);
}

void RunPasswordChangeMode() {
  MessageBoxA(nullptr, "The password change is not built yet.", "Kelvora", MB_OK);
}

}  // namespace kelv
