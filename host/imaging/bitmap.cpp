// The platform-independent part of TBitmap: pixel arithmetic and FitInto's placement.
#include "imaging/bitmap.hpp"

#include <algorithm>
#include <cstring>

#include "common/random.hpp"
#include "imaging/bitmap_platform.hpp"

namespace kelv {

std::unique_ptr<TBitmap> TBitmap::CreateFromBits(int32_t width, int32_t height, void* bits) {
  std::unique_ptr<TBitmap> bitmap(new TBitmap());
  bitmap->Bits = bits;
  bitmap->Width = width;
  bitmap->Height = height;
  return bitmap;
}

void ReleaseWrapper(std::unique_ptr<TBitmap>& wrapper) {
  if (!wrapper) return;
  wrapper->DC = nullptr;
  wrapper->Handle = nullptr;
  wrapper.reset();
}

void TBitmap::Clear() {
  if (Bits) {
    if (Width > 0 && Height > 0) {
      bitmap_platform::FlushDrawing();
      std::memset(Bits, 0, static_cast<size_t>(Width) * 4 * static_cast<size_t>(Height));
    }
  } else if (DC) {
    bitmap_platform::FillDCBlack(DC, 0, 0, Width, Height);
  }
}

void TBitmap::FillBlack(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (Bits) {
    if (right < left) return;
    bitmap_platform::FlushDrawing();
    const size_t bytes = static_cast<size_t>(right - left + 1) * 4;
    for (int32_t y = top; y <= bottom; ++y) std::memset(Row(y) + left, 0, bytes);
  } else if (DC) {
    bitmap_platform::FillDCBlack(DC, left, top, right + 1, bottom + 1);
  }
}

void CopyRect(TBitmap& dst, const TBitmap& src, int32_t top, int32_t bottom, int32_t left,
              int32_t right, int32_t srcLeft, int32_t srcTop) {
  if (right < left) return;
  bitmap_platform::FlushDrawing();
  const size_t bytes = static_cast<size_t>(right - left + 1) * 4;
  for (int32_t r = top; r <= bottom; ++r)
    std::memmove(dst.Row(r) + left, src.Row(srcTop + r - top) + srcLeft, bytes);
}

FitPlacement PlanFitInto(int32_t tw, int32_t th, bool shrink, bool enlarge, bool randomPos,
                         int32_t sw, int32_t sh) {
  FitPlacement p;
  const double sx = static_cast<double>(sw) / tw;
  const double sy = static_cast<double>(sh) / th;
  if (sx == 1.0 && sy == 1.0) {
    p.kind = FitPlacement::Copy;
    p.width = sw;
    p.height = sh;
    return p;
  }
  const bool notSmaller = sw >= tw && sh >= th;
  const bool notLarger = sw <= tw && sh <= th;
  if ((notSmaller || !enlarge) && (notLarger || !shrink)) {
    p.kind = FitPlacement::Unscaled;
    p.width = sw;
    p.height = sh;
    if (randomPos && sw < tw && sh < th) {
      p.left = static_cast<int32_t>(Round(RandomReal() * (tw - sw)));
      p.top = static_cast<int32_t>(Round(RandomReal() * (th - sh)));
    } else {
      p.left = (tw - sw) / 2;
      p.top = (th - sh) / 2;
    }
    return p;
  }
  p.kind = FitPlacement::Stretch;
  if (sx > sy) {
    p.width = tw;
    p.height = static_cast<int32_t>(Round(sh / sx));
    p.top = static_cast<int32_t>(Round(th - sh / sx)) / 2;
  } else {
    p.width = static_cast<int32_t>(Round(sw / sy));
    p.height = th;
    p.left = static_cast<int32_t>(Round(tw - sw / sy)) / 2;
  }
  return p;
}

void FitInto(TBitmap& target, TBitmap& source) {
  target.Clear();
  // An empty picture on either side leaves the target black.
  if (target.Width <= 0 || target.Height <= 0 || source.Width <= 0 || source.Height <= 0) return;
  const FitPlacement p = PlanFitInto(target.Width, target.Height, target.Shrink, target.Enlarge,
                                     target.RandomPos, source.Width, source.Height);
  if (p.kind == FitPlacement::Stretch) {
    bitmap_platform::StretchInto(target, p.left, p.top, p.width, p.height, source);
    return;
  }
  if (!target.Bits || !source.Bits) return;
  // Only the part that lies inside the target is copied.
  const int32_t left = std::max(p.left, 0);
  const int32_t top = std::max(p.top, 0);
  const int32_t right = std::min(p.left + p.width, target.Width) - 1;
  const int32_t bottom = std::min(p.top + p.height, target.Height) - 1;
  if (right < left || bottom < top) return;
  CopyRect(target, source, top, bottom, left, right, left - p.left, top - p.top);
}

namespace bitmap_platform {

void StretchPixels(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height,
                   const TBitmap& source) {
  if (!target.Bits || !source.Bits || width <= 0 || height <= 0) return;
  FlushDrawing();
  const int32_t x0 = std::max(left, 0), x1 = std::min(left + width, target.Width);
  const int32_t y0 = std::max(top, 0), y1 = std::min(top + height, target.Height);
  for (int32_t y = y0; y < y1; ++y) {
    const int64_t sy = (static_cast<int64_t>(y - top) * source.Height) / height;
    const uint32_t* srcRow = source.Row(static_cast<int32_t>(sy));
    uint32_t* dstRow = target.Row(y);
    for (int32_t x = x0; x < x1; ++x)
      dstRow[x] = srcRow[(static_cast<int64_t>(x - left) * source.Width) / width];
  }
}

}  // namespace bitmap_platform

}  // namespace kelv
