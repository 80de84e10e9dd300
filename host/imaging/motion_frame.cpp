#include "imaging/motion_frame.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelv {

namespace {

// Weights are sevenths of a bit: 0 ... 128 of the second pixel (1/128 of a pixel is far
// below what a moving picture shows). Each byte becomes a + ((b - a) * w >> 7), the shift
// rounding toward minus infinity, in the scalar and the SSE2 form alike, so both give the
// same bytes.
constexpr int32_t kWeightBits = 7;
constexpr int32_t kWeightOne = 1 << kWeightBits;

inline uint32_t Mix(uint32_t a, uint32_t b, int32_t w) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int32_t x = static_cast<int32_t>(a >> shift & 0xFF), y = static_cast<int32_t>(b >> shift & 0xFF);
    out |= static_cast<uint32_t>(x + (((y - x) * w) >> kWeightBits)) << shift;
  }
  return out;
}

#if defined(__SSE2__)
// Four pixels of a and b mixed by the weights in w (16-bit lanes: each pixel's weight in
// its four lanes; lo for the first two pixels, hi for the last two).
inline __m128i Mix4(__m128i a, __m128i b, __m128i wLo, __m128i wHi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i aLo = _mm_unpacklo_epi8(a, zero), aHi = _mm_unpackhi_epi8(a, zero);
  const __m128i dLo = _mm_sub_epi16(_mm_unpacklo_epi8(b, zero), aLo);
  const __m128i dHi = _mm_sub_epi16(_mm_unpackhi_epi8(b, zero), aHi);
  const __m128i lo = _mm_add_epi16(aLo, _mm_srai_epi16(_mm_mullo_epi16(dLo, wLo), kWeightBits));
  const __m128i hi = _mm_add_epi16(aHi, _mm_srai_epi16(_mm_mullo_epi16(dHi, wHi), kWeightBits));
  return _mm_packus_epi16(lo, hi);
}
#endif

// The first source index and the second one's weight for each of `count` target
// positions over the window [start, start + size) of a source of `limit` pixels.
template <class Index>
void Positions(double start, double size, int32_t count, int32_t limit, Index index) {
  const double step = size / count;
  for (int32_t i = 0; i < count; ++i) {
    double p = start + (i + 0.5) * step - 0.5;
    p = std::clamp(p, 0.0, static_cast<double>(limit - 1));
    int32_t first = static_cast<int32_t>(p);
    int32_t weight = static_cast<int32_t>(std::lround((p - first) * kWeightOne));
    if (weight == kWeightOne) {
      ++first;
      weight = 0;
    }
    if (first >= limit - 1) {
      first = limit - 1;
      weight = 0;
    }
    index(i, first, static_cast<uint16_t>(weight));
  }
}

}  // namespace

bool MotionSourcePlacement(const PicturePlacement& placed, int32_t targetW, int32_t targetH, double zoom,
                           PicturePlacement& larger) {
  const PicturePlacement& p = placed;
  if (!p.scaled || !p.resample || p.destW <= 0 || p.destH <= 0 || p.windowW <= 0 || p.windowH <= 0 ||
      p.destX < 0 || p.destY < 0 || int64_t{p.destX} + p.destW > targetW || int64_t{p.destY} + p.destH > targetH)
    return false;
  // A shrunk picture has detail up to its window's size; an enlarged one has none beyond
  // its own, but the still's filter enlarges it better than a frame's would.
  const double own = std::min(static_cast<double>(p.windowW) / p.destW, static_cast<double>(p.windowH) / p.destH);
  const double z = own > 1.0 ? std::min(zoom, own) : zoom;
  const int64_t w = std::llround(p.destW * z), h = std::llround(p.destH * z);
  if (w <= p.destW && h <= p.destH) return false;
  // (the row-by-row resize keeps a column buffer of destW x 3 x windowH bytes)
  if (w * 3 * p.windowH > INT32_MAX || w * h * 4 > INT32_MAX) return false;
  larger = p;
  larger.exactFit = false;
  larger.overflow = false;
  larger.destX = larger.destY = 0;
  larger.destW = static_cast<int32_t>(w);
  larger.destH = static_cast<int32_t>(h);
  larger.scaleX = static_cast<float>(p.windowW) / static_cast<float>(w);
  larger.scaleY = static_cast<float>(p.windowH) / static_cast<float>(h);
  return true;
}

