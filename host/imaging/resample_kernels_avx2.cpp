// The AVX2 forms of the resampler's passes. Everything after the target switch below is
// built for AVX2 and only runs when the processor has it (resample_kernels.cpp asks), so
// this file uses no library templates and no functions shared with other files.
//
// As in the SSE2 forms, a byte b becomes the 16-bit pair (b, b << 7) and one multiply-add
// with the split weight (lo, hi) gives b * lo + (b << 7) * hi = b * weight exactly; sums
// wrap in 32 bits like the plain form's, so the order of the additions does not matter.
#include "imaging/resample_kernels_avx2.hpp"

#if KELV_RESAMPLE_AVX2

#include <immintrin.h>

#include <cstring>

#pragma GCC target("avx2")

namespace kelv {

namespace {

inline int32_t Load32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// One 32-bit sum as a byte, as ClampSum does.
inline uint8_t Clamp(uint32_t sum) {
  const int32_t v = static_cast<int32_t>(sum) >> 16;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The sums of one pixel (blue, green, red, x) from one sample with its split weight.
inline __m128i PixelTimes(const uint8_t* s, uint32_t split) {
  __m128i p = _mm_cvtepu8_epi16(_mm_cvtsi32_si128(Load32(s)));
  p = _mm_unpacklo_epi16(p, _mm_slli_epi16(p, 7));
  return _mm_madd_epi16(p, _mm_set1_epi32(static_cast<int32_t>(split)));
}

// From kFirstOnes + 8 - r: r 16-bit masks of ones, then zeros.
alignas(16) const int16_t kFirstOnes[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};

// Four pixels k .. k + 3 as 16-bit values (k, k + 1 in the low half, k + 2, k + 3 in the
// high) times their weights: k and k + 2 into acc0, k + 1 and k + 3 into acc1.
inline void Accumulate4(__m256i& acc0, __m256i& acc1, __m256i x, const uint32_t* weights,
                        __m256i pickEven, __m256i pickOdd) {
  const __m256i x7 = _mm256_slli_epi16(x, 7);
  const __m256i w = _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weights)));
  acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi16(x, x7),
                                                  _mm256_permutevar8x32_epi32(w, pickEven)));
  acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi16(x, x7),
                                                  _mm256_permutevar8x32_epi32(w, pickOdd)));
}

// Whether list i has neighbouring samples with 16-bit weights, all of whose rounds of
// eight stay inside the row.
inline bool NarrowRun(const RawContributors& lists, int32_t i) {
  const int32_t n = lists.starts[i + 1] - lists.starts[i];
  return lists.runs[i] && lists.narrow != nullptr && n >= 4 &&
         lists.items[lists.starts[i]].pixel + 4 * static_cast<int64_t>((n + 7) & ~7) <= lists.readable;
}

// The sums of such a list (two halves to be added): the same channel of two pixels side
// by side meets the weights of both in one multiply-add, eight samples at a time; the last
// eight may reach past the list (not past the row), with the weights there masked to 0.
inline __m256i NarrowSums(const uint8_t* source, const RawContributors& lists, int32_t i,
                          __m256i pairChannels, __m256i pickEven, __m256i pickOdd) {
  const int32_t first = lists.starts[i];
  const int32_t n = lists.starts[i + 1] - first;
  const uint8_t* s = source + lists.items[first].pixel;
  const int16_t* w16 = lists.narrow + first;
  const __m256i zero = _mm256_setzero_si256();
  __m256i acc0 = zero, acc1 = zero;
  for (int32_t k = 0; k < n; k += 8) {
    const __m256i x = _mm256_shuffle_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * k)), pairChannels);
    __m128i w8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w16 + k));
    if (n - k < 8) {
      w8 = _mm_and_si128(w8, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstOnes + 8 - (n - k))));
    }
    const __m256i w = _mm256_castsi128_si256(w8);
    // Pixels k, k + 1 | k + 4, k + 5 and k + 2, k + 3 | k + 6, k + 7.
    acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi8(x, zero),
                                                    _mm256_permutevar8x32_epi32(w, pickEven)));
    acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi8(x, zero),
                                                    _mm256_permutevar8x32_epi32(w, pickOdd)));
  }
  return _mm256_add_epi32(acc0, acc1);
}

// A pixel's blue, green, red; with `spare` the fourth byte too (it is the next pixel's,
// written after this one).
inline void StorePixel(uint8_t* dest, uint32_t bgr, bool spare) {
  if (spare) {
    std::memcpy(dest, &bgr, 4);
  } else {
    dest[0] = static_cast<uint8_t>(bgr);
    dest[1] = static_cast<uint8_t>(bgr >> 8);
    dest[2] = static_cast<uint8_t>(bgr >> 16);
  }
}

}  // namespace

