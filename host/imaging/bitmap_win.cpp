// The GDI side of TBitmap: a top-down 32-bit DIB section selected into a memory DC.
#include <windows.h>

#include <string>

#include "common/exception.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/bitmap_platform.hpp"

namespace kelv {

std::unique_ptr<TBitmap> TBitmap::Create(int32_t width, int32_t height) {
  std::unique_ptr<TBitmap> bitmap(new TBitmap());
  bitmap->Width = width;
  bitmap->Height = height;
  HDC dc = CreateCompatibleDC(nullptr);
  bitmap->DC = dc;

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
  HBITMAP handle = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!handle) {
    const DWORD error = GetLastError();
    bitmap.reset();  // deletes the DC of the half-built bitmap
    throw EOSError("CreateDIBSection failed, Error = " + std::to_string(error));
  }
  bitmap->Handle = handle;
  bitmap->Bits = bits;
  if (dc) SelectObject(dc, handle);
  return bitmap;
}

TBitmap::~TBitmap() {
  if (DC) DeleteDC(static_cast<HDC>(DC));
  if (Handle) DeleteObject(static_cast<HBITMAP>(Handle));
}

void Blit(TBitmap& dst, TBitmap& src, int32_t dstLeft, int32_t dstTop, int32_t srcLeft,
          int32_t srcTop, int32_t srcRight, int32_t srcBottom) {
  BitBlt(static_cast<HDC>(dst.DC), dstLeft, dstTop, srcRight - srcLeft + 1, srcBottom - srcTop + 1,
         static_cast<HDC>(src.DC), srcLeft, srcTop, SRCCOPY);
  GdiFlush();
}

namespace bitmap_platform {

void FlushDrawing() { GdiFlush(); }

void FillDCBlack(void* dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  RECT rect{left, top, right, bottom};
  FillRect(static_cast<HDC>(dc), &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  GdiFlush();
}

void StretchInto(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height,
                 TBitmap& source) {
  if (!target.DC || !source.DC) {
    StretchPixels(target, left, top, width, height, source);
    return;
  }
  HDC dc = static_cast<HDC>(target.DC);
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, left, top, width, height, static_cast<HDC>(source.DC), 0, 0, source.Width,
             source.Height, SRCCOPY);
  SetStretchBltMode(dc, oldMode);
  GdiFlush();
}

}  // namespace bitmap_platform

}  // namespace kelv
