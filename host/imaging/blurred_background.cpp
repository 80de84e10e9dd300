#include "imaging/blurred_background.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kelv {

namespace {

// The small copy keeps 4 channels (blue, green, red, unused) of 16 bits per pixel: the
// colour times 256. The extra bits keep the wide, slow gradients of the blur free of
// steps until the last rounding.
constexpr int kChannels = 4;

// Integer arithmetic only, so that every build gives the same bytes.

// The positions in the placed picture, along one axis, of the two samples each small
// pixel takes (at a quarter and three quarters of its span): `first` and `size` are the
// covering window of the picture in 16.16 fixed point, [low, high] the picture's pixels.
std::vector<int32_t> SamplePositions(int64_t first, int64_t size, int32_t count, int32_t low,
                                     int32_t high) {
  std::vector<int32_t> at(static_cast<size_t>(count) * 2);
  for (int32_t i = 0; i < count * 2; ++i) {
    const int64_t pos = first + (int64_t{2 * i + 1} * size) / (int64_t{4} * count);
    at[static_cast<size_t>(i)] = static_cast<int32_t>(std::clamp<int64_t>(pos >> 16, low, high));
  }
  return at;
}

// The small copy: the part of the placed picture that, enlarged to cover the cell
// (cropped to the cell's aspect, centred), lands on each small pixel, as the mean of
// 2 x 2 samples.
std::vector<uint16_t> SampleSmallCopy(PixelView cell, const PlacedArea& a, int32_t sw, int32_t sh) {
  const int64_t w = cell.width, h = cell.height;
  int64_t x16, y16, w16, h16;
  if (w * a.height >= h * a.width) {
    // The picture is narrower than the cell: its whole width, a centred band of rows.
    w16 = int64_t{a.width} << 16;
    h16 = (h * a.width << 16) / w;
    x16 = int64_t{a.left} << 16;
    y16 = (int64_t{a.top} << 16) + ((int64_t{a.height} << 16) - h16) / 2;
  } else {
    h16 = int64_t{a.height} << 16;
    w16 = (w * a.height << 16) / h;
    y16 = int64_t{a.top} << 16;
    x16 = (int64_t{a.left} << 16) + ((int64_t{a.width} << 16) - w16) / 2;
  }
  const std::vector<int32_t> xs = SamplePositions(x16, w16, sw, a.left, a.left + a.width - 1);
  const std::vector<int32_t> ys = SamplePositions(y16, h16, sh, a.top, a.top + a.height - 1);
  const ptrdiff_t stride = ptrdiff_t{cell.width} * 4;

  std::vector<uint16_t> small(static_cast<size_t>(sw) * sh * kChannels, 0);
  for (int32_t j = 0; j < sh; ++j) {
    const uint8_t* row0 = cell.bits + stride * ys[static_cast<size_t>(2 * j)];
    const uint8_t* row1 = cell.bits + stride * ys[static_cast<size_t>(2 * j + 1)];
    uint16_t* out = small.data() + static_cast<size_t>(j) * sw * kChannels;
    for (int32_t i = 0; i < sw; ++i, out += kChannels) {
      const ptrdiff_t c0 = ptrdiff_t{xs[static_cast<size_t>(2 * i)]} * 4;
      const ptrdiff_t c1 = ptrdiff_t{xs[static_cast<size_t>(2 * i + 1)]} * 4;
      for (int c = 0; c < 3; ++c) {
        const uint32_t sum = uint32_t{row0[c0 + c]} + row0[c1 + c] + row1[c0 + c] + row1[c1 + c];
        out[c] = static_cast<uint16_t>(sum << 6);  // the mean of four, times 256
      }
    }
  }
  return small;
}

// One box pass of half width r along a line of n pixels `step` values apart; the line's
// ends repeat beyond it, so that a solid colour stays exactly itself.
void BoxPass(uint16_t* line, int32_t n, ptrdiff_t step, int32_t r, std::vector<uint16_t>& copy) {
  copy.resize(static_cast<size_t>(n) * kChannels);
  for (int32_t k = 0; k < n; ++k)
    for (int c = 0; c < 3; ++c) copy[static_cast<size_t>(k) * kChannels + c] = line[k * step + c];
  const uint32_t width = static_cast<uint32_t>(2 * r + 1);
  for (int c = 0; c < 3; ++c) {
    auto at = [&](int32_t k) { return uint32_t{copy[static_cast<size_t>(std::clamp(k, 0, n - 1)) * kChannels + c]}; };
    uint32_t sum = 0;
    for (int32_t k = -r; k <= r; ++k) sum += at(k);
    for (int32_t x = 0; x < n; ++x) {
      line[x * step + c] = static_cast<uint16_t>((sum + width / 2) / width);
      sum += at(x + r + 1);
      sum -= at(x - r);
    }
  }
}

// Three box passes each way: close to a Gaussian blur of standard deviation about r.
void Blur(std::vector<uint16_t>& small, int32_t sw, int32_t sh, int32_t r) {
  std::vector<uint16_t> copy;
  for (int pass = 0; pass < 3; ++pass) {
    for (int32_t j = 0; j < sh; ++j) BoxPass(small.data() + static_cast<size_t>(j) * sw * kChannels, sw, kChannels, r, copy);
    for (int32_t i = 0; i < sw; ++i) BoxPass(small.data() + static_cast<size_t>(i) * kChannels, sh, ptrdiff_t{sw} * kChannels, r, copy);
  }
}

// Where each of `count` cell pixels along an axis falls in the small copy of `small`
// pixels, pixel centres on pixel centres: the two small pixels around it and the second
// one's weight in 256ths.
struct Taps {
  std::vector<int32_t> first;
  std::vector<int32_t> second;
  std::vector<uint32_t> weight;
};

Taps InterpolationTaps(int32_t count, int32_t small) {
  Taps t;
  t.first.resize(static_cast<size_t>(count));
  t.second.resize(static_cast<size_t>(count));
  t.weight.resize(static_cast<size_t>(count));
  const int64_t last = int64_t{small - 1} << 16;
  for (int32_t x = 0; x < count; ++x) {
    // (x + 1/2) * small / count - 1/2, in 16.16.
    const int64_t pos = std::clamp<int64_t>((int64_t{2 * x + 1} * small << 15) / count - 32768, 0, last);
    const int32_t i = static_cast<int32_t>(pos >> 16);
    t.first[static_cast<size_t>(x)] = i;
    t.second[static_cast<size_t>(x)] = std::min(i + 1, small - 1);
    t.weight[static_cast<size_t>(x)] = static_cast<uint32_t>((pos >> 8) & 0xFF);
  }
  return t;
}

// Small row j enlarged across the whole cell width (values times 256).
void WidenRow(const std::vector<uint16_t>& small, int32_t sw, int32_t j, const Taps& across,
              std::vector<uint16_t>& out) {
  const uint16_t* row = small.data() + static_cast<size_t>(j) * sw * kChannels;
  const size_t n = across.first.size();
  for (size_t x = 0; x < n; ++x) {
    const uint16_t* a = row + static_cast<size_t>(across.first[x]) * kChannels;
    const uint16_t* b = row + static_cast<size_t>(across.second[x]) * kChannels;
    const uint32_t wb = across.weight[x], wa = 256 - wb;
    for (int c = 0; c < 3; ++c) out[x * kChannels + c] = static_cast<uint16_t>((a[c] * wa + b[c] * wb) >> 8);
  }
}

// Cell pixels x0 .. x1 - 1 of one row between the widened rows a and b.
void BlendSpan(const uint16_t* a, const uint16_t* b, uint32_t wb, int32_t x0, int32_t x1, uint32_t* out) {
  const uint32_t wa = 256 - wb;
  for (int32_t x = x0; x < x1; ++x) {
    const uint16_t* p = a + static_cast<size_t>(x) * kChannels;
    const uint16_t* q = b + static_cast<size_t>(x) * kChannels;
    const uint32_t blue = (p[0] * wa + q[0] * wb + 32768) >> 16;
    const uint32_t green = (p[1] * wa + q[1] * wb + 32768) >> 16;
    const uint32_t red = (p[2] * wa + q[2] * wb + 32768) >> 16;
    out[x] = blue | green << 8 | red << 16;
  }
}

}  // namespace

