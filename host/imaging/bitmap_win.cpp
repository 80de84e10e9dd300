// The GDI side of TBitmap: a top-down 32-bit DIB section selected into a memory DC.
#include <windows.h>

#include <string>

#include "common/exception.hpp"
#include "common/owners_win.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/bitmap_platform.hpp"

namespace kelv {

std::unique_ptr<TBitmap> TBitmap::Create(int32_t width, int32_t height) {
  std::unique_ptr<TBitmap> bitmap(new TBitmap());
  bitmap->Width = width;
  bitmap->Height = height;
  // Held by owners until both exist: a half-built bitmap leaves nothing behind.
  win::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));

  BITMAPINFO info{};
  static_assert(sizeof(BITMAPINFOHEADER) == 40);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = 0;
  void* bits = nullptr;
  win::UniqueBitmap section(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section) {
    const DWORD error = GetLastError();
    throw EOSError("CreateDIBSection failed, Error = " + std::to_string(error));
  }
  if (dc) SelectObject(dc.get(), section.get());
  // From here the bitmap owns both; its destructor deletes the DC before the section.
  bitmap->DC = dc.release();
  bitmap->Handle = section.release();
  bitmap->Bits = bits;
  return bitmap;
}

TBitmap::~TBitmap() {
  // The section is selected into the DC, so the DC goes first.
  if (DC) DeleteDC(DC);
  if (Handle) DeleteObject(Handle);
}

void Blit(TBitmap& dst, TBitmap& src, int32_t dstLeft, int32_t dstTop, int32_t srcLeft,
          int32_t srcTop, int32_t srcRight, int32_t srcBottom) {
  BitBlt(dst.DC, dstLeft, dstTop, srcRight - srcLeft + 1, srcBottom - srcTop + 1, src.DC, srcLeft, srcTop,
         SRCCOPY);
  GdiFlush();
}

namespace bitmap_platform {

void FlushDrawing() { GdiFlush(); }

void FillDCBlack(NativeDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  RECT rect{left, top, right, bottom};
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  GdiFlush();
}

void StretchInto(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height,
                 TBitmap& source) {
  if (!target.DC || !source.DC) {
    StretchPixels(target, left, top, width, height, source);
    return;
  }
  HDC dc = target.DC;
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, left, top, width, height, source.DC, 0, 0, source.Width, source.Height, SRCCOPY);
  SetStretchBltMode(dc, oldMode);
  GdiFlush();
}

}  // namespace bitmap_platform

}  // namespace kelv
