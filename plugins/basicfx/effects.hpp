// The drawing of the default effects. Each Run... draws one complete transition (or
// returns early when the stop flag turns nonzero); `effect` is the index in the group.
#pragma once

#include <array>
#include <cstdint>

#include "fxcommon/fx_run.hpp"

namespace kelv::basicfx {

// What an instance keeps between calls: the old picture saved by the prepare step of
// "Fade in/out" and the two colour-picture slots of "Gray to Color".
struct InstanceStore {
  plugin::HeapBlock fadeSaved;
  std::array<plugin::HeapBlock, 2> graySlots;
  int32_t grayCurrent = 0;
  bool grayOverflow = false;
};

void RunRadar(fx::EffectRun& run, int32_t effect);
void RunMosaic(fx::EffectRun& run, int32_t effect);
// The Mosaic cell side: from `start` down by 1 until it divides `size`, at least 1.
int32_t MosaicSide(int32_t start, int32_t size);
void RunWipe(fx::EffectRun& run, int32_t effect);
void RunLines(fx::EffectRun& run, int32_t effect);
void PrepareFadeInOut(fx::EffectRun& run, InstanceStore& store);
void RunFadeInOut(fx::EffectRun& run, InstanceStore& store);
void RunColorFade(fx::EffectRun& run);
void RunVeil(fx::EffectRun& run, int32_t effect);
void RunInterlace(fx::EffectRun& run, int32_t effect);
void RunColorToGray(fx::EffectRun& run);
void PreStepGrayToColor(fx::EffectRun& run, InstanceStore& store);
void RunGrayToColor(fx::EffectRun& run, InstanceStore& store);
void RunChess(fx::EffectRun& run, int32_t effect);
void RunRhomb(fx::EffectRun& run, int32_t effect);

// The level loop shared by "Fade in/out" and the gray-scale effects: blends the whole
// screen from `from` to `to` (both W x H pixels, stride W) over levels 1 .. 255, skipping
// a level after a late Wait and drawing alternate rows from then on, and ends with `to`
// on screen. False when the stop flag ended it.
bool BlendLevels(fx::EffectRun& run, const uint32_t* to, const uint32_t* from);

// One row of one level: s = sat(n * k >> 8) + sat(o * (256 - k) >> 8) per channel.
void BlendRow(uint32_t* s, const uint32_t* n, const uint32_t* o, int32_t count, int32_t k);
// One row of a channel fade: channel bytes of `channelMask` become
// o + ((n - o) * k >> 8), those of `doneMask` n, all other bytes o.
void ChannelRow(uint32_t* s, const uint32_t* n, const uint32_t* o, int32_t count, int32_t k,
                uint32_t channelMask, uint32_t doneMask);
// Fractions of the two-pass effects (Veil, Chess, Rhomb): step i of a pass over
// last + 1 rows or columns; the first pass covers the first half of the transition.
inline double FirstHalf(int32_t i, int32_t last) { return last > 0 ? (i / 2.0) / last : 0.5; }
inline double SecondHalf(int32_t i, int32_t last) { return last > 0 ? 1.0 - (i / 2.0) / last : 1.0; }

// Gray of a pixel: g = (77 R + 150 G + 29 B) >> 8 in blue, green and red.
inline uint32_t GrayPixel(uint32_t p) {
  const uint32_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
  const uint32_t y = (77 * r + 150 * g + 29 * b) >> 8;
  return (p & 0xFF000000u) | (y << 16) | (y << 8) | y;
}

}  // namespace kelv::basicfx
