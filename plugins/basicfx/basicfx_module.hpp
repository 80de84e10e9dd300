// The default-effects module: its tables, its one module object and the entry that
// GetEffectModule and the tests use to open it.
#pragma once

#include <array>

#include "fxcommon/fx_module.hpp"

namespace kelv::basicfx {

inline constexpr int32_t kGroupCount = 10;  // announced; the tables have two rows more
inline constexpr int32_t kTableRows = 12;

enum Group : int32_t {
  kRadar, kMosaic, kWipe, kLines, kFade, kVeil, kInterlace, kGrayScale, kChess, kRhomb
};

// Text of the About box.
extern const char* const kAboutText;

fx::EffectModule& Module();

// Fills the descriptor as GetEffectModule hands it out; `about` is the platform's About
// entry (nil in the native build).
TEffectModule* OpenModule(uint32_t seed, KelvAboutProc about) noexcept;

}  // namespace kelv::basicfx
