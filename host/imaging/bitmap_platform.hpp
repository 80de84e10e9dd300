// The few bitmap operations that differ between the Win32 build (DIB sections and GDI)
// and the native build (plain heap buffers); bitmap.cpp holds everything else.
#pragma once

#include <cstdint>

#include "imaging/bitmap.hpp"

namespace kelv::bitmap_platform {

// Finishes pending GDI drawing before the pixel memory is touched directly.
void FlushDrawing();
// Fills the half-open rectangle [left, right) x [top, bottom) of a DC with black.
void FillDCBlack(NativeDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Stretches the whole source to width x height at (left, top) of the target without
// smoothing (colour-on-colour: each target pixel takes one source pixel).
void StretchInto(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height,
                 TBitmap& source);
// Nearest-pixel stretch on the pixel memories, for bitmaps without DCs.
void StretchPixels(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height,
                   const TBitmap& source);

}  // namespace kelv::bitmap_platform