void MotionFrameRenderer::HorizontalRow(const uint32_t* sourceRow, uint32_t* out, int32_t width) const {
  const int32_t* columns = columns_.data();
  const uint16_t* weights = xWeights_.data();
  int32_t i = 0;
#if defined(__SSE2__)
  // The last column has weight 0 and may be the source row's last pixel: the pairs are
  // read only up to the table's last column but one, the rest below.
  const int32_t last = columns_.empty() ? 0 : columns[width - 1];
  const int32_t lanes = wideWeights_.empty() ? 0 : width;
  for (; i + 4 <= lanes && columns[i + 3] < last; i += 4) {
    const __m128i p01 = _mm_unpacklo_epi64(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sourceRow + columns[i])),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sourceRow + columns[i + 1])));
    const __m128i p23 = _mm_unpacklo_epi64(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sourceRow + columns[i + 2])),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sourceRow + columns[i + 3])));
    const __m128i first = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(p01), _mm_castsi128_ps(p23), _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i second = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(p01), _mm_castsi128_ps(p23), _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128i* w = reinterpret_cast<const __m128i*>(wideWeights_.data() + static_cast<size_t>(i) * 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     Mix4(first, second, _mm_loadu_si128(w), _mm_loadu_si128(w + 1)));
  }
#endif
  for (; i < width; ++i) {
    const uint32_t* p = sourceRow + columns[i];
    // A column of weight 0 never reads its second pixel (it may lie past the row).
    out[i] = weights[i] ? Mix(p[0], p[1], weights[i]) : p[0];
  }
}

void MotionFrameRenderer::Draw(PixelView screen, const PlacedArea& rect, const uint32_t* source, int32_t sourceW,
                               int32_t sourceH, const SourceWindow& window) {
  if (!screen.bits || !source || sourceW <= 0 || sourceH <= 0 || rect.width <= 0 || rect.height <= 0) return;
  if (!(window.w > 0) || !(window.h > 0)) return;
  // The rectangle clipped to the screen; the positions still run over the whole of it.
  const int32_t left = std::max(rect.left, 0), top = std::max(rect.top, 0);
  const int32_t right = std::min(rect.left + rect.width, screen.width);
  const int32_t bottom = std::min(rect.top + rect.height, screen.height);
  if (left >= right || top >= bottom) return;
  const int32_t width = right - left;
  uint32_t* screenPixels = reinterpret_cast<uint32_t*>(screen.bits);

  if (window.x == 0 && window.y == 0 && window.w == sourceW && window.h == sourceH && sourceW == rect.width &&
      sourceH == rect.height) {
    for (int32_t y = top; y < bottom; ++y)
      std::memcpy(screenPixels + static_cast<size_t>(y) * screen.width + left,
                  source + static_cast<size_t>(y - rect.top) * sourceW + (left - rect.left),
                  static_cast<size_t>(width) * 4);
    return;
  }

  columns_.resize(static_cast<size_t>(rect.width));
  xWeights_.resize(static_cast<size_t>(rect.width));
  Positions(window.x, window.w, rect.width, sourceW, [&](int32_t i, int32_t first, uint16_t weight) {
    columns_[static_cast<size_t>(i)] = first;
    xWeights_[static_cast<size_t>(i)] = weight;
  });
  // Only the visible columns are computed: the tables start at the clipped left edge.
  const int32_t skip = left - rect.left;
  if (skip > 0) {
    columns_.erase(columns_.begin(), columns_.begin() + skip);
    xWeights_.erase(xWeights_.begin(), xWeights_.begin() + skip);
  }
#if defined(__SSE2__)
  wideWeights_.resize(static_cast<size_t>(width) * 4);
  for (size_t i = 0; i < static_cast<size_t>(width); ++i)
    for (size_t k = 0; k < 4; ++k) wideWeights_[i * 4 + k] = static_cast<int16_t>(xWeights_[i]);
#endif
  rowA_.resize(static_cast<size_t>(width));
  rowB_.resize(static_cast<size_t>(width));
  // rowA_ holds source row `haveA` mixed across, rowB_ the row `haveB`.
  int32_t haveA = -1, haveB = -1;
  const size_t sw = static_cast<size_t>(sourceW);
  Positions(window.y, window.h, rect.height, sourceH, [&](int32_t j, int32_t first, uint16_t weight) {
    const int32_t y = rect.top + j;
    if (y < top || y >= bottom) return;
    const int32_t second = weight ? first + 1 : first;
    // Going down, the next target row mostly shares a source row with this one.
    if (haveA != first) {
      if (haveB == first) {
        std::swap(rowA_, rowB_);
        std::swap(haveA, haveB);
      } else {
        HorizontalRow(source + first * sw, rowA_.data(), width);
        haveA = first;
      }
    }
    uint32_t* out = screenPixels + static_cast<size_t>(y) * screen.width + left;
    if (!weight) {
      std::memcpy(out, rowA_.data(), static_cast<size_t>(width) * 4);
      return;
    }
    if (haveB != second) {
      HorizontalRow(source + second * sw, rowB_.data(), width);
      haveB = second;
    }
    const uint32_t* a = rowA_.data();
    const uint32_t* b = rowB_.data();
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
    for (; i + 4 <= width; i += 4)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                       Mix4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)), w, w));
#endif
    for (; i < width; ++i) out[i] = Mix(a[i], b[i], weight);
  });
}

}  // namespace kelv
