// Composition: the picture count of a screen, the cells, where DrawPicture puts a picture
// (and the area it reports), ComposeScreen with the display order filling cells, and the
// screen history.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/pic_list.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/caption.hpp"
#include "imaging/caption_platform.hpp"
#include "imaging/resampler.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/compose_history.hpp"
#include "show/compose_layout.hpp"
#include "show/display_order.hpp"
#include "show/run_flags.hpp"

namespace kelv {
namespace {

// ---- picture count and cells ---------------------------------------------------------

TEST(ScreenCount, FixedAndRandomChoices) {
  Settings s;
  s.Screens = 9;
  EXPECT_EQ(ChooseScreenCount(s), 9);

  s.Screens = 0;
  s.Random1often = false;
  std::map<int32_t, int> seen;
  SeedRandom(77);
  for (int k = 0; k < 8000; ++k) ++seen[ChooseScreenCount(s)];
  // Round(3.999 R) makes the first and the last count half as frequent as the others.
  EXPECT_NEAR(seen[1] / 8000.0, 0.125, 0.02);
  EXPECT_NEAR(seen[4] / 8000.0, 0.25, 0.02);
  EXPECT_NEAR(seen[16] / 8000.0, 0.25, 0.02);
  EXPECT_NEAR(seen[25] / 8000.0, 0.125, 0.02);

  // With "Random1often": one draw decides for the smallest count, a second picks.
  s.Random1often = true;
  for (uint32_t seed = 1; seed < 200; ++seed) {
    SeedRandom(seed);
    const double first = RandomReal();
    int32_t expected = 1;
    if (!(10 * first < 8)) expected = s.RandomScreens[static_cast<size_t>(Round(3.999 * RandomReal()))];
    SeedRandom(seed);
    ASSERT_EQ(ChooseScreenCount(s), expected) << seed;
  }

  // A damaged list still gives a count.
  s.RandomScreensCount = 0;
  EXPECT_EQ(ChooseScreenCount(s), 1);
  s.RandomScreensCount = 2;
  s.RandomScreens = {4, 9, 0, 0, 0};
  s.Random1often = false;
  for (int k = 0; k < 50; ++k) {
    const int32_t n = ChooseScreenCount(s);
    EXPECT_TRUE(n == 4 || n == 9);
  }
}

TEST(ScreenCells, GridsCoverTheScreenExactly) {
  std::vector<CellRect> c = ScreenCells(4, 1920, 1080);
  ASSERT_EQ(c.size(), 4u);
  for (const CellRect& r : c) {
    EXPECT_EQ(r.Width(), 960);
    EXPECT_EQ(r.Height(), 540);
  }
  c = ScreenCells(9, 1920, 1080);
  ASSERT_EQ(c.size(), 9u);
  EXPECT_EQ(c[4].left, 640);
  EXPECT_EQ(c[4].top, 360);
  EXPECT_EQ(c[8].right, 1919);
  EXPECT_EQ(c[8].bottom, 1079);

  // Uneven sizes: every pixel in exactly one cell, edges at W*c div g.
  for (int32_t n : {4, 9, 16, 25, 36, 100}) {
    const int32_t w = 1366, h = 767;
    std::vector<int> hits(static_cast<size_t>(w) * h, 0);
    for (const CellRect& r : ScreenCells(n, w, h)) {
      for (int32_t y = r.top; y <= r.bottom; ++y)
        for (int32_t x = r.left; x <= r.right; ++x) ++hits[static_cast<size_t>(y) * w + x];
    }
    for (int v : hits) ASSERT_EQ(v, 1) << n;
  }
  c = ScreenCells(25, 1366, 768);
  EXPECT_EQ(c[1].left, 273);  // 1366 div 5
  EXPECT_EQ(c[2].left, 546);

  c = ScreenCells(2, 800, 601);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].bottom, 299);
  EXPECT_EQ(c[1].top, 300);
  EXPECT_EQ(c[1].bottom, 600);
  EXPECT_EQ(c[1].right, 799);

  EXPECT_TRUE(ScreenCells(1, 800, 600).empty());
  EXPECT_TRUE(ScreenCells(3, 800, 600).empty());
  EXPECT_TRUE(ScreenCells(0, 800, 600).empty());
}

// ---- DrawPicture -----------------------------------------------------------------------

uint32_t Colour(int32_t x, int32_t y) { return 0x100000u | static_cast<uint32_t>(y) << 10 | static_cast<uint32_t>(x); }

struct Picture {
  std::vector<uint32_t> pixels;
  std::unique_ptr<TBitmap> bitmap;
  Picture(int32_t w, int32_t h) : pixels(static_cast<size_t>(w) * h) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = Colour(x, y);
    bitmap = TBitmap::CreateFromBits(w, h, pixels.data());
  }
  ~Picture() { ReleaseWrapper(bitmap); }
};

