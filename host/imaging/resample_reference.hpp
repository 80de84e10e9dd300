// The resampler written the plain way, as the yardstick for the optimised passes: the
// weights of every destination pixel are worked out again for each pixel from the
// filter, every source row goes through the horizontal pass, sums are formed with 64-bit
// intermediates and reduced to 32 bits. Slow on purpose; used by the tests and the
// benchmark, which require the fast passes to give exactly its bytes.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/random.hpp"
#include "imaging/resample_contributors.hpp"
#include "imaging/resample_filters.hpp"
#include "imaging/resampler.hpp"

namespace kelv::reference {

struct Sample {
  int32_t weight;
  int32_t index;  // mirrored source index, before the offset
};

// The samples of destination i on an axis of source length S and destination length D.
inline std::vector<Sample> Samples(int32_t S, int32_t D, int32_t i, int32_t filter, float support) {
  const float s = EffectiveSupport(filter, support);
  const float k = static_cast<float>(D) / static_cast<float>(S);
  const float c = static_cast<float>(i) / k;
  std::vector<Sample> out;
  int64_t total = 0;
  if (k >= 1.0f) {
    const int64_t left = static_cast<int64_t>(std::floor(c - s));
    const int64_t right = static_cast<int64_t>(std::ceil(c + s));
    for (int64_t j = left; j <= right; ++j) {
      const float f = FilterValue(filter, c - static_cast<float>(j));
      const int32_t w = static_cast<int32_t>(Round(256.0 * static_cast<double>(f * 256.0f)));
      if (w == 0) continue;
      out.push_back({w, MirrorIndex(static_cast<int32_t>(j), S)});
      total += w;
    }
  } else {
    const float width = s / k;
    const int64_t left = static_cast<int64_t>(std::floor(c - width));
    const int64_t right = static_cast<int64_t>(std::ceil(c + width));
    for (int64_t j = left; j <= right; ++j) {
      const float f = FilterValue(filter, (c - static_cast<float>(j)) * k);
      const float fk = f * k;
      const int32_t w = static_cast<int32_t>(Round(256.0 * static_cast<double>(fk * 256.0f)));
      if (w == 0) continue;
      out.push_back({w, MirrorIndex(static_cast<int32_t>(j), S)});
      total += w;
    }
  }
  if (total != 0 && total != 65536) {
    for (Sample& x : out) {
      x.weight = static_cast<int32_t>(Round(65536.0 / static_cast<double>(total) * x.weight));
    }
  }
  return out;
}

inline uint8_t Reduce(int64_t sum) {
  const int32_t s32 = static_cast<int32_t>(static_cast<uint32_t>(sum));  // 32-bit sums
  const int32_t q = s32 / 65536;
  return static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
}

// Resample with the same contract as ResampleBits for rectangles inside both pictures.
inline void Resample(PixelView target, int32_t tx, int32_t ty, int32_t tw, int32_t th,
                     PixelView source, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                     int32_t filter, float support = 0.0f) {
  std::vector<uint8_t> inter(static_cast<size_t>(tw) * 3 * source.height);
  for (int32_t y = 0; y < source.height; ++y) {
    for (int32_t x = 0; x < tw; ++x) {
      const std::vector<Sample> samples = Samples(sw, tw, x, filter, support);
      for (int ch = 0; ch < 3; ++ch) {
        int64_t sum = 0;
        for (const Sample& smp : samples) {
          sum += static_cast<int64_t>(smp.weight) *
                 source.bits[(static_cast<size_t>(y) * source.width + smp.index + sx) * 4 + ch];
        }
        inter[(static_cast<size_t>(y) * tw + x) * 3 + ch] = Reduce(sum);
      }
    }
  }
  for (int32_t x = 0; x < tw; ++x) {
    for (int32_t y = 0; y < th; ++y) {
      const std::vector<Sample> samples = Samples(sh, th, y, filter, support);
      for (int ch = 0; ch < 3; ++ch) {
        int64_t sum = 0;
        for (const Sample& smp : samples) {
          sum += static_cast<int64_t>(smp.weight) *
                 inter[(static_cast<size_t>(smp.index + sy) * tw + x) * 3 + ch];
        }
        target.bits[(static_cast<size_t>(ty + y) * target.width + tx + x) * 4 + ch] = Reduce(sum);
      }
    }
  }
}

}  // namespace kelv::reference
