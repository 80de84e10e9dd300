// The exports of basicfx.dll.
#include <windows.h>

#include "basicfx/basicfx_module.hpp"
#include "fxcommon/fx_entries.hpp"

namespace {

void KELV_CDECL About(KelvWindowHandle owner) { kelv::fx::ShowAboutBox(owner, kelv::basicfx::kAboutText); }

}  // namespace

KELV_EXTERN_C KELV_EXPORT TEffectModule* KELV_CDECL GetEffectModule(void) {
  return kelv::basicfx::OpenModule(kelv::fx::TickSeed(), &About);
}
