// The diving-effects module: its tables, its one module object and the entry that
// GetEffectModule and the tests use to open it.
#pragma once

#include "fxcommon/fx_module.hpp"

namespace kelv::divingfx {

inline constexpr int32_t kEffectCount = 8;

// Text of the About box.
extern const char* const kAboutText;

fx::EffectModule& Module();

// Fills the descriptor as GetEffectModule hands it out; `about` is the platform's About
// entry (nil in the native build).
TEffectModule* OpenModule(uint32_t seed, KelvAboutProc about) noexcept;

}  // namespace kelv::divingfx