void DrawBlurredBackground(PixelView cell, const PlacedArea& picture) {
  const int32_t w = cell.width, h = cell.height;
  if (!cell.bits || w <= 0 || h <= 0) return;
  // The area as it lies inside the cell.
  PlacedArea a = picture;
  const int32_t right = static_cast<int32_t>(std::min<int64_t>(int64_t{a.left} + a.width, w));
  const int32_t bottom = static_cast<int32_t>(std::min<int64_t>(int64_t{a.top} + a.height, h));
  a.left = std::max(a.left, 0);
  a.top = std::max(a.top, 0);
  a.width = right - a.left;
  a.height = bottom - a.top;
  if (a.width <= 0 || a.height <= 0) return;
  if (a.width == w && a.height == h) return;  // no bars

  const int32_t sw = (w + kBackgroundReduction - 1) / kBackgroundReduction;
  const int32_t sh = (h + kBackgroundReduction - 1) / kBackgroundReduction;
  std::vector<uint16_t> small = SampleSmallCopy(cell, a, sw, sh);
  const int32_t side = std::max(w, h);
  const int32_t radius = std::max<int32_t>(
      1, (side + kBackgroundBlurDivisor * kBackgroundReduction / 2) / (kBackgroundBlurDivisor * kBackgroundReduction));
  Blur(small, sw, sh, radius);
  for (size_t k = 0; k < small.size(); ++k) small[k] = static_cast<uint16_t>((small[k] * kBackgroundShade + 128) >> 8);

  const Taps across = InterpolationTaps(w, sw);
  const Taps down = InterpolationTaps(h, sh);
  std::vector<uint16_t> upper(static_cast<size_t>(w) * kChannels), lower(upper.size());
  int32_t upperRow = -1, lowerRow = -1;
  const ptrdiff_t stride = ptrdiff_t{w} * 4;
  for (int32_t y = 0; y < h; ++y) {
    const int32_t j0 = down.first[static_cast<size_t>(y)], j1 = down.second[static_cast<size_t>(y)];
    // The rows only move down: a widened row is made once for as long as it is needed.
    if (j0 != upperRow) {
      if (j0 == lowerRow) std::swap(upper, lower), lowerRow = -1;
      else WidenRow(small, sw, j0, across, upper);
      upperRow = j0;
    }
    if (j1 != lowerRow) {
      WidenRow(small, sw, j1, across, lower);
      lowerRow = j1;
    }
    uint32_t* out = reinterpret_cast<uint32_t*>(cell.bits + stride * y);
    const uint32_t wb = down.weight[static_cast<size_t>(y)];
    if (y < a.top || y >= a.top + a.height) {
      BlendSpan(upper.data(), lower.data(), wb, 0, w, out);
    } else {
      BlendSpan(upper.data(), lower.data(), wb, 0, a.left, out);
      BlendSpan(upper.data(), lower.data(), wb, a.left + a.width, w, out);
    }
  }
}

}  // namespace kelv
