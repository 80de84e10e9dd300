// The blurred background: the bars a picture leaves in its cell get the same picture,
// enlarged to cover the whole cell (cropped, centred), strongly blurred and a little
// darker, so that the screen is full and the picture itself still stands out.
//
// It is made from the picture as it already lies in the cell (whichever way it got
// there: whole, row by row, stretched), so it needs no second decode. Cheap by design:
// a copy of 1/16 of the cell's size is sampled from the placed picture, blurred there
// with three box passes each way and enlarged back smoothly (bilinear) into the bars
// only. The picture's own pixels are never written. (The blur is so wide that a copy of
// 1/8 looks no different; it would cost about twice as much.)
#pragma once

#include <cstdint>

#include "imaging/resample_placement.hpp"
#include "imaging/resampler.hpp"

namespace kelv {

// The small copy is the cell's size divided by this (rounded up).
inline constexpr int32_t kBackgroundReduction = 16;
// The blur's radius (each of the three box passes' half width, which is also about the
// standard deviation of the whole blur) is the cell's larger side divided by this.
inline constexpr int32_t kBackgroundBlurDivisor = 20;
// The background's brightness, in 256ths of the picture's.
inline constexpr uint32_t kBackgroundShade = 192;

// Fills the cell outside `picture` (the area the placed picture covers) with the blurred
// background made from the pixels inside it. Does nothing when the area is empty or
// covers the whole cell, or when the cell has no pixels. The fourth byte of every
// written pixel is 0.
void DrawBlurredBackground(PixelView cell, const PlacedArea& picture);

}  // namespace kelv
