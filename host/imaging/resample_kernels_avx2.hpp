// The resampler's inner passes for processors with AVX2, chosen at run time by
// resample_kernels.cpp. They give exactly the bytes of the plain passes. The lists come
// as raw arrays: this file's code is built for AVX2, and any library template it used
// could end up shared with code that runs on processors without it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/resample_contributors.hpp"

namespace kelv {

// One axis' lists as plain memory (see TContributors): list i is items[starts[i]] ..
// items[starts[i + 1] - 1], with the split weights at split[starts[i]] ...; runs[i] tells
// whether its samples follow each other pixel by pixel.
struct RawContributors {
  int32_t count;
  const int32_t* starts;
  const TContributor* items;
  const uint32_t* split;
  const uint8_t* runs;
  const int16_t* narrow;  // null unless every weight fits in 16 bits; 8 zeros after
  int64_t readable;       // bytes of the row that may be read
};

// Whether these forms were built in (x86 with a compiler that can target AVX2).
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define KELV_RESAMPLE_AVX2 1
#else
#define KELV_RESAMPLE_AVX2 0
#endif

#if KELV_RESAMPLE_AVX2
void ResampleRowAvx2(const uint8_t* source, const RawContributors& lists, uint8_t* dest);
// Destination rows firstRow .. endRow - 1 (within 0 .. lists.count); `line` is scratch
// room for width * 3 + 32 bytes.
void ResampleColumnsAvx2(const uint8_t* intermediate, int32_t width, const RawContributors& lists,
                         int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride,
                         uint8_t* line);
// acc[x] += weight * bytes[x], the weight also given split.
void AddSplitAvx2(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight, uint32_t split);
#endif

}  // namespace kelv
