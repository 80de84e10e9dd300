// The resampler: scales a rectangle of one 32-bit picture into a rectangle of another
// with a separable filter in two passes (horizontal into a 24-bit intermediate buffer,
// then vertical), with 16.16 fixed-point weights. The incremental form that takes a
// picture row by row from an input plug-in is in resampler_rowsink.hpp.
#pragma once

#include <cstdint>

#include "imaging/resample_filters.hpp"

namespace kelv {

class TBitmap;

// A 32-bit picture in memory: bytes blue, green, red, x; rows top-down, stride width * 4.
struct PixelView {
  uint8_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// Writes the source rectangle (sourceX, sourceY, sourceW, sourceH), resampled with the
// filter (index 0..6, see resample_filters.hpp) and support (0 = the filter's own), into
// the target rectangle (targetX, targetY, targetW, targetH). Only the first three bytes
// of each target pixel are written; the fourth keeps its value.
// Does nothing when the source or the target is missing or has no pixel memory, when a
// rectangle is empty, or when the source rectangle is not inside the source picture.
// Target pixels outside the target picture are left out.
void Resample(TBitmap* target, int32_t targetX, int32_t targetY, int32_t targetW,
              int32_t targetH, const TBitmap* source, int32_t sourceX, int32_t sourceY,
              int32_t sourceW, int32_t sourceH, int32_t filter, float support = 0.0f);

// The same on raw pictures.
void ResampleBits(PixelView target, int32_t targetX, int32_t targetY, int32_t targetW,
                  int32_t targetH, PixelView source, int32_t sourceX, int32_t sourceY,
                  int32_t sourceW, int32_t sourceH, int32_t filter, float support = 0.0f);

}  // namespace kelv
