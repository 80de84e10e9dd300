#include "imaging/resample_kernels.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

// The passes use SSE2; the 32-bit build switches it on for this file (as for the filter
// arithmetic, resample_float.hpp), every x86 processor since 2003 has it.
#if defined(__SSE2__)
#define KELV_RESAMPLE_SSE2 1
#elif defined(__i386__) && defined(__GNUC__) && !defined(__clang__)
#pragma GCC target("sse2")
#define KELV_RESAMPLE_SSE2 1
#endif
#if KELV_RESAMPLE_SSE2
#include <emmintrin.h>
#endif

#include "imaging/resample_kernels_avx2.hpp"

namespace kelv {

// Scalar sums are kept as unsigned 32-bit values: the products and the sums then wrap
// exactly like 32-bit integer arithmetic does, with no undefined behaviour, and the
// final reinterpretation as signed gives the 32-bit sum. The vector sums wrap the same.

void ResampleRowScalar(const uint8_t* source, const TContributors& lists, uint8_t* dest) {
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

namespace {

// The row is done in slices whose sums stay in the first-level cache while every
// contributing row is added; slices hold whole pixels.
constexpr int32_t kSlice = 2040;  // 680 pixels, a multiple of 3 and of 8

void StorePixels(const uint32_t* acc, int32_t len, uint8_t* out) {
  for (int32_t x = 0; x < len; x += 3) {
    out[0] = ClampSum(acc[x]);
    out[1] = ClampSum(acc[x + 1]);
    out[2] = ClampSum(acc[x + 2]);
    out += 4;
  }
}

}  // namespace

namespace {

void ColumnRowsScalar(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                      int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride) {
  const int32_t rowBytes = width * 3;
  std::vector<uint32_t> sums(static_cast<size_t>(std::min(rowBytes, kSlice)));
  for (int32_t y = firstRow; y < endRow; ++y) {
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
      StorePixels(acc, len, out + (start / 3) * 4);
    }
  }
}

}  // namespace

void ResampleColumnsScalar(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                           uint8_t* dest, ptrdiff_t destStride) {
  ColumnRowsScalar(intermediate, width, lists, 0, lists.Count(), dest, destStride);
}

#if KELV_RESAMPLE_SSE2

// Vector form: a byte b becomes the 16-bit pair (b, b << 7); one multiply-add with a
// split weight (lo, hi) gives b * lo + (b << 7) * hi = b * weight exactly.

void ResampleRowSse2(const uint8_t* source, const TContributors& lists, uint8_t* dest) {
  if (!lists.Split()) {
    ResampleRowScalar(source, lists, dest);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const int32_t count = lists.Count();
  for (int32_t i = 0; i < count; ++i) {
    const TContributorList list = lists[i];
    const uint32_t* weights = lists.SplitWeights(i);
    __m128i acc0 = zero, acc1 = zero;
    int32_t k = 0;
    for (; k + 1 < list.n; k += 2) {
      int32_t v0, v1;
      std::memcpy(&v0, source + list.p[k].pixel, 4);
      std::memcpy(&v1, source + list.p[k + 1].pixel, 4);
      __m128i p0 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v0), zero);
      __m128i p1 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v1), zero);
      p0 = _mm_unpacklo_epi16(p0, _mm_slli_epi16(p0, 7));
      p1 = _mm_unpacklo_epi16(p1, _mm_slli_epi16(p1, 7));
      acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(p0, _mm_set1_epi32(static_cast<int32_t>(weights[k]))));
      acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(p1, _mm_set1_epi32(static_cast<int32_t>(weights[k + 1]))));
    }
    if (k < list.n) {
      int32_t v0;
      std::memcpy(&v0, source + list.p[k].pixel, 4);
      __m128i p0 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v0), zero);
      p0 = _mm_unpacklo_epi16(p0, _mm_slli_epi16(p0, 7));
      acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(p0, _mm_set1_epi32(static_cast<int32_t>(weights[k]))));
    }
    // Shift, then saturate to 16 and to unsigned 8 bits: the clamp to 0..255.
    __m128i r = _mm_srai_epi32(_mm_add_epi32(acc0, acc1), 16);
    r = _mm_packs_epi32(r, r);
    r = _mm_packus_epi16(r, r);
    const uint32_t bgr = static_cast<uint32_t>(_mm_cvtsi128_si32(r));
    dest[0] = static_cast<uint8_t>(bgr);
    dest[1] = static_cast<uint8_t>(bgr >> 8);
    dest[2] = static_cast<uint8_t>(bgr >> 16);
    dest += 3;
  }
}

namespace {

// acc[x] += weight * bytes[x] for x < len, the weight given split (see TContributors).
inline void AddSplit(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight,
                     uint32_t split) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i w = _mm_set1_epi32(static_cast<int32_t>(split));
  const int32_t vectorLen = len & ~15;
  int32_t x = 0;
  for (; x < vectorLen; x += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + x));
    const __m128i lo = _mm_unpacklo_epi8(b, zero);
    const __m128i hi = _mm_unpackhi_epi8(b, zero);
    const __m128i lo7 = _mm_slli_epi16(lo, 7);
    const __m128i hi7 = _mm_slli_epi16(hi, 7);
    __m128i* a = reinterpret_cast<__m128i*>(acc + x);
    _mm_storeu_si128(a, _mm_add_epi32(_mm_loadu_si128(a), _mm_madd_epi16(_mm_unpacklo_epi16(lo, lo7), w)));
    _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), _mm_madd_epi16(_mm_unpackhi_epi16(lo, lo7), w)));
    _mm_storeu_si128(a + 2, _mm_add_epi32(_mm_loadu_si128(a + 2), _mm_madd_epi16(_mm_unpacklo_epi16(hi, hi7), w)));
    _mm_storeu_si128(a + 3, _mm_add_epi32(_mm_loadu_si128(a + 3), _mm_madd_epi16(_mm_unpackhi_epi16(hi, hi7), w)));
  }
  const uint32_t wf = static_cast<uint32_t>(weight);
  for (; x < len; ++x) acc[x] += wf * bytes[x];
}

}  // namespace

