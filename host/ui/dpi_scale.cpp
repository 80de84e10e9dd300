#include "ui/dpi_scale.hpp"

namespace kelv::ui {

namespace {

// numerator / denominator rounded to the nearest integer, ties to even, exactly (the
// products stay in 64 bits, where doubles would already round).
int32_t DivideRoundingToEven(int64_t numerator, int64_t denominator) {
  if (denominator <= 0) return static_cast<int32_t>(numerator);
  int64_t quotient = numerator / denominator;
  int64_t remainder = numerator % denominator;
  if (remainder < 0) {  // floor division for negative positions
    remainder += denominator;
    --quotient;
  }
  const int64_t twice = 2 * remainder;
  if (twice > denominator || (twice == denominator && (quotient & 1) != 0)) ++quotient;
  return static_cast<int32_t>(quotient);
}

}  // namespace

int32_t ScaleToScreenAt(int32_t value, int32_t dpi) { return DivideRoundingToEven(int64_t{value} * dpi, 96); }

int32_t ScaleTo96At(int32_t value, int32_t dpi) {
  if (dpi <= 0) return value;
  return DivideRoundingToEven(int64_t{value} * 96, dpi);
}

int32_t CaptionRightLimit(const PixelRect& box, std::span<const PixelRect> others, int32_t parentRight,
                          int32_t gap) {
  int32_t limit = parentRight;
  for (const PixelRect& other : others) {
    const bool sharesRows = other.top < box.bottom && box.top < other.bottom;
    // Beside: starting right of the box's middle. Boxes laid edge to edge at 96 dpi may
    // overlap by a pixel once scaled (each edge is rounded on its own).
    if (!sharesRows || 2 * other.left <= box.left + box.right) continue;
    if (other.left - gap < limit) limit = other.left - gap;
  }
  return limit > box.right ? limit : box.right;
}

}  // namespace kelv::ui
