// Both passes of a resize, fed one source row at a time. Each row goes through the
// horizontal pass into a ring of intermediate rows, and every destination row whose
// rows are all in is worked out by the vertical pass at once, while those rows are still
// in the processor's cache. The ring holds just the rows the vertical lists still need
// (a few dozen at most), not the whole picture. The bytes are exactly those of the two
// whole passes one after the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/resample_contributors.hpp"

namespace kelv {

class RowStream {
public:
  // `across` takes a source row (as Add gets it) to `width` pixels; `down` is the vertical
  // lists as BuildContributors gives them for rows width * 3 bytes apart. The
  // `sourceRows` rows come in order, from the top, or from the bottom when `bottomUp`.
  // Destination row y goes to dest + y * destStride (4 bytes a pixel, the fourth kept).
  // `across` and the destination must outlive the stream.
  RowStream(const TContributors& across, const TContributors& down, int32_t width,
            int32_t sourceRows, bool bottomUp, uint8_t* dest, ptrdiff_t destStride);
  // A stream ended before its last row clears the destination rows it wrote, so that a
  // picture given up halfway leaves no part of itself behind.
  ~RowStream();
  RowStream(const RowStream&) = delete;
  RowStream& operator=(const RowStream&) = delete;

  // Source row `row` (the next in order): its horizontal pass, then the destination rows
  // it completes.
  void Add(const uint8_t* pixels, int32_t row);
  // Every destination row is written.
  bool Complete() const { return written_ == static_cast<int32_t>(needed_.size()); }

private:
  // Row `row` is the Arrival(row)-th to come (from 0).
  int32_t Arrival(int32_t row) const { return bottomUp_ ? sourceRows_ - 1 - row : row; }
  int32_t Slot(int32_t row) const { return Arrival(row) % ring_; }

  const TContributors& across_;
  TContributors down_;            // moved into the ring's slots
  std::vector<int64_t> needed_;   // rows in before each destination row, in writing order
  int32_t width_;
  int32_t sourceRows_;
  bool bottomUp_;
  uint8_t* dest_;
  ptrdiff_t destStride_;
  size_t interRow_;
  int32_t ring_ = 1;
  std::unique_ptr<uint8_t[]> intermediate_;
  int64_t rowsIn_ = 0;
  int32_t written_ = 0;  // destination rows written, in writing order
};

}  // namespace kelv
