// The exports of divingfx.dll.
#include <windows.h>

#include "divingfx/divingfx_module.hpp"
#include "fxcommon/fx_entries.hpp"

namespace {

void KELV_CDECL About(KelvWindowHandle owner) {
  kelv::fx::ShowAboutBox(owner, kelv::divingfx::kAboutText);
}

}  // namespace

KELV_EXTERN_C KELV_EXPORT TEffectModule* KELV_CDECL GetEffectModule(void) {
  return kelv::divingfx::OpenModule(kelv::fx::TickSeed(), &About);
}
