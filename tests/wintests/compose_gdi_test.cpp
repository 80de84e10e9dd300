// The GDI parts of composition: the plain stretch from a decoded (memory-only) picture,
// and text output for captions, notices and messages.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "imaging/bitmap.hpp"
#include "imaging/caption.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/compose_platform.hpp"

namespace kelv {
namespace {

// Distinct for every pixel of the pictures used here.
uint32_t Pattern(int32_t x, int32_t y) { return static_cast<uint32_t>(y << 10 | x); }

bool InWindow(uint32_t value, int32_t left, int32_t top, int32_t w, int32_t h) {
  const int32_t x = static_cast<int32_t>(value & 0x3FF);
  const int32_t y = static_cast<int32_t>(value >> 10);
  return x >= left && x < left + w && y >= top && y < top + h;
}

std::unique_ptr<TBitmap> Filled(int32_t w, int32_t h, uint32_t value) {
  std::unique_ptr<TBitmap> b = TBitmap::Create(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->Pixel(x, y) = value;
  return b;
}

int32_t CountColour(TBitmap& b, uint32_t colour, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  int32_t n = 0;
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x) n += (b.Pixel(x, y) & 0xFFFFFF) == colour;
  return n;
}

TEST(ComposeGdi, StretchFromMemoryMatchesTheStretchBetweenDCs) {
  std::vector<uint32_t> pixels(90 * 70);
  for (int32_t y = 0; y < 70; ++y)
    for (int32_t x = 0; x < 90; ++x) pixels[y * 90 + x] = Pattern(x, y);
  std::unique_ptr<TBitmap> memory = TBitmap::CreateFromBits(90, 70, pixels.data());
  std::unique_ptr<TBitmap> withDC = TBitmap::Create(90, 70);
  CopyRect(*withDC, *memory, 0, 69, 0, 89, 0, 0);

  // A window that does not start at the picture's corner, enlarged and reduced.
  for (const auto& [dw, dh] : std::vector<std::pair<int32_t, int32_t>>{{150, 110}, {23, 17}}) {
    std::unique_ptr<TBitmap> a = Filled(160, 120, 0);
    std::unique_ptr<TBitmap> b = Filled(160, 120, 0);
    compose_platform::StretchWindow(*a, 5, 3, dw, dh, *memory, 12, 20, 60, 44);
    compose_platform::StretchWindow(*b, 5, 3, dw, dh, *withDC, 12, 20, 60, 44);
    for (int32_t y = 0; y < 120; ++y)
      for (int32_t x = 0; x < 160; ++x) ASSERT_EQ(a->Pixel(x, y), b->Pixel(x, y)) << x << "," << y;
    // Nothing outside the destination, and only pixels of the window inside it.
    EXPECT_EQ(a->Pixel(4, 3), 0u);
    EXPECT_EQ(a->Pixel(5 + dw, 3 + dh), 0u);
    for (int32_t y = 3; y < 3 + dh; ++y)
      for (int32_t x = 5; x < 5 + dw; ++x) ASSERT_TRUE(InWindow(a->Pixel(x, y) & 0xFFFFFF, 12, 20, 60, 44)) << x << "," << y;
  }
  ReleaseWrapper(memory);
}

TEST(ComposeGdi, QuickResizeDrawsTheCropWindowOnly) {
  TheSettings() = Settings{};
  TheSettings().Resize = 0;
  std::vector<uint32_t> pixels(300 * 200);
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 300; ++x) pixels[y * 300 + x] = Pattern(x, y);
  std::unique_ptr<TBitmap> source = TBitmap::CreateFromBits(300, 200, pixels.data());
  std::unique_ptr<TBitmap> target = Filled(160, 120, 0xFFFFFF);
  target->Crop = true;
  DrawPicture(*target, *source);
  // The window is 267 x 200 from column 16; it fills the whole target.
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 160; ++x) ASSERT_TRUE(InWindow(target->Pixel(x, y) & 0xFFFFFF, 16, 0, 267, 200)) << x << "," << y;
  ReleaseWrapper(source);
}

TEST(ComposeGdi, CaptionsAndMessagesReachThePixels) {
  TheSettings() = Settings{};
  const uint32_t grey = 0x505050;
  std::unique_ptr<TBitmap> b = Filled(400, 300, grey);
  // Caption at the bottom, opaque: green letters in a black cell above the 1/20 inset.
  DrawText(*b, "Caption", TextCodeBottom, TheSettings().Font, 0x0000FF00);
  const int32_t green = CountColour(*b, 0x00FF00, 0, 0, 399, 299);
  const int32_t black = CountColour(*b, 0, 0, 0, 399, 299);
  EXPECT_GT(green, 20);
  EXPECT_GT(black, 100);
  EXPECT_EQ(CountColour(*b, 0x00FF00, 0, 285, 399, 299), 0);  // nothing in the inset
  EXPECT_EQ(CountColour(*b, 0x00FF00, 0, 0, 399, 200), 0);

  // Transparent captions leave the picture between the letters.
  TheSettings().Textbg = true;
  b = Filled(400, 300, grey);
  DrawText(*b, "Caption", TextCodeTop, TheSettings().Font, 0x0000FF00);
  EXPECT_EQ(CountColour(*b, 0, 0, 0, 399, 299), 0);
  EXPECT_GT(CountColour(*b, 0x00FF00, 0, 15, 399, 40), 20);

  // Messages clear the target and are red, opaque whatever "Textbg" says.
  DrawMessage(*b, kNoPicturesMessage);
  EXPECT_GT(CountColour(*b, 0xFF0000, 0, 0, 399, 299), 20);  // pure red reads 0x00FF0000
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 400; ++x) ASSERT_EQ(b->Pixel(x, y) & 0x00FFFF, 0u) << x << "," << y;
}

TEST(ComposeGdi, NoticeLinesAllStayVisible) {
  TheSettings() = Settings{};
  std::unique_ptr<TBitmap> b = Filled(400, 300, 0x505050);
  DrawText(*b, "MMMM\rWWWW\rHHHH", TextCodeNotice, TheSettings().NoticeFont, 0xFFFFFF);
  // Every line has white pixels inside the (10, 10)-(100, 100) box area.
  const int32_t t = 16;  // NoticeFont of an unknown width: height 18, cell about 18-22
  EXPECT_GT(CountColour(*b, 0xFFFFFF, 10, 10, 99, 10 + t), 10);
  EXPECT_GT(CountColour(*b, 0xFFFFFF, 10, 10 + 22, 99, 10 + 22 + t), 10);
  EXPECT_GT(CountColour(*b, 0xFFFFFF, 10, 10 + 44, 99, 10 + 44 + t), 10);
  // The box is black where no letter is.
  EXPECT_EQ(b->Pixel(98, 98) & 0xFFFFFF, 0u);
  EXPECT_EQ(b->Pixel(150, 150) & 0xFFFFFF, 0x505050u);
}

}  // namespace
}  // namespace kelv
