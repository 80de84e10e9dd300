// TBitmap's GDI side: a top-down DIB section in a memory DC that GDI and the pixel
// memory both see, the blit, the system stretch of FitInto and the creation failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/exception.hpp"
#include "imaging/bitmap.hpp"

namespace kelv {
namespace {

void FillDC(TBitmap& b, int l, int t, int r, int bottom, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  RECT rect{l, t, r, bottom};
  FillRect(static_cast<HDC>(b.DC), &rect, brush);
  DeleteObject(brush);
  GdiFlush();
}

TEST(BitmapWin, CreateGivesATopDownDibSectionInAMemoryDC) {
  auto b = TBitmap::Create(7, 5);
  ASSERT_NE(b->Handle, nullptr);
  ASSERT_NE(b->DC, nullptr);
  ASSERT_NE(b->Bits, nullptr);
  EXPECT_EQ(GetCurrentObject(static_cast<HDC>(b->DC), OBJ_BITMAP), b->Handle);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectA(b->Handle, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBmih.biBitCount, 32);
  EXPECT_EQ(dib.dsBm.bmWidthBytes, 7 * 4);
  // What GDI draws at the top is row 0 of the pixel memory, as 0x00RRGGBB.
  FillDC(*b, 0, 0, 1, 1, RGB(255, 0, 0));
  EXPECT_EQ(b->Pixel(0, 0), 0x00FF0000u);
  EXPECT_EQ(b->Pixel(0, 4), 0u);
  // And what is written into the memory is what GDI reads.
  b->Pixel(6, 4) = 0x000000FF;
  EXPECT_EQ(GetPixel(static_cast<HDC>(b->DC), 6, 4), RGB(0, 0, 255));
}

TEST(BitmapWin, ClearAndFillBlackReachPixelsGdiDrewFirst) {
  auto b = TBitmap::Create(4, 3);
  FillDC(*b, 0, 0, 4, 3, RGB(0, 255, 0));
  b->FillBlack(1, 1, 2, 1);
  int black = 0;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) black += b->Pixel(x, y) == 0;
  EXPECT_EQ(black, 2);
  b->Clear();
  EXPECT_EQ(GetPixel(static_cast<HDC>(b->DC), 3, 2), RGB(0, 0, 0));
}

TEST(BitmapWin, BlitCopiesTheInclusiveSourceRectangle) {
  auto src = TBitmap::Create(6, 6);
  FillDC(*src, 0, 0, 6, 6, RGB(0, 0, 255));
  auto dst = TBitmap::Create(6, 6);
  Blit(*dst, *src, 1, 2, 0, 0, 2, 1);  // 3 x 2 pixels to (1, 2)
  int blue = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x <= 3 && y >= 2 && y <= 3;
      EXPECT_EQ(dst->Pixel(x, y), inside ? 0x000000FFu : 0u) << x << "," << y;
      blue += inside;
    }
  EXPECT_EQ(blue, 6);
}

TEST(BitmapWin, FitIntoStretchesThroughGdiIntoTheCentredBand) {
  auto target = TBitmap::Create(40, 40);
  FillDC(*target, 0, 0, 40, 40, RGB(255, 255, 255));
  auto source = TBitmap::Create(80, 20);
  FillDC(*source, 0, 0, 80, 20, RGB(255, 0, 0));
  FitInto(*target, *source);  // 40 x 10 at top 15
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; x += 13)
      EXPECT_EQ(target->Pixel(x, y), y >= 15 && y < 25 ? 0x00FF0000u : 0u) << x << "," << y;
}

TEST(BitmapWin, FailedCreationRaisesWithTheSystemError) {
  try {
    auto huge = TBitmap::Create(200000, 200000);
    FAIL() << "a 160 GB DIB section was created";
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("CreateDIBSection failed, Error = ", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace kelv
