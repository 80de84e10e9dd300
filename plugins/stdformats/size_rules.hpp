// The small arithmetic every decode shares: the minimum-size filter, the JPEG pre-scale
// denominator and where EXIF orientation puts a pixel.
#pragma once

#include <cstdint>

namespace stdformats {

// True when a w x h picture fits inside the minimum box mw x mh in either orientation.
// The filter is off unless both minimum sides are positive.
bool BelowSizeFilter(int32_t w, int32_t h, int32_t mw, int32_t mh);

// Pre-scale denominator for an image side s shown at side t: 1 when s <= t (or no wish),
// else the largest of 8, 4, 2, 1 not above s div t.
int PrescaleAxis(int64_t s, int64_t t);
// Combined over both axes: the smaller factor with fill (both sides stay at least the
// wanted size), the larger without (one side does).
int PrescaleDenominator(int32_t imageW, int32_t imageH, int32_t wantW, int32_t wantH, bool fill);

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
