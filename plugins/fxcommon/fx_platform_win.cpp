// Windows side of the effect-module skeleton.
#include <windows.h>

#include "fxcommon/fx_entries.hpp"

namespace kelv::fx {

void RaiseRuntimeError(int32_t code) noexcept {
  // A structured exception, not a C++ one: it travels through the host's C frames to
  // the host's guard or unhandled-exception filter, which makes the crash report.
  const ULONG_PTR info[1] = {static_cast<ULONG_PTR>(code)};
  RaiseException(KELV_FX_RUNTIME_ERROR_EXCEPTION(static_cast<DWORD>(code)),
                 EXCEPTION_NONCONTINUABLE, 1, info);
}

uint32_t TickSeed() noexcept { return GetTickCount(); }

void ShowAboutBox(KelvWindowHandle owner, const char* text) noexcept {
  MessageBoxA(static_cast<HWND>(owner), text, "About plugin", MB_OK);
}

}  // namespace kelv::fx
