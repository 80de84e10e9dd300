#include "size_rules.hpp"

namespace stdformats {

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
