// Native stand-ins for the Windows side of the skeleton (used by the unit tests).
#include <chrono>

#include "fxcommon/fx_entries.hpp"

namespace kelv::fx {

void RaiseRuntimeError(int32_t) noexcept {}

uint32_t TickSeed() noexcept {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void ShowAboutBox(KelvWindowHandle, const char*) noexcept {}

}  // namespace kelv::fx
