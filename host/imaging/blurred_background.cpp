// Float arithmetic only in the box passes' means, rounded the same on every target.
#include "imaging/resample_float.hpp"

#include "imaging/blurred_background.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "imaging/resample_kernels.hpp"       // ResampleKernelsUseAvx2
#include "imaging/resample_kernels_avx2.hpp"  // KELV_RESAMPLE_AVX2

namespace kelv {

namespace {

// The small copy keeps 3 channels (blue, green, red) of 16 bits per pixel: the colour
// times 256. The extra bits keep the wide, slow gradients of the blur free of steps
// until the last rounding.
constexpr int kChannels = 3;

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

// One box pass of half width r down the columns of a picture of `rows` rows of `lanes`
// values each: every value of a row at once, so the loops run along memory. The
// picture's first and last rows repeat beyond it, so that a solid colour stays exactly
// itself. The sums are exact integers (below 2^24, so exact in single precision too);
// the mean is one single-precision multiply by the box's reciprocal, off by far less
// than a half, and rounded: a solid colour gives exactly itself.
void BoxPassDown(const uint16_t* source, uint16_t* dest, int32_t rows, size_t lanes, int32_t r,
                 std::vector<int32_t>& sum) {
  const float reciprocal = 1.0f / static_cast<float>(2 * r + 1);
  auto row = [&](int32_t y) { return source + static_cast<size_t>(std::clamp(y, 0, rows - 1)) * lanes; };
  sum.assign(lanes, 0);
  for (int32_t k = -r; k <= r; ++k) {
    const uint16_t* in = row(k);
    for (size_t i = 0; i < lanes; ++i) sum[i] += in[i];
  }
  for (int32_t y = 0; y < rows; ++y) {
    uint16_t* out = dest + static_cast<size_t>(y) * lanes;
    for (size_t i = 0; i < lanes; ++i)
      out[i] = static_cast<uint16_t>(static_cast<int32_t>(static_cast<float>(sum[i]) * reciprocal + 0.5f));
    const uint16_t* enter = row(y + r + 1);
    const uint16_t* leave = row(y - r);
    for (size_t i = 0; i < lanes; ++i) sum[i] += int32_t{enter[i]} - int32_t{leave[i]};
  }
}

// Pixels (3 channels) of a w x h picture to the h x w picture of its columns.
void Transpose(const uint16_t* source, uint16_t* dest, int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < kChannels; ++c)
        dest[(static_cast<size_t>(x) * h + y) * kChannels + c] = source[(static_cast<size_t>(y) * w + x) * kChannels + c];
}

// Three box passes each way: close to a Gaussian blur of standard deviation about r. The
// passes across run down the columns of the transposed picture.
void Blur(std::vector<uint16_t>& small, int32_t sw, int32_t sh, int32_t r) {
  std::vector<uint16_t> other(small.size());
  std::vector<int32_t> sum;
  const size_t across = static_cast<size_t>(sw) * kChannels, down = static_cast<size_t>(sh) * kChannels;
  BoxPassDown(small.data(), other.data(), sh, across, r, sum);
  BoxPassDown(other.data(), small.data(), sh, across, r, sum);
  BoxPassDown(small.data(), other.data(), sh, across, r, sum);
  Transpose(other.data(), small.data(), sw, sh);
  BoxPassDown(small.data(), other.data(), sw, down, r, sum);
  BoxPassDown(other.data(), small.data(), sw, down, r, sum);
  BoxPassDown(small.data(), other.data(), sw, down, r, sum);
  Transpose(other.data(), small.data(), sh, sw);
}

// Where each of `count` cell pixels along an axis falls in the small copy of `small`
// pixels, pixel centres on pixel centres: the two small pixels around it and the second
// one's weight in 256ths.
struct Taps {
  std::vector<int32_t> first;
  std::vector<int32_t> second;
  std::vector<uint16_t> weight;
  std::vector<int32_t> runEnd;  // per small pixel: the cell pixel after the last whose first it is
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
    t.weight[static_cast<size_t>(x)] = static_cast<uint16_t>((pos >> 8) & 0xFF);
  }
  t.runEnd.assign(static_cast<size_t>(small), 0);
  for (int32_t x = 0; x < count; ++x) t.runEnd[static_cast<size_t>(t.first[static_cast<size_t>(x)])] = x + 1;
  return t;
}

