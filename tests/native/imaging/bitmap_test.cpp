// TBitmap's pixel layout and arithmetic, and the placement rules of FitInto.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/random.hpp"
#include "imaging/bitmap.hpp"

namespace kelv {
namespace {

constexpr uint32_t kRed = 0x00FF0000, kBlue = 0x000000FF, kGuard = 0xA5A5A5A5;

std::unique_ptr<TBitmap> Filled(int32_t w, int32_t h, uint32_t value) {
  auto b = TBitmap::Create(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->Pixel(x, y) = value;
  return b;
}

// Number of pixels of `b` equal to `value` inside [x0, x1) x [y0, y1), and outside it.
std::pair<int, int> CountInside(TBitmap& b, uint32_t value, int x0, int y0, int x1, int y1) {
  int inside = 0, outside = 0;
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x)
      if (b.Pixel(x, y) == value) (x >= x0 && x < x1 && y >= y0 && y < y1 ? inside : outside)++;
  return {inside, outside};
}

TEST(BitmapLayout, RowsAreTopDownWithoutPaddingAndPixelsAreBlueGreenRedZero) {
  auto b = TBitmap::Create(3, 2);
  EXPECT_EQ(TBitmap::RowStride(3), 12);
  b->Pixel(2, 1) = kRed;
  const auto* bytes = static_cast<const uint8_t*>(b->Bits);
  EXPECT_EQ(bytes[20], 0x00);
  EXPECT_EQ(bytes[21], 0x00);
  EXPECT_EQ(bytes[22], 0xFF);
  EXPECT_EQ(bytes[23], 0x00);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(b->Row(1)) - bytes, 12);
}

TEST(BitmapLayout, CreateStartsBlackWithDefaultPlacementOptions) {
  auto b = TBitmap::Create(5, 4);
  EXPECT_EQ(CountInside(*b, 0, 0, 0, 5, 4).first, 20);
  EXPECT_TRUE(b->Shrink);
  EXPECT_FALSE(b->Enlarge || b->RandomPos || b->Crop);
}

TEST(BitmapClear, WrapperClearZeroesExactlyItsPixelsAndReleaseKeepsThem) {
  std::vector<uint32_t> buffer(4 * 3 + 2, kGuard);
  auto b = TBitmap::CreateFromBits(4, 3, buffer.data() + 1);
  EXPECT_EQ(b->Handle, nullptr);
  EXPECT_EQ(b->DC, nullptr);
  b->Clear();
  EXPECT_EQ(buffer.front(), kGuard);
  EXPECT_EQ(buffer.back(), kGuard);
  for (size_t i = 1; i + 1 < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0u) << i;
  buffer[5] = kBlue;
  ReleaseWrapper(b);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(buffer[5], kBlue);
}

TEST(BitmapClear, FillBlackTakesAnInclusiveRectangle) {
  auto b = Filled(4, 3, kRed);
  b->FillBlack(1, 1, 2, 1);
  EXPECT_EQ(CountInside(*b, 0, 1, 1, 3, 2), std::make_pair(2, 0));
  auto c = Filled(4, 3, kRed);
  c->FillBlack(0, 0, 3, 2);
  EXPECT_EQ(CountInside(*c, 0, 0, 0, 4, 3).first, 12);
}

TEST(BitmapCopyRect, CopiesInclusiveColumnsFromTheShiftedSourceRows) {
  auto src = TBitmap::Create(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) src->Pixel(x, y) = static_cast<uint32_t>(y * 16 + x);
  auto dst = Filled(6, 5, kGuard);
  // Destination rows 1..2, columns 2..4 from the source starting at column 1, row 2.
  CopyRect(*dst, *src, 1, 2, 2, 4, 1, 2);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = y >= 1 && y <= 2 && x >= 2 && x <= 4;
      const uint32_t want = inside ? static_cast<uint32_t>((y + 1) * 16 + (x - 1)) : kGuard;
      EXPECT_EQ(dst->Pixel(x, y), want) << x << "," << y;
    }
}

TEST(BitmapCopyRect, WorksOnWrappers) {
  std::vector<uint32_t> a{1, 2, 3, 4}, b(4, 0);
  auto src = TBitmap::CreateFromBits(2, 2, a.data());
  auto dst = TBitmap::CreateFromBits(2, 2, b.data());
  CopyRect(*dst, *src, 0, 1, 0, 1, 0, 0);
  EXPECT_EQ(b, a);
  ReleaseWrapper(src);
  ReleaseWrapper(dst);
}

// ---- FitInto ------------------------------------------------------------------------

struct PlanCase {
  const char* name;
  int tw, th;
  bool shrink, enlarge;
  int sw, sh;
  FitPlacement::Kind kind;
  int left, top, width, height;
};

