#include "imaging/resampler.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/bitmap.hpp"
#include "imaging/resample_contributors.hpp"
#include "imaging/resample_row_stream.hpp"

namespace kelv {

namespace {

// Both passes into a target rectangle that lies inside the target picture.
void ResampleInside(PixelView target, int32_t tx, int32_t ty, int32_t tw, int32_t th,
                    PixelView source, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                    int32_t filter, float support) {
  const ptrdiff_t sourceStride = static_cast<ptrdiff_t>(source.width) * 4;
  const ptrdiff_t targetStride = static_cast<ptrdiff_t>(target.width) * 4;

  // Both passes row by row: each source row goes through the horizontal pass into a
  // ring of intermediate rows, and each destination row follows as soon as its rows
  // are there. Only the rectangle's rows are read: the vertical lists never reach
  // outside them.
  const TContributors across = BuildContributors(sw, tw, sx, 4, filter, support);
  RowStream rows(across, BuildContributors(sh, th, 0, tw * 3, filter, support), tw, sh, false,
                 target.bits + targetStride * ty + static_cast<ptrdiff_t>(tx) * 4, targetStride);
  for (int32_t y = 0; y < sh; ++y) rows.Add(source.bits + sourceStride * (sy + y), y);
}

}  // namespace

void ResampleBits(PixelView target, int32_t tx, int32_t ty, int32_t tw, int32_t th,
                  PixelView source, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                  int32_t filter, float support) {
  if (target.bits == nullptr || source.bits == nullptr) return;
  if (tw <= 0 || th <= 0 || sw <= 0 || sh <= 0) return;
  if (target.width <= 0 || target.height <= 0) return;
  if (sx < 0 || sy < 0 || static_cast<int64_t>(sx) + sw > source.width ||
      static_cast<int64_t>(sy) + sh > source.height) {
    return;
  }
  // Byte offsets of samples are 32-bit: an intermediate buffer beyond that is refused.
  if (static_cast<int64_t>(tw) * 3 * sh > std::numeric_limits<int32_t>::max() ||
      static_cast<int64_t>(source.width) * 4 > std::numeric_limits<int32_t>::max()) {
    return;
  }

  const bool inside = tx >= 0 && ty >= 0 && static_cast<int64_t>(tx) + tw <= target.width &&
                      static_cast<int64_t>(ty) + th <= target.height;
  if (inside) {
    ResampleInside(target, tx, ty, tw, th, source, sx, sy, sw, sh, filter, support);
    return;
  }
  // A rectangle reaching outside the target: resample into a scratch picture and copy
  // the part that lies inside.
  const int64_t left = std::max<int64_t>(tx, 0);
  const int64_t top = std::max<int64_t>(ty, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(tx) + tw, target.width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(ty) + th, target.height);
  if (left >= right || top >= bottom) return;
  std::vector<uint8_t> scratch(static_cast<size_t>(tw) * th * 4);
  ResampleInside({scratch.data(), tw, th}, 0, 0, tw, th, source, sx, sy, sw, sh, filter, support);
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* from = scratch.data() + ((y - ty) * tw + (left - tx)) * 4;
    uint8_t* to = target.bits + (y * target.width + left) * 4;
    for (int64_t x = left; x < right; ++x, from += 4, to += 4) std::memcpy(to, from, 3);
  }
}

void Resample(TBitmap* target, int32_t tx, int32_t ty, int32_t tw, int32_t th,
              const TBitmap* source, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
              int32_t filter, float support) {
  if (target == nullptr || source == nullptr) return;
  ResampleBits({static_cast<uint8_t*>(target->Bits), target->Width, target->Height}, tx, ty,
               tw, th,
               {static_cast<uint8_t*>(source->Bits), source->Width, source->Height}, sx, sy,
               sw, sh, filter, support);
}

}  // namespace kelv
