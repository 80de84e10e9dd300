#include "imaging/resample_float.hpp"

#include "imaging/resample_contributors.hpp"

#include <cmath>

#include "common/random.hpp"
#include "imaging/resample_filters.hpp"

namespace kelv {

int32_t MirrorIndex(int32_t j, int32_t length) {
  // Each pair of reflections moves an index at least one step towards the source, so
  // this ends; with the usual supports one reflection at most is needed.
  for (;;) {
    if (j < 0) {
      j = -j;
    } else if (j >= length) {
      j = 2 * length - j - 1;
    } else {
      return j;
    }
  }
}

float EffectiveSupport(int32_t filter, float support) {
  // A support that is not a positive number (0, negative, NaN) would give empty or
  // inside-out windows; it means the filter's own.
  return support > 0.0f ? support : FilterSupport(filter);
}

TContributors BuildContributors(int32_t sourceLength, int32_t destLength, int32_t offset,
                                int32_t step, int32_t filter, float support) {
  TContributors result;
  if (sourceLength < 1 || destLength < 1) return result;
  const float s = EffectiveSupport(filter, support);
  const float k = static_cast<float>(destLength) / static_cast<float>(sourceLength);
  const bool enlarging = k >= 1.0f;
  const float width = enlarging ? s : s / k;

  // Room for Trunc(2w + 1) samples per list, the most a list can hold.
  const double perList = std::trunc(2.0 * static_cast<double>(width) + 1.0);
  result.first_.reserve(static_cast<size_t>(destLength) + 1);
  if (perList * destLength < 64.0 * 1024 * 1024) {
    result.items_.reserve(static_cast<size_t>(perList * destLength));
  }
  result.first_.push_back(0);

  std::vector<int32_t> weights;
  std::vector<int32_t> pixels;
  for (int32_t i = 0; i < destLength; ++i) {
    const float centre = static_cast<float>(i) / k;
    const int64_t left = static_cast<int64_t>(std::floor(centre - width));
    const int64_t right = static_cast<int64_t>(std::ceil(centre + width));
    weights.clear();
    pixels.clear();
    int64_t total = 0;
    for (int64_t j = left; j <= right; ++j) {
      const float distance = centre - static_cast<float>(j);
      float scaled;
      if (enlarging) {
        scaled = FilterValue(filter, distance) * 256.0f;
      } else {
        const float value = FilterValue(filter, distance * k);
        scaled = value * k * 256.0f;
      }
      const int32_t weight = static_cast<int32_t>(Round(256.0 * static_cast<double>(scaled)));
      if (weight == 0) continue;
      const int32_t source = MirrorIndex(static_cast<int32_t>(j), sourceLength);
      weights.push_back(weight);
      pixels.push_back(static_cast<int32_t>((static_cast<int64_t>(source) + offset) * step));
      total += weight;
    }
    if (total != 0 && total != 65536) {
      // Lists whose weights do not add up to 1.0 are scaled so that they do (within
      // rounding); the sum of a list is a 32-bit integer.
      const double factor = 65536.0 / static_cast<double>(static_cast<int32_t>(total));
      for (int32_t& w : weights) w = static_cast<int32_t>(Round(factor * w));
    }
    bool run = true;
    for (size_t n = 0; n < weights.size(); ++n) {
      result.items_.push_back({weights[n], pixels[n]});
      run = run && static_cast<int64_t>(pixels[n]) - pixels[0] == static_cast<int64_t>(n) * step;
    }
    result.runs_.push_back(run ? 1 : 0);
    const int32_t count = static_cast<int32_t>(weights.size());
    if (count > result.maxCount_) result.maxCount_ = count;
    result.first_.push_back(static_cast<int32_t>(result.items_.size()));
  }

  result.readable_ = (static_cast<int64_t>(offset) + sourceLength) * step;
  bool narrow = true;
  for (const TContributor& c : result.items_) narrow = narrow && c.weight >= -32768 && c.weight <= 32767;
  if (narrow) {
    result.narrow_.reserve(result.items_.size());
    for (const TContributor& c : result.items_) result.narrow_.push_back(static_cast<int16_t>(c.weight));
    result.narrow_.insert(result.narrow_.end(), 8, int16_t{0});
  }

  result.split_ = true;
  result.splitWeights_.reserve(result.items_.size());
  for (const TContributor& c : result.items_) {
    const int32_t lo = ((c.weight + 64) & 127) - 64;
    const int64_t hi = (static_cast<int64_t>(c.weight) - lo) / 128;
    if (hi < -32768 || hi > 32767) {
      result.split_ = false;
      result.splitWeights_.clear();
      break;
    }
    result.splitWeights_.push_back(static_cast<uint16_t>(lo) |
                                   (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
  }
  return result;
}

}  // namespace kelv