TEST(BitmapFitInto, PlacementGeometry) {
  const PlanCase cases[] = {
      {"same size is copied", 40, 30, true, false, 40, 30, FitPlacement::Copy, 0, 0, 40, 30},
      {"small source centred", 400, 300, true, false, 100, 50, FitPlacement::Unscaled, 150, 125, 100, 50},
      {"odd margins truncate", 10, 10, true, false, 3, 4, FitPlacement::Unscaled, 3, 3, 3, 4},
      {"large source, shrink off: centre part", 100, 100, false, false, 300, 140, FitPlacement::Unscaled, -100, -20, 300, 140},
      {"wide source shrunk", 400, 300, true, false, 800, 300, FitPlacement::Stretch, 0, 75, 400, 150},
      {"tall source shrunk", 400, 300, true, false, 200, 600, FitPlacement::Stretch, 150, 0, 100, 300},
      {"thirds round to nearest", 100, 100, true, false, 300, 100, FitPlacement::Stretch, 0, 33, 100, 33},
      {"ties round to even", 10, 10, true, false, 40, 10, FitPlacement::Stretch, 0, 4, 10, 2},
      {"small source enlarged", 400, 300, true, true, 100, 50, FitPlacement::Stretch, 0, 50, 400, 200},
      {"equal ratios fill the target", 400, 300, true, true, 40, 30, FitPlacement::Stretch, 0, 0, 400, 300},
      {"wider but lower, enlarge off", 400, 300, true, false, 800, 100, FitPlacement::Stretch, 0, 125, 400, 50},
      {"wider but lower, enlarge on", 400, 300, false, true, 800, 100, FitPlacement::Stretch, 0, 125, 400, 50},
      {"larger both ways, shrink off", 400, 300, false, true, 800, 400, FitPlacement::Unscaled, -200, -50, 800, 400},
  };
  for (const PlanCase& c : cases) {
    const FitPlacement p = PlanFitInto(c.tw, c.th, c.shrink, c.enlarge, false, c.sw, c.sh);
    EXPECT_EQ(p.kind, c.kind) << c.name;
    EXPECT_EQ(p.left, c.left) << c.name;
    EXPECT_EQ(p.top, c.top) << c.name;
    EXPECT_EQ(p.width, c.width) << c.name;
    EXPECT_EQ(p.height, c.height) << c.name;
  }
}

TEST(BitmapFitInto, RandomPositionDrawsXThenYOnlyForSourcesSmallerBothWays) {
  SeedRandom(1234);
  const double rx = RandomReal(), ry = RandomReal();
  SeedRandom(1234);
  const FitPlacement p = PlanFitInto(400, 300, true, false, true, 100, 50);
  EXPECT_EQ(p.kind, FitPlacement::Unscaled);
  EXPECT_EQ(p.left, Round(rx * 300));
  EXPECT_EQ(p.top, Round(ry * 250));

  // As wide as the target: centred, and nothing drawn from the generator.
  SeedRandom(99);
  const uint32_t next = RandomU32();
  SeedRandom(99);
  const FitPlacement q = PlanFitInto(400, 300, true, false, true, 400, 50);
  EXPECT_EQ(q.left, 0);
  EXPECT_EQ(q.top, 125);
  EXPECT_EQ(RandomU32(), next);
}

TEST(BitmapFitInto, UnscaledSourceLandsAtItsOffsetOnBlack) {
  auto target = Filled(400, 300, kGuard);
  auto source = Filled(100, 50, kRed);
  FitInto(*target, *source);
  EXPECT_EQ(CountInside(*target, kRed, 150, 125, 250, 175), std::make_pair(100 * 50, 0));
  EXPECT_EQ(CountInside(*target, 0, 0, 0, 400, 300).first, 400 * 300 - 100 * 50);
}

TEST(BitmapFitInto, LargerSourceWithoutShrinkShowsItsCentrePart) {
  auto target = TBitmap::Create(4, 2);
  target->Shrink = false;
  auto source = TBitmap::Create(8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) source->Pixel(x, y) = static_cast<uint32_t>(y * 16 + x);
  FitInto(*target, *source);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target->Pixel(x, y), static_cast<uint32_t>((y + 1) * 16 + x + 2));
}

TEST(BitmapFitInto, StretchedSourceFillsOnlyItsBand) {
  auto target = Filled(4, 4, kGuard);
  auto source = Filled(8, 2, kBlue);
  FitInto(*target, *source);  // 8 x 2 into 4 x 4: 4 x 1 at top 1
  EXPECT_EQ(CountInside(*target, kBlue, 0, 1, 4, 2), std::make_pair(4, 0));
  EXPECT_EQ(CountInside(*target, 0, 0, 0, 4, 4).first, 12);
}

TEST(BitmapFitInto, EmptySourceLeavesTheTargetBlack) {
  auto target = Filled(3, 3, kGuard);
  auto empty = TBitmap::CreateFromBits(0, 0, nullptr);
  FitInto(*target, *empty);
  EXPECT_EQ(CountInside(*target, 0, 0, 0, 3, 3).first, 9);
}

}  // namespace
}  // namespace kelv
