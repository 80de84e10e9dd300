#include "imaging/resample_row_stream.hpp"

#include <algorithm>
#include <cstring>

#include "imaging/resample_kernels.hpp"

namespace kelv {

RowStream::RowStream(const TContributors& across, const TContributors& down, int32_t width,
                     int32_t sourceRows, bool bottomUp, uint8_t* dest, ptrdiff_t destStride)
    : across_(across),
      width_(width),
      sourceRows_(sourceRows),
      bottomUp_(bottomUp),
      dest_(dest),
      destStride_(destStride),
      interRow_(static_cast<size_t>(width) * 3) {
  // Rows are counted by arrival: row r is the p-th to come (p from 0), and goes to slot
  // p % ring. Per destination row, in writing order, its earliest and latest sample row.
  const int64_t rowBytes = static_cast<int64_t>(interRow_);
  const int32_t count = down.Count();
  std::vector<int64_t> earliest(static_cast<size_t>(count), sourceRows);
  needed_.assign(static_cast<size_t>(count), 0);
  for (int32_t i = 0; i < count; ++i) {
    const TContributorList list = down[bottomUp ? count - 1 - i : i];
    for (int32_t k = 0; k < list.n; ++k) {
      const int64_t p = Arrival(static_cast<int32_t>(list.p[k].pixel / rowBytes));
      earliest[i] = std::min(earliest[i], p);
      needed_[i] = std::max(needed_[i], p + 1);
    }
  }
  // A destination row is written once the rows of its list and of every row before it
  // are in. When the p-th row comes, the first row i not yet written needs more than p
  // rows, so the row it overwrites (the (p - ring)-th) must come before every row that
  // destination rows from i on still read: ring >= needed[i] - (the earliest of those).
  for (int32_t i = 1; i < count; ++i) needed_[i] = std::max(needed_[i], needed_[i - 1]);
  for (int32_t i = count - 2; i >= 0; --i) earliest[i] = std::min(earliest[i], earliest[i + 1]);
  int64_t ring = 1;
  for (int32_t i = 0; i < count; ++i) ring = std::max(ring, needed_[i] - earliest[i]);
  ring_ = static_cast<int32_t>(std::clamp<int64_t>(ring, 1, std::max(sourceRows, 1)));
  down_ = down.WithRowsMoved(rowBytes, ring_, [this](int64_t row) {
    return Slot(static_cast<int32_t>(row));
  });
  intermediate_ = std::make_unique_for_overwrite<uint8_t[]>(interRow_ * static_cast<size_t>(ring_));
}

RowStream::~RowStream() {
  if (Complete()) return;
  const int32_t count = static_cast<int32_t>(needed_.size());
  for (int32_t i = 0; i < written_; ++i) {
    const int32_t y = bottomUp_ ? count - 1 - i : i;
    std::memset(dest_ + destStride_ * y, 0, static_cast<size_t>(width_) * 4);
  }
}

void RowStream::Add(const uint8_t* pixels, int32_t row) {
  ResampleRow(pixels, across_, intermediate_.get() + interRow_ * static_cast<size_t>(Slot(row)));
  ++rowsIn_;
  const int32_t count = static_cast<int32_t>(needed_.size());
  int32_t end = written_;
  while (end < count && needed_[static_cast<size_t>(end)] <= rowsIn_) ++end;
  if (end == written_) return;
  const int32_t first = bottomUp_ ? count - end : written_;
  const int32_t last = bottomUp_ ? count - written_ : end;
  ResampleColumnRows(intermediate_.get(), width_, down_, first, last, dest_, destStride_);
  written_ = end;
}

}  // namespace kelv