void ResampleRowAvx2(const uint8_t* source, const RawContributors& lists, uint8_t* dest) {
  // Four samples at a time.
  const __m256i pickEven = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
  const __m256i pickOdd = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
  // Within each 16 bytes (four pixels): b0 b1 g0 g1 r0 r1 x0 x1 b2 b3 g2 g3 r2 r3 x2 x3.
  const __m256i pairChannels = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15,
                                                0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
  for (int32_t i = 0; i < lists.count; ++i) {
    if (i + 1 < lists.count && NarrowRun(lists, i) && NarrowRun(lists, i + 1)) {
      // Two such pixels share the adding up, the shift, the clamp and the store.
      const __m256i a = NarrowSums(source, lists, i, pairChannels, pickEven, pickOdd);
      const __m256i b = NarrowSums(source, lists, i + 1, pairChannels, pickEven, pickOdd);
      __m256i t = _mm256_add_epi32(_mm256_permute2x128_si256(a, b, 0x20),
                                   _mm256_permute2x128_si256(a, b, 0x31));
      t = _mm256_srai_epi32(t, 16);
      t = _mm256_packs_epi32(t, t);
      t = _mm256_packus_epi16(t, t);
      const uint32_t bgrA = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(t)));
      const uint32_t bgrB = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(t, 1)));
      std::memcpy(dest, &bgrA, 4);
      StorePixel(dest + 3, bgrB, i + 2 < lists.count);
      dest += 6;
      ++i;
      continue;
    }
    const int32_t first = lists.starts[i];
    const int32_t n = lists.starts[i + 1] - first;
    const TContributor* p = lists.items + first;
    const uint32_t* weights = lists.split + first;
    __m256i acc0 = _mm256_setzero_si256(), acc1 = _mm256_setzero_si256();
    __m128i tail = _mm_setzero_si128();
    int32_t k = 0;
    if (NarrowRun(lists, i)) {
      acc0 = NarrowSums(source, lists, i, pairChannels, pickEven, pickOdd);
      k = n;
    } else if (lists.runs[i] && n >= 4) {
      // The samples are neighbours: four pixels come in one load.
      const uint8_t* s = source + p[0].pixel;
      for (; k + 3 < n; k += 4) {
        const __m256i x = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * k)));
        Accumulate4(acc0, acc1, x, weights + k, pickEven, pickOdd);
      }
      if (k + 1 < n) {
        // Two more neighbours in one 8-byte load.
        const __m128i x = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + 4 * k)));
        const __m128i x7 = _mm_slli_epi16(x, 7);
        const __m128i w0 = _mm_set1_epi32(static_cast<int32_t>(weights[k]));
        const __m128i w1 = _mm_set1_epi32(static_cast<int32_t>(weights[k + 1]));
        tail = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(x, x7), w0),
                             _mm_madd_epi16(_mm_unpackhi_epi16(x, x7), w1));
        k += 2;
      }
    } else {
      for (; k + 3 < n; k += 4) {
        const __m128i px = _mm_setr_epi32(Load32(source + p[k].pixel), Load32(source + p[k + 1].pixel),
                                          Load32(source + p[k + 2].pixel), Load32(source + p[k + 3].pixel));
        Accumulate4(acc0, acc1, _mm256_cvtepu8_epi16(px), weights + k, pickEven, pickOdd);
      }
    }
    const __m256i acc = _mm256_add_epi32(acc0, acc1);
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    sum = _mm_add_epi32(sum, tail);
    for (; k < n; ++k) sum = _mm_add_epi32(sum, PixelTimes(source + p[k].pixel, weights[k]));
    // Shift, then saturate to 16 and to unsigned 8 bits: the clamp to 0..255.
    __m128i r = _mm_srai_epi32(sum, 16);
    r = _mm_packs_epi32(r, r);
    r = _mm_packus_epi16(r, r);
    StorePixel(dest, static_cast<uint32_t>(_mm_cvtsi128_si32(r)), i + 1 < lists.count);
    dest += 3;
  }
}

