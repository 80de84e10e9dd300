// The stamp masks: a 100 x 100 grid of cells (1 = part of the stamp) whose point
// (50, 50) is the stamp's centre, filled for one of the nine shapes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelv::stamp {

inline constexpr int32_t kMaskSide = 100;
inline constexpr int32_t kMaskCentre = 50;
inline constexpr size_t kMaskBytes = size_t{kMaskSide} * kMaskSide;

enum Shape : int32_t {
  kSquare, kCircle, kButterfly, kFlag, kFlower, kDollar, kUfo, kSnowflake, kBlot
};

// A constant bit picture of a shape and where it lies in the grid.
struct BitPicture {
  const uint8_t* cells;  // width * height bytes, row by row, 0 or 1
  int32_t width;
  int32_t height;
  int32_t column;        // grid column of the picture's left edge
  int32_t row;           // grid row of its top edge
};

// The bit picture of Butterfly, Flag, Flower, Dollar, UFO, Snowflake or Blot; cells nil
// for Square, Circle and unknown shapes.
BitPicture PictureOf(int32_t shape) noexcept;

// Clears the 100 x 100 mask and fills it for `shape` (an unknown shape leaves it clear).
void FillMask(uint8_t* mask, int32_t shape) noexcept;

}  // namespace kelv::stamp