// Pixels from .. to - 1 of small row j enlarged to the cell's width, rounded to bytes
// (blue, green, red, 0): the last step, down, then stays within 16 bits and runs on many
// bytes at once.
void WidenRow(const std::vector<uint16_t>& small, int32_t sw, int32_t j, const Taps& across, int32_t from,
              int32_t to, uint8_t* out) {
  const uint16_t* row = small.data() + static_cast<size_t>(j) * sw * kChannels;
  // Runs of cell pixels between the same two small pixels: a + (b - a) * weight.
  for (int32_t x = from; x < to;) {
    const size_t i = static_cast<size_t>(across.first[static_cast<size_t>(x)]);
    const uint16_t* a = row + i * kChannels;
    const uint16_t* b = row + static_cast<size_t>(across.second[static_cast<size_t>(x)]) * kChannels;
    const int32_t base0 = int32_t{a[0]} * 256 + 32768, step0 = int32_t{b[0]} - int32_t{a[0]};
    const int32_t base1 = int32_t{a[1]} * 256 + 32768, step1 = int32_t{b[1]} - int32_t{a[1]};
    const int32_t base2 = int32_t{a[2]} * 256 + 32768, step2 = int32_t{b[2]} - int32_t{a[2]};
    const int32_t end = std::min(to, across.runEnd[i]);
    for (; x < end; ++x) {
      const int32_t wb = across.weight[static_cast<size_t>(x)];
      const uint32_t pixel = static_cast<uint32_t>((base0 + step0 * wb) >> 16) |
                             static_cast<uint32_t>((base1 + step1 * wb) >> 16) << 8 |
                             static_cast<uint32_t>((base2 + step2 * wb) >> 16) << 16;
      std::memcpy(out + static_cast<size_t>(x) * 4, &pixel, 4);  // blue, green, red, 0 (little-endian)
    }
  }
}

// A small row widened for the spans of the cell rows that use it: all of the row (rows
// above and below the picture) or only beside the picture (rows beside it).
class WidenedRow {
public:
  explicit WidenedRow(int32_t width) : bytes_(static_cast<size_t>(width) * 4) {}
  const uint8_t* Get(const std::vector<uint16_t>& small, int32_t sw, int32_t j, const Taps& across,
                     const PlacedArea& a, bool wholeRow) {
    if (j != row_ || (wholeRow && !whole_)) {
      const int32_t w = static_cast<int32_t>(across.first.size());
      if (wholeRow) {
        WidenRow(small, sw, j, across, 0, w, bytes_.data());
      } else {
        WidenRow(small, sw, j, across, 0, a.left, bytes_.data());
        WidenRow(small, sw, j, across, a.left + a.width, w, bytes_.data());
      }
      row_ = j;
      whole_ = wholeRow;
    }
    return bytes_.data();
  }
  void Swap(WidenedRow& other) {
    bytes_.swap(other.bytes_);
    std::swap(row_, other.row_);
    std::swap(whole_, other.whole_);
  }
  int32_t Row() const { return row_; }

private:
  std::vector<uint8_t> bytes_;
  int32_t row_ = -1;
  bool whole_ = false;
};

// Bytes from .. to - 1 of `out`: (base + delta * weight) >> 8 in 16 bits. The cell's
// bytes never overlap the arrays; saying so lets the compiler take many bytes at once
// without checking.
inline void BlendBytes(const uint16_t* __restrict base, const uint16_t* __restrict delta, uint16_t weight,
                       size_t from, size_t to, uint8_t* __restrict out) {
  for (size_t i = from; i < to; ++i)
    out[i] = static_cast<uint8_t>(static_cast<uint16_t>(base[i] + delta[i] * weight) >> 8);
}

