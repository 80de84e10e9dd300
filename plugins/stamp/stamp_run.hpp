// One stamp transition on the instance's mask.
#pragma once

#include <cstdint>

#include "fxcommon/fx_run.hpp"

namespace kelv::stamp {

// Refills `mask` (100 x 100 cells) for `shape`, stamps it at random unrevealed pixels
// until fewer than 4 % of the pixels remain and then copies the whole next picture row
// by row. A nil mask (no memory) reveals the picture at once.
void RunStamp(fx::EffectRun& run, uint8_t* mask, int32_t shape);

}  // namespace kelv::stamp