void AddWeightedBytesSse2(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight) {
  const int32_t lo = ((weight + 64) & 127) - 64;
  const int64_t hi = (static_cast<int64_t>(weight) - lo) / 128;
  if (hi < -32768 || hi > 32767) {
    const uint32_t wf = static_cast<uint32_t>(weight);
    for (int32_t x = 0; x < len; ++x) acc[x] += wf * bytes[x];
    return;
  }
  AddSplit(acc, bytes, len, weight,
           static_cast<uint16_t>(lo) | (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
}

namespace {

void ColumnRowsSse2(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                    int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride) {
  if (!lists.Split()) {
    ColumnRowsScalar(intermediate, width, lists, firstRow, endRow, dest, destStride);
    return;
  }
  const int32_t rowBytes = width * 3;
  std::vector<uint32_t> sums(static_cast<size_t>(std::min(rowBytes, kSlice)));
  for (int32_t y = firstRow; y < endRow; ++y) {
    const TContributorList list = lists[y];
    const uint32_t* weights = lists.SplitWeights(y);
    uint8_t* out = dest + destStride * y;
    for (int32_t start = 0; start < rowBytes; start += kSlice) {
      const int32_t len = std::min(kSlice, rowBytes - start);
      uint32_t* acc = sums.data();
      std::fill(acc, acc + len, 0u);
      for (int32_t k = 0; k < list.n; ++k) {
        AddSplit(acc, intermediate + list.p[k].pixel + start, len, list.p[k].weight, weights[k]);
      }
      StorePixels(acc, len, out + (start / 3) * 4);
    }
  }
}

}  // namespace

void ResampleColumnsSse2(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                         uint8_t* dest, ptrdiff_t destStride) {
  ColumnRowsSse2(intermediate, width, lists, 0, lists.Count(), dest, destStride);
}

#else

void AddWeightedBytesSse2(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight) {
  const uint32_t wf = static_cast<uint32_t>(weight);
  for (int32_t x = 0; x < len; ++x) acc[x] += wf * bytes[x];
}

void ResampleRowSse2(const uint8_t* source, const TContributors& lists, uint8_t* dest) {
  ResampleRowScalar(source, lists, dest);
}

void ResampleColumnsSse2(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                         uint8_t* dest, ptrdiff_t destStride) {
  ResampleColumnsScalar(intermediate, width, lists, dest, destStride);
}

namespace {
void ColumnRowsSse2(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                    int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride) {
  ColumnRowsScalar(intermediate, width, lists, firstRow, endRow, dest, destStride);
}
}  // namespace

#endif

// --- the choice at run time ------------------------------------------------------------

bool ResampleKernelsUseAvx2() {
#if KELV_RESAMPLE_AVX2
  // Asked once; the answer includes whether the system saves the AVX registers.
  static const bool avx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
#else
  return false;
#endif
}

#if KELV_RESAMPLE_AVX2
namespace {
RawContributors Raw(const TContributors& lists) {
  return {lists.Count(), lists.Starts(), lists.Items(), lists.SplitWeights(0), lists.Runs(),
          lists.NarrowWeights(), lists.Readable()};
}
}  // namespace
#endif

void ResampleRow(const uint8_t* source, const TContributors& lists, uint8_t* dest) {
#if KELV_RESAMPLE_AVX2
  // Lists of fewer than four samples (reductions by less than half with the box filter)
  // gain nothing from the wider unit: the SSE2 form does them faster.
  if (lists.Split() && !lists.Empty() && lists.MaxCount() >= 4 && ResampleKernelsUseAvx2()) {
    ResampleRowAvx2(source, Raw(lists), dest);
    return;
  }
#endif
  ResampleRowSse2(source, lists, dest);
}

void ResampleColumns(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                     uint8_t* dest, ptrdiff_t destStride) {
  ResampleColumnRows(intermediate, width, lists, 0, lists.Count(), dest, destStride);
}

void ResampleColumnRows(const uint8_t* intermediate, int32_t width, const TContributors& lists,
                        int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride) {
  firstRow = std::max(firstRow, 0);
  endRow = std::min(endRow, lists.Count());
  if (firstRow >= endRow) return;
#if KELV_RESAMPLE_AVX2
  if (lists.Split() && width > 0 && ResampleKernelsUseAvx2()) {
    std::vector<uint8_t> line(static_cast<size_t>(width) * 3 + 32);
    ResampleColumnsAvx2(intermediate, width, Raw(lists), firstRow, endRow, dest, destStride,
                        line.data());
    return;
  }
#endif
  ColumnRowsSse2(intermediate, width, lists, firstRow, endRow, dest, destStride);
}

void AddWeightedBytes(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight) {
#if KELV_RESAMPLE_AVX2
  const int32_t lo = ((weight + 64) & 127) - 64;
  const int64_t hi = (static_cast<int64_t>(weight) - lo) / 128;
  if (hi >= -32768 && hi <= 32767 && ResampleKernelsUseAvx2()) {
    AddSplitAvx2(acc, bytes, len, weight,
                 static_cast<uint16_t>(lo) | (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
    return;
  }
#endif
  AddWeightedBytesSse2(acc, bytes, len, weight);
}

}  // namespace kelv
