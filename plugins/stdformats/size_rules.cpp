#include "size_rules.hpp"

#include <algorithm>

namespace stdformats {

bool BelowSizeFilter(int32_t w, int32_t h, int32_t mw, int32_t mh) {
  if (mw <= 0 || mh <= 0) return false;
  return (w < mw && h < mh) || (w < mh && h < mw);
}

int PrescaleAxis(int64_t s, int64_t t) {
  if (t <= 0 || s <= t) return 1;
  const int64_t ratio = s / t;
  for (int f : {8, 4, 2}) {
    if (f <= ratio) return f;
  }
  return 1;
}

int PrescaleDenominator(int32_t imageW, int32_t imageH, int32_t wantW, int32_t wantH, bool fill) {
  const int fw = PrescaleAxis(imageW, wantW);
  const int fh = PrescaleAxis(imageH, wantH);
  return fill ? std::min(fw, fh) : std::max(fw, fh);
}

RowPlacement PlaceRow(int orientation, uint32_t w, uint32_t h, uint32_t r) {
  const int64_t W = w, H = h, R = r;
  switch (orientation) {
    case 2: return {R * W + W - 1, -1};
    case 3: return {(H - 1 - R) * W + W - 1, -1};
    case 4: return {(H - 1 - R) * W, 1};
    // Turned bitmaps are h wide and w high.
    case 5: return {R, H};
    case 6: return {H - 1 - R, H};
    case 7: return {(W - 1) * H + H - 1 - R, -H};
    case 8: return {(W - 1) * H + R, -H};
    default: return {R * W, 1};
  }
}

}  // namespace stdformats
