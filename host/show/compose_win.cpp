// The system's plain stretch for the quick resize, and the message pump between cells.
#include <windows.h>

#include "imaging/bitmap.hpp"
#include "imaging/bitmap_platform.hpp"
#include "show/compose_platform.hpp"

namespace kelv::compose_platform {

void StretchWindow(TBitmap& target, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                   const TBitmap& source, int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  HDC dc = static_cast<HDC>(target.DC);
  if (!dc) {
    // Without a DC the stretch runs on the pixel memories, from a copy of the window.
    std::unique_ptr<TBitmap> copy = TBitmap::Create(sw, sh);
    CopyRect(*copy, source, 0, sh - 1, 0, sw - 1, sx, sy);
    bitmap_platform::StretchPixels(target, dx, dy, dw, dh, *copy);
    return;
  }
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  if (source.DC) {
    StretchBlt(dc, dx, dy, dw, dh, static_cast<HDC>(source.DC), sx, sy, sw, sh, SRCCOPY);
  } else {
    // The decoded picture is plain memory: it is described as a top-down DIB that starts
    // at the window's first row, so the source rectangle always spans the DIB's full
    // height and the orientation of the source y axis does not matter.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = source.Width;
    info.bmiHeader.biHeight = -sh;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const auto* firstRow = static_cast<const uint8_t*>(source.Bits) +
                           static_cast<size_t>(sy) * static_cast<size_t>(source.Width) * 4;
    StretchDIBits(dc, dx, dy, dw, dh, sx, 0, sw, sh, firstRow, &info, DIB_RGB_COLORS, SRCCOPY);
  }
  SetStretchBltMode(dc, oldMode);
  GdiFlush();
}

void ProcessPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace kelv::compose_platform
