// The exports of stamp.dll.
#include <windows.h>

#include "fxcommon/fx_entries.hpp"
#include "stamp/stamp_module.hpp"

namespace {

void KELV_CDECL About(KelvWindowHandle owner) {
  kelv::fx::ShowAboutBox(owner, kelv::stamp::kAboutText);
}

}  // namespace

KELV_EXTERN_C KELV_EXPORT TEffectModule* KELV_CDECL GetEffectModule(void) {
  return kelv::stamp::OpenModule(kelv::fx::TickSeed(), &About);
}
