// Native stand-ins for the GDI side of TBitmap: a plain zeroed heap buffer, no DCs.
#include <cstdlib>

#include "imaging/bitmap.hpp"
#include "imaging/bitmap_platform.hpp"

namespace kelv {

std::unique_ptr<TBitmap> TBitmap::Create(int32_t width, int32_t height) {
  std::unique_ptr<TBitmap> bitmap(new TBitmap());
  bitmap->Width = width;
  bitmap->Height = height;
  const size_t bytes = static_cast<size_t>(width > 0 ? width : 0) * 4 * static_cast<size_t>(height > 0 ? height : 0);
  bitmap->ownedBuffer_ = std::calloc(bytes ? bytes : 1, 1);
  bitmap->Bits = bitmap->ownedBuffer_;
  return bitmap;
}

TBitmap::~TBitmap() { std::free(ownedBuffer_); }

void Blit(TBitmap& dst, TBitmap& src, int32_t dstLeft, int32_t dstTop, int32_t srcLeft,
          int32_t srcTop, int32_t srcRight, int32_t srcBottom) {
  // Without DCs the blit is a clipped copy of the pixel memories.
  for (int32_t sy = srcTop; sy <= srcBottom; ++sy) {
    const int32_t dy = dstTop + sy - srcTop;
    if (sy < 0 || sy >= src.Height || dy < 0 || dy >= dst.Height) continue;
    for (int32_t sx = srcLeft; sx <= srcRight; ++sx) {
      const int32_t dx = dstLeft + sx - srcLeft;
      if (sx < 0 || sx >= src.Width || dx < 0 || dx >= dst.Width) continue;
      dst.Row(dy)[dx] = src.Row(sy)[sx];
    }
  }
}

namespace bitmap_platform {

void FlushDrawing() {}

void FillDCBlack(NativeDC, int32_t, int32_t, int32_t, int32_t) {}

void StretchInto(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height,
                 TBitmap& source) {
  StretchPixels(target, left, top, width, height, source);
}

}  // namespace bitmap_platform

}  // namespace kelv
