// The small arithmetic every decode shares: the minimum-size filter, the JPEG pre-scale
// denominator (both common to all input modules) and where EXIF orientation puts a pixel.
#pragma once

#include <cstdint>

#include "plugincommon/decode_args.hpp"

namespace stdformats {

// The minimum-size filter and the pre-scale rule, shared with the other input modules.
using kelv::plugin::BelowSizeFilter;
using kelv::plugin::PrescaleAxis;
using kelv::plugin::PrescaleDenominator;

// EXIF orientations 5 to 8 exchange width and height.
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// Where the pixels of source row r (of a w x h picture) land in the turned bitmap:
// source pixel c goes to index base + c * step (pixels, row stride = turned width).
struct RowPlacement {
  int64_t base;
  int64_t step;
};
RowPlacement PlaceRow(int orientation, uint32_t w, uint32_t h, uint32_t r);

}  // namespace stdformats