std::unique_ptr<TBitmap> Target(int32_t w, int32_t h, bool enlarge = false, bool crop = false,
                                bool randomPos = false) {
  std::unique_ptr<TBitmap> t = TBitmap::Create(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) t->Pixel(x, y) = 0x00FFFFFF;  // not black
  t->Enlarge = enlarge;
  t->Crop = crop;
  t->RandomPos = randomPos;
  return t;
}

// The bounding box of the non-black pixels.
struct Box {
  int32_t left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
};
Box Painted(TBitmap& t) {
  Box b;
  for (int32_t y = 0; y < t.Height; ++y)
    for (int32_t x = 0; x < t.Width; ++x)
      if (t.Pixel(x, y) != 0) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

// DrawPicture, with the area it reports checked against the pixels it painted (the
// pictures here have no black pixels), which the blurred background relies on.
// The same with a larger copy asked for (a moving picture) must draw the same still and
// give a copy of the picture's shape, larger than its area by at most the zoom asked for.
// (Placed without random numbers only, so that the tests' random sequences stay theirs.)
void Draw(TBitmap& target, const TBitmap& source) {
  std::unique_ptr<TBitmap> moving = TBitmap::Create(target.Width, target.Height);
  moving->Enlarge = target.Enlarge;
  moving->Crop = target.Crop;
  moving->Shrink = target.Shrink;
  std::shared_ptr<TBitmap> larger;
  const PlacedArea m = target.RandomPos ? PlacedArea{} : DrawPicture(*moving, source, 1.15, &larger);
  const PlacedArea a = DrawPicture(target, source);
  if (!target.RandomPos) {
    EXPECT_EQ(std::memcmp(moving->Bits, target.Bits, size_t(target.Width) * target.Height * 4), 0);
    EXPECT_EQ(std::tie(m.left, m.top, m.width, m.height), std::tie(a.left, a.top, a.width, a.height));
  }
  if (larger) {
    EXPECT_GT(larger->Width, a.width);
    EXPECT_LE(larger->Width, std::lround(a.width * 1.15));
    EXPECT_LE(larger->Height, std::lround(a.height * 1.15));
    EXPECT_NEAR(double(larger->Width) / larger->Height, double(a.width) / a.height, 0.05);
    EXPECT_EQ(Painted(*larger).right, larger->Width - 1) << "the copy is the picture, with no bars";
  }
  const Box b = Painted(target);
  if (b.right < 0) {
    EXPECT_TRUE(a.width == 0 || a.height == 0);
    return;
  }
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.left + a.width - 1, b.right);
  EXPECT_EQ(a.top + a.height - 1, b.bottom);
}

class DrawPictureTest : public ::testing::Test {
protected:
  void SetUp() override { TheSettings() = Settings{}; }
};

TEST_F(DrawPictureTest, ExactFitAndUnscaledPlacements) {
  Picture q(40, 30);
  auto p = Target(40, 30);
  Draw(*p, *q.bitmap);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(p->Pixel(x, y), Colour(x, y));

  // Smaller, Enlarge off: 1:1 in the centre, black around it.
  p = Target(160, 120);
  Draw(*p, *q.bitmap);
  Box b = Painted(*p);
  EXPECT_EQ(b.left, 60);
  EXPECT_EQ(b.top, 45);
  EXPECT_EQ(b.right, 99);
  EXPECT_EQ(b.bottom, 74);
  EXPECT_EQ(p->Pixel(60 + 5, 45 + 3), Colour(5, 3));

  // Random position: Round(R * room), x first.
  p = Target(160, 120, false, false, true);
  SeedRandom(9);
  const int32_t x0 = static_cast<int32_t>(Round(RandomReal() * 120));
  const int32_t y0 = static_cast<int32_t>(Round(RandomReal() * 90));
  SeedRandom(9);
  Draw(*p, *q.bitmap);
  b = Painted(*p);
  EXPECT_EQ(b.left, x0);
  EXPECT_EQ(b.top, y0);
  EXPECT_EQ(p->Pixel(x0, y0), Colour(0, 0));

  // Shrink off and wider than the target: the first columns, centred vertically.
  p = Target(20, 60);
  p->Shrink = false;
  Draw(*p, *q.bitmap);
  b = Painted(*p);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.right, 19);
  EXPECT_EQ(b.top, 15);
  EXPECT_EQ(p->Pixel(19, 15), Colour(19, 0));
  // Larger in both: the centre part.
  p = Target(20, 10);
  p->Shrink = false;
  Draw(*p, *q.bitmap);
  EXPECT_EQ(p->Pixel(0, 0), Colour(10, 10));
}

