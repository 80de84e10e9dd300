// The two inner passes of the resampler on raw memory. Sums are 32-bit integers; each
// is divided by 65,536 (truncating toward zero) and clamped to 0..255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/resample_contributors.hpp"

namespace kelv {

// Horizontal pass of one row of 4-byte pixels: destination pixel i is the weighted sum
// of the bytes at source + pixel (blue), + 1 (green), + 2 (red) over list i. Writes blue,
// green, red of lists.Count() pixels to `dest` (3 bytes each). Every sample may read
// all 4 bytes at its offset.
void ResampleRow(const uint8_t* source, const TContributors& lists, uint8_t* dest);

// Vertical pass: destination row y is the weighted sum over list y of the rows at
// intermediate + pixel, each `width` pixels of 3 bytes. Writes blue, green, red of
// `width` pixels into every destination row (`dest` + y * destStride, 4 bytes per
// pixel); the fourth byte of each pixel keeps its value.
void ResampleColumns(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                     uint8_t* dest, ptrdiff_t destStride);

// Destination rows firstRow .. endRow - 1 of the vertical pass alone, with `dest` still
// row 0's address: a caller whose intermediate rows come in one by one works out each
// destination row as soon as the rows of its list are there. Rows outside the lists are
// left out.
void ResampleColumnRows(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                        int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride);

// acc[x] += weight * bytes[x] for x < len, in 32-bit wrapping arithmetic.
void AddWeightedBytes(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight);

// The same passes written plainly, one byte and one weight at a time; the passes above
// use vector units where they can (AVX2 where the processor has it, else SSE2) and must give exactly these bytes.
void ResampleRowScalar(const uint8_t* source, const TContributors& lists, uint8_t* dest);
void ResampleColumnsScalar(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                           uint8_t* dest, ptrdiff_t destStride);

// The SSE2 forms on their own (the plain ones where the build has no SSE2): the passes
// above take them on processors without AVX2; the tests hold both forms against the plain.
void ResampleRowSse2(const uint8_t* source, const TContributors& lists, uint8_t* dest);
void ResampleColumnsSse2(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                         uint8_t* dest, ptrdiff_t destStride);
void AddWeightedBytesSse2(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight);

// True when the passes above use the AVX2 forms: built in, and the processor (and the
// system) has AVX2.
bool ResampleKernelsUseAvx2();

// One 32-bit sum as a byte: sum / 65,536 truncated toward zero, clamped to 0..255. For a
// negative sum the quotient is not above 0 either way, so the shift gives the same byte.
inline uint8_t ClampSum(uint32_t sum) {
  const int32_t v = static_cast<int32_t>(sum) >> 16;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace kelv