namespace {

// The weighted sums of 16 bytes: s0..s3 | s8..s11 into a, s4..s7 | s12..s15 into b.
inline void Add16(__m256i& a, __m256i& b, const uint8_t* bytes, __m256i w) {
  const __m256i x = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
  const __m256i x7 = _mm256_slli_epi16(x, 7);
  a = _mm256_add_epi32(a, _mm256_madd_epi16(_mm256_unpacklo_epi16(x, x7), w));
  b = _mm256_add_epi32(b, _mm256_madd_epi16(_mm256_unpackhi_epi16(x, x7), w));
}

// Sums from Add16 as 16 signed 16-bit values in order (each sum >> 16 fits).
inline __m256i Shifted16(__m256i a, __m256i b) {
  return _mm256_packs_epi32(_mm256_srai_epi32(a, 16), _mm256_srai_epi32(b, 16));
}

// A row of 3-byte pixels into 4-byte pixels whose fourth byte keeps its value. `line`
// may be read 4 bytes past its pixels.
void StoreRow(const uint8_t* line, int32_t width, uint8_t* out) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i keep = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  int32_t x = 0;
  for (; x + 4 <= width; x += 4, line += 12, out += 16) {
    const __m128i bgr = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line)), spread);
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_or_si128(bgr, _mm_and_si128(_mm_loadu_si128(o), keep)));
  }
  for (; x < width; ++x, line += 3, out += 4) std::memcpy(out, line, 3);
}

}  // namespace

void ResampleColumnsAvx2(const uint8_t* intermediate, int32_t width, const RawContributors& lists,
                         int32_t firstRow, int32_t endRow, uint8_t* dest, ptrdiff_t destStride,
                         uint8_t* line) {
  // Each destination row is worked out 32 bytes at a time with its sums kept in
  // registers over all of its samples, into `line`, then spread into the target row.
  const int32_t rowBytes = width * 3;
  for (int32_t y = firstRow; y < endRow; ++y) {
    const int32_t first = lists.starts[y];
    const int32_t n = lists.starts[y + 1] - first;
    const TContributor* p = lists.items + first;
    const uint32_t* weights = lists.split + first;
    int32_t x = 0;
    for (; x + 32 <= rowBytes; x += 32) {
      __m256i a0 = _mm256_setzero_si256(), b0 = a0, a1 = a0, b1 = a0;
      for (int32_t k = 0; k < n; ++k) {
        const uint8_t* s = intermediate + p[k].pixel + x;
        const __m256i w = _mm256_set1_epi32(static_cast<int32_t>(weights[k]));
        Add16(a0, b0, s, w);
        Add16(a1, b1, s + 16, w);
      }
      // packus works within halves: bytes 0..7, 16..23 | 8..15, 24..31, put back in order.
      const __m256i bytes = _mm256_packus_epi16(Shifted16(a0, b0), Shifted16(a1, b1));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + x),
                          _mm256_permute4x64_epi64(bytes, 0xD8));
    }
    for (; x + 16 <= rowBytes; x += 16) {
      __m256i a = _mm256_setzero_si256(), b = a;
      for (int32_t k = 0; k < n; ++k) {
        Add16(a, b, intermediate + p[k].pixel + x, _mm256_set1_epi32(static_cast<int32_t>(weights[k])));
      }
      const __m256i s = Shifted16(a, b);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x),
                       _mm_packus_epi16(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1)));
    }
    for (; x < rowBytes; ++x) {
      uint32_t sum = 0;
      for (int32_t k = 0; k < n; ++k) {
        sum += static_cast<uint32_t>(p[k].weight) * intermediate[p[k].pixel + x];
      }
      line[x] = Clamp(sum);
    }
    StoreRow(line, width, dest + destStride * y);
  }
}

void AddSplitAvx2(uint32_t* acc, const uint8_t* bytes, int32_t len, int32_t weight, uint32_t split) {
  const __m256i w = _mm256_set1_epi32(static_cast<int32_t>(split));
  int32_t x = 0;
  for (; x + 16 <= len; x += 16) {
    // Add16 leaves s0..s3 | s8..s11 and s4..s7 | s12..s15.
    __m256i a = _mm256_setzero_si256(), b = a;
    Add16(a, b, bytes + x, w);
    __m256i* lo = reinterpret_cast<__m256i*>(acc + x);
    __m256i* hi = reinterpret_cast<__m256i*>(acc + x + 8);
    const __m256i first = _mm256_permute2x128_si256(a, b, 0x20);   // s0..s7
    const __m256i second = _mm256_permute2x128_si256(a, b, 0x31);  // s8..s15
    _mm256_storeu_si256(lo, _mm256_add_epi32(_mm256_loadu_si256(lo), first));
    _mm256_storeu_si256(hi, _mm256_add_epi32(_mm256_loadu_si256(hi), second));
  }
  const uint32_t wf = static_cast<uint32_t>(weight);
  for (; x < len; ++x) acc[x] += wf * bytes[x];
}

}  // namespace kelv

#endif