TEST_F(DrawPictureTest, ScaledPlacementUsesTheResamplerWithTheQualityFilter) {
  TheSettings().Resize = 2;  // Best: Lanczos3
  Picture q(300, 200);
  auto p = Target(160, 120);
  Draw(*p, *q.bitmap);
  // Fit: 160 x Round(200 / 1.875) = 107 at (0, Round(120 - 106.67) div 2 = 6).
  Box b = Painted(*p);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.right, 159);
  EXPECT_EQ(b.top, 6);
  EXPECT_EQ(b.bottom, 6 + 107 - 1);
  std::vector<uint32_t> expected(160 * 120, 0);
  std::unique_ptr<TBitmap> e = TBitmap::CreateFromBits(160, 120, expected.data());
  Resample(e.get(), 0, 6, 160, 107, q.bitmap.get(), 0, 0, 300, 200, 5);
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 160; ++x) ASSERT_EQ(p->Pixel(x, y) & 0xFFFFFF, expected[y * 160 + x] & 0xFFFFFF) << x << "," << y;
  ReleaseWrapper(e);

  // With Crop the aspect is close enough (1.125): the centre 267 x 200 fills the target.
  p = Target(160, 120, false, true);
  Draw(*p, *q.bitmap);
  b = Painted(*p);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.top, 0);
  EXPECT_EQ(b.right, 159);
  EXPECT_EQ(b.bottom, 119);

  // A panorama is never cropped.
  Picture wide(100, 40);
  p = Target(160, 120, true, true);
  Draw(*p, *wide.bitmap);
  b = Painted(*p);
  EXPECT_EQ(b.top, 28);
  EXPECT_EQ(b.bottom, 28 + 64 - 1);
}

TEST_F(DrawPictureTest, TinyPictureEnlargedUsesThePlainStretch) {
  TheSettings().Resize = 1;
  Picture q(40, 30);
  auto p = Target(160, 120, true);
  Draw(*p, *q.bitmap);
  // Every target pixel is one source pixel: only the picture's own colours appear.
  std::map<uint32_t, int> colours;
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 160; ++x) ++colours[p->Pixel(x, y)];
  for (const auto& [c, count] : colours) {
    bool found = false;
    for (uint32_t v : q.pixels) found = found || v == c;
    ASSERT_TRUE(found) << std::hex << c;
    EXPECT_EQ(count, 16);  // a 4 x 4 block per source pixel
  }
  // Quick quality with a cropped window: the stretch reads only the window.
  TheSettings().Resize = 0;
  Picture big(300, 200);
  p = Target(160, 120, false, true);
  Draw(*p, *big.bitmap);
  EXPECT_EQ(p->Pixel(0, 0), Colour(16, 0));  // window starts at ((300 - 267) div 2, 0)
}

TEST_F(DrawPictureTest, DegenerateSizesLeaveABlackTarget) {
  Picture q(3000, 1);
  auto p = Target(100, 100);
  Draw(*p, *q.bitmap);  // rounds to a zero-height destination
  EXPECT_EQ(Painted(*p).right, -1);
  std::unique_ptr<TBitmap> empty = TBitmap::CreateFromBits(0, 0, nullptr);
  p = Target(10, 10);
  Draw(*p, *empty);
  EXPECT_EQ(Painted(*p).right, -1);
  ReleaseWrapper(empty);
}

// ---- ComposeScreen -------------------------------------------------------------------------

class ComposeTest : public ::testing::Test {
protected:
  void SetUp() override {
    TheSettings() = Settings{};
    TheSettings().StartFromPrevious = false;
    TheHistory().Reset();
    StartDisplayOrderRun();
    TPicList& c = TheCatalogue();
    c.Clear();
    c.AddFolder("Root");
    std::vector<std::string> names;
    for (int k = 0; k < 30; ++k) names.push_back("C:\\p\\" + std::to_string(k));
    c.Item(0)->Pictures->assign(names);
    // Each picture paints its cell in a colour of its own.
    TheDisplayOrderServices().load = [this](TBitmap& t, const std::string& name, const LoadRequest&) {
      const uint32_t value = static_cast<uint32_t>(std::stoi(name.substr(5)) + 1);
      for (int32_t y = 0; y < t.Height; ++y)
        for (int32_t x = 0; x < t.Width; ++x) t.Pixel(x, y) = value;
      cellSizes.push_back({t.Width, t.Height});
      LoadResult r;
      r.width = 10;
      r.height = 10;
      return r;
    };
    TheDisplayOrderServices().caption = [](TBitmap&, int32_t, bool, const std::string&) {};
    TheDisplayOrderServices().message = [this](TBitmap&, const std::string& text) { messages.push_back(text); };
  }
  void TearDown() override {
    TheDisplayOrderServices() = DefaultDisplayOrderServices();
    EndDisplayOrderRun();
  }
  std::vector<std::pair<int32_t, int32_t>> cellSizes;
  std::vector<std::string> messages;
  RunFlags run;
};

