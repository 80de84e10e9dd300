// The incremental resize: rows in the file's order and orientation must give the same
// target pixels as the whole upright picture drawn by the composition's rules, and
// protocol violations end it with their texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "common/exception.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/motion_frame.hpp"
#include "imaging/resample_placement.hpp"
#include "imaging/resampler.hpp"
#include "imaging/resample_row_pipeline.hpp"
#include "imaging/resample_row_stream.hpp"
#include "imaging/resampler_rowsink.hpp"

namespace kelv {
namespace {

struct Upright {
  int32_t w, h;
  std::vector<uint32_t> px;  // blue, green, red, 0
  uint32_t At(int32_t x, int32_t y) const { return px[size_t(y) * w + x]; }
};

Upright Noise(int32_t w, int32_t h, uint32_t seed) {
  Upright u{w, h, std::vector<uint32_t>(size_t(w) * h)};
  std::mt19937 gen(seed);
  for (auto& p : u.px) p = gen() & 0x00FFFFFFu;
  return u;
}

// The file's rows for orientation o: the decoder turns file pixel (c, r) of a fw x fh
// file into upright pixel (X, Y) by the EXIF table, so the file holds the inverse.
std::vector<std::vector<uint8_t>> FileRows(const Upright& u, int32_t o, bool bgr, int32_t& fw,
                                           int32_t& fh) {
  const bool swap = o >= 5;
  fw = swap ? u.h : u.w;
  fh = swap ? u.w : u.h;
  std::vector<std::vector<uint8_t>> rows(fh, std::vector<uint8_t>(size_t(fw) * 3));
  for (int32_t r = 0; r < fh; ++r) {
    for (int32_t c = 0; c < fw; ++c) {
      int32_t X = c, Y = r;
      switch (o) {
        case 2: X = fw - 1 - c; break;
        case 3: X = fw - 1 - c; Y = fh - 1 - r; break;
        case 4: Y = fh - 1 - r; break;
        case 5: X = r; Y = c; break;
        case 6: X = fh - 1 - r; Y = c; break;
        case 7: X = fh - 1 - r; Y = fw - 1 - c; break;
        case 8: X = r; Y = fw - 1 - c; break;
        default: break;
      }
      const uint32_t p = u.At(X, Y);
      const uint8_t b = p & 0xFF, g = (p >> 8) & 0xFF, rd = (p >> 16) & 0xFF;
      uint8_t* out = &rows[r][size_t(c) * 3];
      out[0] = bgr ? b : rd;
      out[1] = g;
      out[2] = bgr ? rd : b;
    }
  }
  return rows;
}

struct Scene {
  int32_t pw, ph;
  bool enlarge, randomPos, crop, shrink;
  int32_t quality;
};

std::unique_ptr<TBitmap> MakeTarget(const Scene& s) {
  auto t = TBitmap::Create(s.pw, s.ph);
  t->Enlarge = s.enlarge;
  t->RandomPos = s.randomPos;
  t->Crop = s.crop;
  t->Shrink = s.shrink;
  std::memset(t->Bits, 0xEE, size_t(s.pw) * s.ph * 4);
  return t;
}

// The whole-buffer way: the upright picture placed and resampled as the composition does.
std::vector<uint8_t> WholeBuffer(const Scene& s, const Upright& u) {
  auto t = MakeTarget(s);
  std::memset(t->Bits, 0, size_t(s.pw) * s.ph * 4);
  PlacementOptions o{s.shrink, s.enlarge, s.randomPos, s.crop, s.quality};
  const PicturePlacement p = PlacePicture(s.pw, s.ph, o, u.w, u.h, RandomReal);
  auto src = TBitmap::CreateFromBits(u.w, u.h, const_cast<uint32_t*>(u.px.data()));
  if (p.scaled) {
    EXPECT_TRUE(p.resample);
    Resample(t.get(), p.destX, p.destY, p.destW, p.destH, src.get(), p.windowX, p.windowY,
             p.windowW, p.windowH, p.filter, 0.0f);
  } else {
    for (int32_t y = 0; y < p.destH; ++y)
      for (int32_t x = 0; x < p.destW; ++x)
        t->Pixel(p.destX + x, p.destY + y) = u.At(p.copyX + x, p.copyY + y);
  }
  const uint8_t* b = static_cast<const uint8_t*>(t->Bits);
  return {b, b + size_t(s.pw) * s.ph * 4};
}

std::vector<uint8_t> RowByRow(const Scene& s, const Upright& u, int32_t o, bool bgr,
                              PlacedArea* area = nullptr, double largerZoom = 0,
                              std::unique_ptr<TBitmap>* larger = nullptr, int32_t* calls = nullptr) {
  auto t = MakeTarget(s);
  int32_t fw = 0, fh = 0;
  const auto rows = FileRows(u, o, bgr, fw, fh);
  PrepareIncrementalResize(*t, s.quality, largerZoom, calls ? std::function<void()>([calls] { ++*calls; }) : nullptr);
  EXPECT_TRUE(RowSink(o | (bgr ? 0x100 : 0), -1, fw, fh));
  for (int32_t r = 0; r < fh; ++r) {
    EXPECT_TRUE(RowSink(reinterpret_cast<intptr_t>(rows[r].data()), r, fw, fh));
  }
  EXPECT_TRUE(IncrementalResizeDrawn());
  if (area) *area = IncrementalResizeArea();
  if (larger) *larger = TakeIncrementalLarger();
  WithdrawIncrementalResize();
  EXPECT_EQ(IncrementalResizeArea().width, 0);
  const uint8_t* b = static_cast<const uint8_t*>(t->Bits);
  return {b, b + size_t(s.pw) * s.ph * 4};
}

TEST(IncrementalResize, EveryOrientationGivesTheWholeBufferPixels) {
  struct Case {
    Scene setup;
    int32_t w, h;
  };
  const Case cases[] = {
      {{40, 30, false, false, false, true, ResizeGood}, 90, 61},    // reduce, bars top/bottom
      {{40, 32, false, false, true, true, ResizeBest}, 90, 60},     // cropped window
      {{30, 40, false, false, false, true, ResizeBest}, 67, 50},    // bars left/right
      {{120, 90, true, false, false, true, ResizeGood}, 55, 20},    // enlarge
      {{96, 72, true, false, true, true, ResizeBest}, 70, 44},      // cropped and enlarged
      {{40, 30, false, false, false, true, ResizeGood}, 23, 13},    // unscaled, centred
      {{40, 30, false, true, false, true, ResizeBest}, 23, 13},     // unscaled, random place
      {{40, 30, false, false, false, true, ResizeGood}, 40, 30},    // exact fit
      {{40, 30, false, false, true, true, ResizeGood}, 44, 33},     // cropped to exact fit
      // A megapixel and more: the passes run on the helper thread.
      {{160, 120, false, false, false, true, ResizeGood}, 1250, 820},
  };
  uint32_t seed = 100;
  for (const Case& c : cases) {
    const Upright u = Noise(c.w, c.h, seed++);
    SeedRandom(77);
    const std::vector<uint8_t> expected = WholeBuffer(c.setup, u);
    // The area the picture covers, which the blurred background keeps clear of.
    SeedRandom(77);
    const PlacementOptions options{c.setup.shrink, c.setup.enlarge, c.setup.randomPos, c.setup.crop,
                                   c.setup.quality};
    const PlacedArea covered =
        CoveredArea(PlacePicture(c.setup.pw, c.setup.ph, options, c.w, c.h, RandomReal), c.setup.pw, c.setup.ph);
    for (int32_t o = 1; o <= 8; ++o) {
      for (bool bgr : {false, true}) {
        SeedRandom(77);
        PlacedArea area;
        ASSERT_EQ(RowByRow(c.setup, u, o, bgr, &area), expected)
            << c.w << "x" << c.h << " into " << c.setup.pw << "x" << c.setup.ph
            << " orientation " << o << (bgr ? " BGR" : " RGB");
        ASSERT_EQ(std::tie(area.left, area.top, area.width, area.height),
                  std::tie(covered.left, covered.top, covered.width, covered.height));
      }
    }
    // A moving picture: the same rows also make its larger copy, the window resampled
    // as the whole-buffer way would; the still stays as it was. The show's call between
    // rows comes after every row but the last.
    SeedRandom(77);
    const PicturePlacement placed = PlacePicture(c.setup.pw, c.setup.ph, options, c.w, c.h, RandomReal);
    PicturePlacement big;
    const bool copied = MotionSourcePlacement(placed, c.setup.pw, c.setup.ph, 1.15, big);
    std::vector<uint8_t> expectedLarger;
    if (copied) {
      EXPECT_LE(big.destW, std::lround(placed.destW * 1.15));
      EXPECT_GT(big.destW, placed.destW);
      auto whole = TBitmap::Create(big.destW, big.destH);
      auto src = TBitmap::CreateFromBits(c.w, c.h, const_cast<uint32_t*>(u.px.data()));
      Resample(whole.get(), 0, 0, big.destW, big.destH, src.get(), placed.windowX, placed.windowY, placed.windowW,
               placed.windowH, placed.filter, 0.0f);
      const uint8_t* b = static_cast<const uint8_t*>(whole->Bits);
      expectedLarger.assign(b, b + size_t(big.destW) * big.destH * 4);
    }
    for (int32_t o : {1, 3, 6, 8}) {
      SeedRandom(77);
      std::unique_ptr<TBitmap> larger;
      int32_t calls = 0;  // the moving screen's frames meanwhile: after every row but the last
      ASSERT_EQ(RowByRow(c.setup, u, o, false, nullptr, 1.15, &larger, &calls), expected) << "orientation " << o;
      EXPECT_EQ(calls, (o >= 5 ? c.w : c.h) - 1);
      ASSERT_EQ(larger != nullptr, copied) << c.w << "x" << c.h << " orientation " << o;
      if (!larger) continue;
      const uint8_t* b = static_cast<const uint8_t*>(larger->Bits);
      ASSERT_EQ(std::vector<uint8_t>(b, b + size_t(larger->Width) * larger->Height * 4), expectedLarger)
          << c.w << "x" << c.h << " orientation " << o;
    }
  }
}

// Both passes may run on a second thread, the vertical one writing destination rows as
// soon as their rows are in: a picture given up halfway (the loader withdraws it, or a
// protocol violation ends it) must stop that work before its buffers go, leave its
// target cleared as it was after the header, and the next picture must still come out
// whole. Rows come from the top (orientation 1) or from the bottom (3), or are columns
// (6).
TEST(IncrementalResize, PictureGivenUpHalfwayLeavesTheNextOneWhole) {
  const Scene s{160, 120, false, false, false, true, ResizeBest};
  const Upright u = Noise(1250, 820, 5);  // large enough for the helper thread
  const std::vector<uint8_t> expected = WholeBuffer(s, u);
  const std::vector<uint8_t> cleared(size_t(s.pw) * s.ph * 4, 0);
  for (int32_t o : {1, 3, 6}) {
    int32_t fw = 0, fh = 0;
    const auto rows = FileRows(u, o, true, fw, fh);
    for (int ending = 0; ending < 2; ++ending) {
      auto t = MakeTarget(s);
      PrepareIncrementalResize(*t, s.quality);
      ASSERT_TRUE(RowSink(o | 0x100, -1, fw, fh));
      for (int32_t r = 0; r < fh * 3 / 4; ++r) {
        ASSERT_TRUE(RowSink(reinterpret_cast<intptr_t>(rows[r].data()), r, fw, fh));
      }
      if (ending == 0) {
        WithdrawIncrementalResize();
      } else {
        EXPECT_THROW(RowSink(reinterpret_cast<intptr_t>(rows[0].data()), 0, fw, fh), Exception);
      }
      const std::string how = std::string(ending ? "after a violation" : "after a withdrawal") +
                              ", orientation " + std::to_string(o);
      EXPECT_FALSE(IncrementalResizeDrawn());
      const uint8_t* b = static_cast<const uint8_t*>(t->Bits);
      EXPECT_TRUE(std::equal(cleared.begin(), cleared.end(), b)) << how;
      EXPECT_EQ(RowByRow(s, u, o, true), expected) << how;
    }
  }
}

TEST(IncrementalResize, OrientationsOutsideOneToEightCountAsOne) {
  const Scene s{40, 30, false, false, false, true, ResizeGood};
  const Upright u = Noise(70, 45, 9);
  const std::vector<uint8_t> expected = RowByRow(s, u, 1, false);
  for (int32_t o : {0, 9, 255}) {
    auto t = MakeTarget(s);
    int32_t fw = 0, fh = 0;
    const auto rows = FileRows(u, 1, false, fw, fh);
    PrepareIncrementalResize(*t, s.quality);
    ASSERT_TRUE(RowSink(o, -1, fw, fh));
    for (int32_t r = 0; r < fh; ++r) RowSink(reinterpret_cast<intptr_t>(rows[r].data()), r, fw, fh);
    const uint8_t* b = static_cast<const uint8_t*>(t->Bits);
    EXPECT_EQ(std::vector<uint8_t>(b, b + expected.size()), expected) << o;
    WithdrawIncrementalResize();
  }
}

TEST(IncrementalResize, RefusesPicturesForThePlainStretch) {
  // A 40 x 30 picture enlarged onto 160 x 120 is under 50 pixels both ways: the
  // composition stretches it, so it has to come as a whole buffer. The target stays.
  const Scene s{160, 120, true, false, false, true, ResizeGood};
  auto t = MakeTarget(s);
  PrepareIncrementalResize(*t, ResizeGood);
  EXPECT_FALSE(RowSink(1, -1, 40, 30));
  EXPECT_EQ(static_cast<uint8_t*>(t->Bits)[0], 0xEE);
  // Pictures thinner than 11 pixels are not resampled either.
  EXPECT_FALSE(RowSink(1, -1, 400, 10));
  WithdrawIncrementalResize();
}

std::string MessageOf(intptr_t a, int32_t b, int32_t w, int32_t h) {
  try {
    RowSink(a, b, w, h);
  } catch (const Exception& e) {
    return e.message();
  }
  return "no exception";
}

TEST(IncrementalResize, ProtocolViolationsRaiseTheirTexts) {
  const Scene s{40, 30, false, false, false, true, ResizeGood};
  auto t = MakeTarget(s);
  std::vector<uint8_t> row(size_t(80) * 3, 0);
  const intptr_t rp = reinterpret_cast<intptr_t>(row.data());

  WithdrawIncrementalResize();
  EXPECT_EQ(MessageOf(1, -1, 80, 60), "not ResizeStarted and not StartResize");
  EXPECT_EQ(MessageOf(rp, 0, 80, 60), "not ResizeStarted and not StartResize");

  PrepareIncrementalResize(*t, ResizeGood);
  EXPECT_EQ(MessageOf(rp, 0, 80, 60), "not ResizeStarted and curLine=0, height=60");

  PrepareIncrementalResize(*t, ResizeGood);
  ASSERT_TRUE(RowSink(1, -1, 80, 60));
  EXPECT_EQ(MessageOf(1, -1, 80, 60), "ResizeStarted and curLine=-1");
  // The exception ended the resize: nothing is expected any more.
  EXPECT_EQ(MessageOf(rp, 0, 80, 60), "not ResizeStarted and not StartResize");

  PrepareIncrementalResize(*t, ResizeGood);
  ASSERT_TRUE(RowSink(1, -1, 80, 60));
  ASSERT_TRUE(RowSink(rp, 0, 80, 60));
  EXPECT_EQ(MessageOf(rp, 2, 80, 60), "prevLine=0, curLine=2");

  PrepareIncrementalResize(*t, ResizeGood);
  ASSERT_TRUE(RowSink(1, -1, 80, 60));
  ASSERT_TRUE(RowSink(rp, 0, 80, 60));
  EXPECT_EQ(MessageOf(rp, 1, 79, 61), "ResSourcewidth=80, width=79, ResSourceheight=60, height=61");

  // After the last row the resize is over.
  PrepareIncrementalResize(*t, ResizeGood);
  ASSERT_TRUE(RowSink(1, -1, 20, 2));
  ASSERT_TRUE(RowSink(rp, 0, 20, 2));
  EXPECT_FALSE(IncrementalResizeDrawn());
  ASSERT_TRUE(RowSink(rp, 1, 20, 2));
  EXPECT_TRUE(IncrementalResizeDrawn());
  EXPECT_EQ(MessageOf(1, -1, 20, 2), "not ResizeStarted and not StartResize");
  WithdrawIncrementalResize();
}

TEST(IncrementalResize, LargerPictureWithoutShrinkIsAnInternalError) {
  const Scene s{40, 30, false, false, false, false, ResizeGood};
  auto t = MakeTarget(s);
  PrepareIncrementalResize(*t, ResizeGood);
  // Orientation 6: the display size is the file's size turned.
  EXPECT_EQ(MessageOf(6, -1, 80, 100),
            "internal error in InitResize, width=100, height=80, width1=40, height1=30");
  WithdrawIncrementalResize();
}

TEST(IncrementalResize, RowWithoutPixelsIsRefused) {
  const Scene s{40, 30, false, false, false, true, ResizeGood};
  auto t = MakeTarget(s);
  PrepareIncrementalResize(*t, ResizeGood);
  ASSERT_TRUE(RowSink(1, -1, 80, 60));
  EXPECT_EQ(MessageOf(0, 0, 80, 60), "RowSink without row, curLine=0");
  WithdrawIncrementalResize();
}

// A failure on the helper thread (a pass out of memory) must not end the process: the
// decoder's thread raises it in its next call, and the destination rows written so far
// are cleared again.
TEST(RowPipeline, FailureOnTheHelperIsRaisedOnTheDecodersThread) {
  constexpr int32_t kW = 64, kRows = 400, kDestH = 100;
  const TContributors across = BuildContributors(kW, kW / 2, 0, 4, 0, 0.0f);
  const TContributors down = BuildContributors(kRows, kDestH, 0, kW / 2 * 3, 0, 0.0f);
  std::vector<uint8_t> dest(size_t(kW / 2) * 4 * kDestH, 0);
  std::atomic<int> unpacked{0};
  {
    RowStream passes(across, down, kW / 2, kRows, false, dest.data(), kW / 2 * 4);
    std::vector<uint8_t> pixels(size_t(kW) * 4);
    auto pipeline = RowPipeline::Start(size_t(kW) * 3, [&](const uint8_t* row, int32_t r) {
      if (++unpacked == kRows / 2) throw std::bad_alloc();
      for (int32_t x = 0; x < kW; ++x) std::memcpy(&pixels[4 * x], row + 3 * x, 3);
      passes.Add(pixels.data(), r);
    });
    if (!pipeline) GTEST_SKIP() << "no second processor";
    bool raised = false;
    try {
      for (int32_t r = 0; r < kRows; ++r) {
        std::memset(pipeline->Line(), 200, size_t(kW) * 3);
        pipeline->Submit(r);
      }
      pipeline->Finish();
    } catch (const std::bad_alloc&) {
      raised = true;
    }
    EXPECT_TRUE(raised);
    EXPECT_NE(std::count(dest.begin(), dest.end(), uint8_t{200}), 0) << "no row was written";
  }
  EXPECT_TRUE(std::all_of(dest.begin(), dest.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace kelv