#if KELV_RESAMPLE_AVX2
// The same loop built for AVX2 (twice the bytes a step), taken where the processor has
// it (as the resampler's passes are); the bytes are the same.
__attribute__((target("avx2"))) void BlendBytesAvx2(const uint16_t* __restrict base,
                                                    const uint16_t* __restrict delta, uint16_t weight,
                                                    size_t from, size_t to, uint8_t* __restrict out) {
  for (size_t i = from; i < to; ++i)
    out[i] = static_cast<uint8_t>(static_cast<uint16_t>(base[i] + delta[i] * weight) >> 8);
}
#endif

// The cell rows between two widened rows, byte by byte: (top * 256 + 128) and
// (bottom - top), so that each row between them costs one multiply and one add a byte:
// base + delta * weight = top * (256 - weight) + bottom * weight + 128 lies in 0..65408,
// so the sum taken modulo 2^16 is that value.
class RowPair {
public:
  explicit RowPair(size_t bytes) : base_(bytes), delta_(bytes) {}
  void Set(const uint8_t* top, const uint8_t* bottom, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      base_[i] = static_cast<uint16_t>(top[i] * 256 + 128);
      delta_[i] = static_cast<uint16_t>(bottom[i] - top[i]);
    }
  }
  // Bytes from .. to - 1 of a cell row `weight` 256ths of the way from top to bottom.
  void Blend(uint16_t weight, size_t from, size_t to, uint8_t* out) const {
#if KELV_RESAMPLE_AVX2
    if (ResampleKernelsUseAvx2()) {
      BlendBytesAvx2(base_.data(), delta_.data(), weight, from, to, out);
      return;
    }
#endif
    BlendBytes(base_.data(), delta_.data(), weight, from, to, out);
  }

private:

  std::vector<uint16_t> base_;
  std::vector<uint16_t> delta_;
};

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
  // In small pixels; at most 128, which keeps the box sums below 2^24 (cells up to
  // about 20000 pixels get their full radius).
  const int32_t side = std::max(w, h);
  const int32_t radius = std::clamp<int32_t>(
      (side + kBackgroundBlurDivisor * kBackgroundReduction / 2) / (kBackgroundBlurDivisor * kBackgroundReduction), 1,
      128);
  Blur(small, sw, sh, radius);
  for (size_t k = 0; k < small.size(); ++k) small[k] = static_cast<uint16_t>((small[k] * kBackgroundShade + 128) >> 8);

  const Taps across = InterpolationTaps(w, sw);
  const Taps down = InterpolationTaps(h, sh);
  WidenedRow upper(w), lower(w);
  const size_t stride = static_cast<size_t>(w) * 4;
  RowPair pair(stride);
  int32_t pairTop = -1, pairBottom = -1;
  bool pairWhole = false;
  const size_t beforePicture = static_cast<size_t>(a.left) * 4;
  const size_t afterPicture = static_cast<size_t>(a.left + a.width) * 4;
  for (int32_t y = 0; y < h; ++y) {
    const bool wholeRow = y < a.top || y >= a.top + a.height;
    if (!wholeRow && a.width == w) continue;  // the picture spans this row
    const int32_t j0 = down.first[static_cast<size_t>(y)], j1 = down.second[static_cast<size_t>(y)];
    if (j0 != pairTop || j1 != pairBottom || (wholeRow && !pairWhole)) {
      // The rows only move down: a widened row serves as long as it is needed.
      if (j0 != upper.Row() && j0 == lower.Row()) upper.Swap(lower);
      const uint8_t* top = upper.Get(small, sw, j0, across, a, wholeRow);
      const uint8_t* bottom = lower.Get(small, sw, j1, across, a, wholeRow);
      if (wholeRow) {
        pair.Set(top, bottom, 0, stride);
      } else {
        pair.Set(top, bottom, 0, beforePicture);
        pair.Set(top, bottom, afterPicture, stride);
      }
      pairTop = j0;
      pairBottom = j1;
      pairWhole = wholeRow;
    }
    uint8_t* out = cell.bits + stride * static_cast<size_t>(y);
    const uint16_t weight = down.weight[static_cast<size_t>(y)];
    if (wholeRow) {
      pair.Blend(weight, 0, stride, out);
    } else {
      pair.Blend(weight, 0, beforePicture, out);
      pair.Blend(weight, afterPicture, stride, out);
    }
  }
}

}  // namespace kelv
