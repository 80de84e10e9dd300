// The stamp-effects module: its tables, its one module object and the entry that
// GetEffectModule and the tests use to open it.
#pragma once

#include "fxcommon/fx_module.hpp"

namespace kelv::stamp {

inline constexpr int32_t kEffectCount = 9;

// Text of the About box.
extern const char* const kAboutText;

fx::EffectModule& Module();

// Fills the descriptor as GetEffectModule hands it out; `about` is the platform's About
// entry (nil in the native build).
TEffectModule* OpenModule(uint32_t seed, KelvAboutProc about) noexcept;

// The stamp mask an instance keeps between runs (nil before its first run).
const uint8_t* InstanceMask(int32_t instance) noexcept;

}  // namespace kelv::stamp