TEST_F(ComposeTest, GridCellsAreFilledInOrderAndRemembered) {
  TheSettings().Screens = 9;
  TheSettings().Order = OrderSequential;
  auto next = TBitmap::Create(100, 50);
  ComposeScreen(*next, run);
  ASSERT_EQ(cellSizes.size(), 9u);
  EXPECT_EQ(cellSizes[0], (std::pair<int32_t, int32_t>{33, 16}));
  EXPECT_EQ(cellSizes[2], (std::pair<int32_t, int32_t>{34, 16}));
  EXPECT_EQ(cellSizes[8], (std::pair<int32_t, int32_t>{34, 17}));
  // Column c starts at 100 c div 3, row r at 50 r div 3.
  const auto band = [](int32_t v, int32_t size) {
    int32_t c = 0;
    while (c < 2 && size * (c + 1) / 3 <= v) ++c;
    return c;
  };
  for (int32_t y = 0; y < 50; ++y)
    for (int32_t x = 0; x < 100; ++x) {
      const int32_t cell = band(y, 50) * 3 + band(x, 100);
      ASSERT_EQ(next->Pixel(x, y), static_cast<uint32_t>(cell + 1)) << x << "," << y;
    }
  const ScreenHistory& h = TheHistory();
  EXPECT_EQ(h.current.load(), 1);
  EXPECT_EQ(h.replay.load(), 1);
  EXPECT_EQ(h.At(0).count, 9);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(h.At(0).pictures[k], k);
}

TEST_F(ComposeTest, ReplayShowsTheSameScreenAgain) {
  TheSettings().Screens = 0;
  TheSettings().Order = OrderRandom;
  SeedRandom(5);
  auto next = TBitmap::Create(60, 40);
  std::vector<std::vector<uint32_t>> shown;
  for (int k = 0; k < 3; ++k) {
    ComposeScreen(*next, run);
    shown.emplace_back(static_cast<uint32_t*>(next->Bits), static_cast<uint32_t*>(next->Bits) + 60 * 40);
  }
  ScreenHistory& h = TheHistory();
  h.replay = 0;
  h.replaying = true;
  for (int k = 0; k < 3; ++k) {
    ComposeScreen(*next, run);
    EXPECT_EQ(std::vector<uint32_t>(static_cast<uint32_t*>(next->Bits), static_cast<uint32_t*>(next->Bits) + 60 * 40), shown[k]) << k;
  }
  EXPECT_FALSE(h.replaying.load());
  EXPECT_EQ(h.current.load(), 3);
}

TEST_F(ComposeTest, EmptyCatalogueAndStoppedRuns) {
  TheSettings().Screens = 4;
  auto next = TBitmap::Create(40, 40);
  TheCatalogue().Clear();
  TheCatalogue().AddFolder("Root");
  caption_platform::Recorded().clear();
  ComposeScreen(*next, run);
  ASSERT_EQ(caption_platform::Recorded().size(), 1u);
  EXPECT_EQ(caption_platform::Recorded()[0].lines[0].text, kNoPicturesMessage);
  EXPECT_EQ(TheHistory().current.load(), 0);

  TheCatalogue().Item(0)->Pictures->assign({"C:\\p\\0", "C:\\p\\1"});
  TheDisplayOrderServices().load = [this](TBitmap&, const std::string&, const LoadRequest&) {
    run.RequestEnd();  // input ends the run while the first cell is loading
    LoadResult r;
    r.width = r.height = 5;
    cellSizes.push_back({0, 0});
    return r;
  };
  ComposeScreen(*next, run);
  EXPECT_EQ(cellSizes.size(), 1u);
  EXPECT_EQ(TheHistory().current.load(), 0);
  EXPECT_EQ(TheHistory().At(0).pictures[0], 0);  // nothing recorded while stopping
}

TEST(ScreenHistoryRing, WrapsAndMarksItselfFull) {
  ScreenHistory h;
  h.Reset();
  for (int k = 0; k < 100; ++k) {
    h.SetCell(0);
    h.Record(k);
    h.FinishScreen(1);
  }
  EXPECT_FALSE(h.full.load());
  EXPECT_EQ(h.current.load(), 100);
  h.FinishScreen(4);
  EXPECT_TRUE(h.full.load());
  EXPECT_EQ(h.current.load(), 0);
  EXPECT_EQ(h.replay.load(), 0);
  EXPECT_EQ(h.At(100).count, 4);

  // Cells beyond the remembered 25 are neither stored nor replayed.
  h.SetCell(30);
  h.Record(7);
  h.replaying = true;
  h.replay = 5;
  EXPECT_EQ(h.ReplayedPicture(), -1);
  h.SetCell(0);
  EXPECT_EQ(h.ReplayedPicture(), 5);
  EXPECT_EQ(ScreenHistory::Wrap(-1), 100);
}

}  // namespace
}  // namespace kelv
