// The drawing of the diving effects. Each shape draws its outlines, rings or spiral
// segments one after the other with a Wait after each, and every run that is not
// stopped ends with the complete next picture: pixels the outlines miss (odd sizes,
// truncation, the corners of a tiny picture) are copied before the last Wait(1).
#pragma once

#include <cstdint>

#include "fxcommon/fx_run.hpp"

namespace kelv::divingfx {

// `inward`: from the border towards the centre ("in"), else from the centre outwards.
void RunSquare(fx::EffectRun& run, bool inward);
void RunCircle(fx::EffectRun& run, bool inward);
void RunRandomCircle(fx::EffectRun& run, bool inward);
void RunSpiral(fx::EffectRun& run, bool inward);

// The end of every diving run that was not stopped: copies what is still missing and
// reports the transition complete.
inline void Complete(fx::EffectRun& run) {
  run.RevealAll();
  run.Step(1.0);
}

// Reveals (x, y) when it lies inside the picture.
inline void RevealInside(fx::EffectRun& run, int32_t x, int32_t y) {
  if (x >= 0 && y >= 0 && x < run.Width() && y < run.Height()) run.Reveal(x, y);
}

inline constexpr double kRadiusStep = 0.70710678;  // 1 / sqrt(2)

}  // namespace kelv::divingfx
