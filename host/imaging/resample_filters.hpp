// The seven reconstruction filters of the resampler. Each is a function of a real
// distance t evaluated in single precision, with a support radius beyond which it is 0.
#pragma once

#include <cstdint>

namespace kelv {

enum ResampleFilter : int32_t {
  FilterBox = 0,
  FilterTriangle = 1,
  FilterHermite = 2,
  FilterBell = 3,
  FilterBSpline = 4,
  FilterLanczos3 = 5,
  FilterMitchell = 6,
  FilterCount = 7
};

// The filter for "Good resize quality" and for "Best resize quality".
constexpr int32_t FilterForGoodQuality = FilterHermite;
constexpr int32_t FilterForBestQuality = FilterLanczos3;

// The filter's own support radius (0.5, 1, 1, 1.5, 2, 3, 2). Unknown indices count as Box.
float FilterSupport(int32_t filter);

// f(t) in single precision: every operation rounds to float, in the order the formula is
// written. Unknown indices count as Box.
float FilterValue(int32_t filter, float t);

}  // namespace kelv
