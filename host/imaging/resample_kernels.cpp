#include "imaging/resample_kernels.hpp"

#include <algorithm>
#include <vector>

namespace kelv {

// Sums are kept as unsigned 32-bit values: the products and the sums then wrap exactly
// like 32-bit integer arithmetic does, with no undefined behaviour, and the final
// reinterpretation as signed gives the 32-bit sum.

void ResampleRow(const uint8_t* source, const TContributors& lists, uint8_t* dest) {
  const int32_t count = lists.Count();
  for (int32_t i = 0; i < count; ++i) {
    const TContributorList list = lists[i];
    uint32_t b = 0, g = 0, r = 0;
    for (int32_t k = 0; k < list.n; ++k) {
      const uint8_t* s = source + list.p[k].pixel;
      const uint32_t w = static_cast<uint32_t>(list.p[k].weight);
      b += w * s[0];
      g += w * s[1];
      r += w * s[2];
    }
    dest[0] = ClampSum(b);
    dest[1] = ClampSum(g);
    dest[2] = ClampSum(r);
    dest += 3;
  }
}

void ResampleColumns(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                     uint8_t* dest, ptrdiff_t destStride) {
  // The row is done in slices whose sums stay in the first-level cache while every
  // contributing row is added.
  constexpr int32_t kSlice = 2046;  // 682 whole pixels
  const int32_t rowBytes = width * 3;
  std::vector<uint32_t> sums(static_cast<size_t>(std::min(rowBytes, kSlice)));
  const int32_t rows = lists.Count();
  for (int32_t y = 0; y < rows; ++y) {
    const TContributorList list = lists[y];
    uint8_t* out = dest + destStride * y;
    for (int32_t start = 0; start < rowBytes; start += kSlice) {
      const int32_t len = std::min(kSlice, rowBytes - start);
      uint32_t* acc = sums.data();
      std::fill(acc, acc + len, 0u);
      for (int32_t k = 0; k < list.n; ++k) {
        const uint8_t* s = intermediate + list.p[k].pixel + start;
        const uint32_t w = static_cast<uint32_t>(list.p[k].weight);
        for (int32_t x = 0; x < len; ++x) acc[x] += w * s[x];
      }
      // Slices hold whole pixels (kSlice is a multiple of 3).
      uint8_t* o = out + (start / 3) * 4;
      for (int32_t x = 0; x < len; x += 3) {
        o[0] = ClampSum(acc[x]);
        o[1] = ClampSum(acc[x + 1]);
        o[2] = ClampSum(acc[x + 2]);
        o += 4;
      }
    }
  }
}

}  // namespace kelv
