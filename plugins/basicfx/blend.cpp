// Per-row pixel arithmetic of the fades, four pixels at a time with saturating packed
// 8-bit arithmetic where the processor has SSE2, plain integers elsewhere. Both paths
// give the same bytes.
#include <cstring>

#include "basicfx/effects.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelv::basicfx {
namespace {

inline uint32_t BlendPixel(uint32_t n, uint32_t o, uint32_t k) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t a = (((n >> shift) & 0xFF) * k) >> 8;
    const uint32_t b = (((o >> shift) & 0xFF) * (256 - k)) >> 8;
    const uint32_t sum = a + b > 255 ? 255 : a + b;
    out |= sum << shift;
  }
  return out;
}

inline uint32_t ChannelPixel(uint32_t n, uint32_t o, int32_t k, uint32_t channelMask,
                             uint32_t doneMask) {
  uint32_t blended = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int32_t nc = static_cast<int32_t>((n >> shift) & 0xFF);
    const int32_t oc = static_cast<int32_t>((o >> shift) & 0xFF);
    blended |= static_cast<uint32_t>(oc + (((nc - oc) * k) >> 8)) << shift;
  }
  return (blended & channelMask) | (n & doneMask) | (o & ~(channelMask | doneMask));
}

}  // namespace

void BlendRow(uint32_t* s, const uint32_t* n, const uint32_t* o, int32_t count, int32_t k) {
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i kn = _mm_set1_epi16(static_cast<short>(k));
  const __m128i ko = _mm_set1_epi16(static_cast<short>(256 - k));
  for (; i + 4 <= count; i += 4) {
    const __m128i nv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(n + i));
    const __m128i ov = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + i));
    const __m128i nlo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(nv, zero), kn), 8);
    const __m128i nhi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(nv, zero), kn), 8);
    const __m128i olo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(ov, zero), ko), 8);
    const __m128i ohi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(ov, zero), ko), 8);
    const __m128i sum = _mm_adds_epu8(_mm_packus_epi16(nlo, nhi), _mm_packus_epi16(olo, ohi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(s + i), sum);
  }
#endif
  for (; i < count; ++i) s[i] = BlendPixel(n[i], o[i], static_cast<uint32_t>(k));
}

void ChannelRow(uint32_t* s, const uint32_t* n, const uint32_t* o, int32_t count, int32_t k,
                uint32_t channelMask, uint32_t doneMask) {
  int32_t i = 0;
#if defined(__SSE2__)
  // (n - o) * k >> 8 as the high half of ((n - o) << 7) * (k << 1): exact for
  // |n - o| <= 255 and k <= 256, rounding down like the arithmetic shift.
  const __m128i zero = _mm_setzero_si128();
  const __m128i k2 = _mm_set1_epi16(static_cast<short>(k * 2));
  const __m128i cm = _mm_set1_epi32(static_cast<int>(channelMask));
  const __m128i dm = _mm_set1_epi32(static_cast<int>(doneMask));
  const __m128i om = _mm_set1_epi32(static_cast<int>(~(channelMask | doneMask)));
  for (; i + 4 <= count; i += 4) {
    const __m128i nv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(n + i));
    const __m128i ov = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + i));
    const __m128i olo = _mm_unpacklo_epi8(ov, zero);
    const __m128i ohi = _mm_unpackhi_epi8(ov, zero);
    const __m128i dlo = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(nv, zero), olo), 7);
    const __m128i dhi = _mm_slli_epi16(_mm_sub_epi16(_mm_unpackhi_epi8(nv, zero), ohi), 7);
    const __m128i blo = _mm_add_epi16(olo, _mm_mulhi_epi16(dlo, k2));
    const __m128i bhi = _mm_add_epi16(ohi, _mm_mulhi_epi16(dhi, k2));
    const __m128i blended = _mm_packus_epi16(blo, bhi);
    const __m128i out = _mm_or_si128(
        _mm_or_si128(_mm_and_si128(blended, cm), _mm_and_si128(nv, dm)), _mm_and_si128(ov, om));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(s + i), out);
  }
#endif
  for (; i < count; ++i) s[i] = ChannelPixel(n[i], o[i], k, channelMask, doneMask);
}

bool BlendLevels(fx::EffectRun& run, const uint32_t* to, const uint32_t* from) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  bool skipNext = false;
  bool alternate = false;
  for (int32_t k = 1; k <= 255; ++k) {
    if (skipNext) {
      skipNext = false;
    } else {
      // Once late, each level draws only every other row, even and odd by turns.
      const int32_t first = alternate ? (k & 1) : 0;
      const int32_t step = alternate ? 2 : 1;
      for (int32_t y = first; y < h; y += step) {
        const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w);
        BlendRow(run.ScreenRow(y), to + at, from + at, w, k);
      }
    }
    if (run.Step(k / 256.0)) return false;
    if (!run.OnTime()) {
      skipNext = true;
      alternate = true;
    }
  }
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(run.ScreenRow(y), to + static_cast<size_t>(y) * static_cast<size_t>(w),
                static_cast<size_t>(w) * 4);
  return true;
}

}  // namespace kelv::basicfx
