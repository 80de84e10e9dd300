// Native stand-ins: the stretch on the pixel memories, no window messages.
#include <vector>

#include "imaging/bitmap.hpp"
#include "imaging/bitmap_platform.hpp"
#include "show/compose_platform.hpp"

namespace kelv::compose_platform {

void StretchWindow(TBitmap& target, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                   const TBitmap& source, int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  std::vector<uint32_t> window(static_cast<size_t>(sw) * sh);
  std::unique_ptr<TBitmap> copy = TBitmap::CreateFromBits(sw, sh, window.data());
  CopyRect(*copy, source, 0, sh - 1, 0, sw - 1, sx, sy);
  bitmap_platform::StretchPixels(target, dx, dy, dw, dh, *copy);
  ReleaseWrapper(copy);
}

void ProcessPendingMessages() {}

}  // namespace kelv::compose_platform
