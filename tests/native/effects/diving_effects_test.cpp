// The diving effects through the module's C entries: the descriptor, every effect ending
// on the complete next picture on every aspect (portrait and square areas and the odd
// sizes whose outlines miss pixels included), rising fractions, no stray writes, the stop
// flag, and the geometry of the outlines seen at their Wait calls.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "divingfx/divingfx_module.hpp"
#include "fx_rig.hpp"

namespace {

using fxtest::FakeHost;
namespace dfx = kelv::divingfx;

enum Effect { kSquareOut, kSquareIn, kCircleOut, kCircleIn, kRandomOut, kRandomIn, kSpiralOut, kSpiralIn };

void RunDive(FakeHost& host, int32_t effect, bool hostHeap = false) {
  TEffectModule* d = dfx::OpenModule(4321, nullptr);
  TEffectSetup r = host.Record(0, hostHeap);
  ASSERT_EQ(d->setup(&r), 1);
  d->groupEntries[0](effect, 0);
}

// Pixels of the screen that already show the next picture (every pixel differs between
// the rig's two pictures).
int Revealed(const FakeHost& host) {
  int n = 0;
  for (int32_t y = 0; y < host.Height(); ++y)
    for (int32_t x = 0; x < host.Width(); ++x) n += host.ScreenAt(x, y) == host.NextAt(x, y);
  return n;
}

TEST(DivingFxDescriptor, OneGroupOfEightEffects) {
  const TEffectModule* d = dfx::OpenModule(1, nullptr);
  EXPECT_EQ(d->interfaceVersion, KELV_EFFECTMODULE_VERSION);
  EXPECT_EQ(d->moduleVersion, 0x01000001u);
  EXPECT_STREQ(d->name, "Diving Effects");
  EXPECT_EQ(std::string(d->description).rfind("Diving Effects plugin ver 1.0.0.1\r\n", 0), 0u);
  ASSERT_EQ(d->groupCount, 1);
  EXPECT_STREQ(d->groupNames[0], "Diving");
  ASSERT_EQ(d->effectCounts[0], 8);
  const char* names[8] = {"Square out", "Square in", "Circle out", "Circle in",
                          "Random Circle out", "Random Circle in", "Spiral out", "Spiral in"};
  for (int e = 0; e < 8; ++e) {
    EXPECT_STREQ(d->effectNames[0][e], names[e]);
    EXPECT_EQ(d->effectFlags[0][e], 0);
  }
  EXPECT_EQ(std::string(dfx::kAboutText).rfind("This is Diving transition effects plugin.\r\n"
                                                "This plugin include 8 effects\r\n\r\n", 0), 0u);
}

struct Shape {
  int32_t w, h, strideExtra;
};

class EveryDive : public ::testing::TestWithParam<std::tuple<int, Shape>> {};

TEST_P(EveryDive, EndsOnTheWholeNextPictureWithRisingFractionsAndNoStrayWrites) {
  const int effect = std::get<0>(GetParam());
  const Shape s = std::get<1>(GetParam());
  FakeHost host(s.w, s.h, s.strideExtra);
  RunDive(host, effect);
  EXPECT_TRUE(host.ScreenEqualsNext()) << Revealed(host) << " of " << s.w * s.h << " revealed";
  EXPECT_TRUE(fxtest::FractionsMonotoneToOne(host.fractions));
  EXPECT_TRUE(host.GuardsIntact());
}

std::string DiveName(const ::testing::TestParamInfo<std::tuple<int, Shape>>& info) {
  const Shape s = std::get<1>(info.param);
  return "e" + std::to_string(std::get<0>(info.param)) + "_" + std::to_string(s.w) + "x" +
         std::to_string(s.h) + (s.strideExtra ? "_padded" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, EveryDive,
    ::testing::Combine(::testing::Range(0, 8),
                       ::testing::Values(Shape{1, 1, 0}, Shape{2, 3, 0}, Shape{3, 2, 5},
                                         Shape{2, 2, 0}, Shape{17, 9, 0}, Shape{9, 17, 3},
                                         Shape{5, 5, 0}, Shape{1, 40, 0}, Shape{40, 1, 2},
                                         Shape{64, 48, 11}, Shape{48, 64, 0}, Shape{33, 33, 1},
                                         Shape{321, 180, 0}, Shape{180, 321, 7})),
    DiveName);

class EachDive : public ::testing::TestWithParam<int> {};

TEST_P(EachDive, StopFlagSetBeforeTheRunEndsItAfterTheFirstStep) {
  FakeHost host(31, 23);
  host.stop = 1;
  RunDive(host, GetParam());
  EXPECT_EQ(host.fractions.size(), 1u);
  EXPECT_TRUE(host.GuardsIntact());
}

TEST_P(EachDive, StopMidwayLeavesThePictureHalfDrawnAndAllocatesNothing) {
  FakeHost host(64, 40, 3);
  host.stopAfterWaits = 5;
  TEffectModule* d = dfx::OpenModule(8, nullptr);
  TEffectSetup r = host.Record(0, /*hostHeap=*/true);
  ASSERT_EQ(d->setup(&r), 1);
  const int tables = host.gets;
  d->groupEntries[0](GetParam(), 0);
  EXPECT_EQ(host.fractions.size(), 5u);
  EXPECT_FALSE(host.ScreenEqualsNext());
  EXPECT_EQ(host.gets, tables);
  EXPECT_TRUE(host.GuardsIntact());
}

// Halfway through, a portrait, a square and a landscape area all show both pictures:
// the shapes draw on every aspect instead of leaving the old picture until the end.
TEST_P(EachDive, HalfwayFrameMixesBothPicturesOnEveryAspect) {
  for (const Shape s : {Shape{120, 200, 0}, Shape{150, 150, 0}, Shape{200, 120, 0}}) {
    FakeHost host(s.w, s.h);
    int half = -1;
    host.onWait = [&](int) {
      if (half < 0 && host.fractions.back() >= 0.5f) half = Revealed(host);
    };
    RunDive(host, GetParam());
    const int n = s.w * s.h;
    EXPECT_GT(half, n / 20) << s.w << "x" << s.h;
    EXPECT_LT(half, n - n / 20) << s.w << "x" << s.h;
    EXPECT_TRUE(host.ScreenEqualsNext());
  }
}

INSTANTIATE_TEST_SUITE_P(All, EachDive, ::testing::Range(0, 8));

// "Square out" on a square area: after outline i the revealed pixels are exactly the
// filled square of rows and columns hh - i .. H div 2 + i.
TEST(DivingSquare, OutOnASquareAreaGrowsBothSidesEqually) {
  FakeHost host(20, 20);
  int checked = 0;
  host.onWait = [&](int n) {
    if (host.fractions.back() >= 1.0f) return;
    const int i = n - 1, lo = 9 - i, hi = 10 + i;
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x) {
        const bool inside = x >= lo && x <= hi && y >= lo && y <= hi;
        ASSERT_EQ(host.ScreenAt(x, y) == host.NextAt(x, y), inside) << "outline " << i << " at " << x << "," << y;
      }
    ++checked;
  };
  RunDive(host, kSquareOut);
  EXPECT_EQ(checked, 9);  // outlines 0 .. 8 before the last one
  EXPECT_TRUE(host.ScreenEqualsNext());
}

// "Square in" on a wide area: the first outline is the border of the picture, and the
// revealed frame thickens by one column and about hh/hw of a row per step.
TEST(DivingSquare, InStartsAtTheBorderAndKeepsTheProportions) {
  FakeHost host(40, 20);
  std::vector<int> revealed;
  host.onWait = [&](int) { revealed.push_back(Revealed(host)); };
  RunDive(host, kSquareIn);
  ASSERT_GE(revealed.size(), 2u);
  EXPECT_EQ(revealed[0], 2 * 40 + 2 * 18);  // the border ring
  for (int32_t x = 0; x < 40; ++x) EXPECT_EQ(host.ScreenAt(x, 0), host.NextAt(x, 0));
  EXPECT_EQ(host.fractions.size(), 19u + 1u);  // outlines 0 .. hw - 1, then the final Wait(1)
}

// Circle rings never run ahead of their radius: at each Wait every revealed pixel lies
// within the radius just drawn (plus a pixel of truncation) of the centre.
TEST(DivingCircle, OutRevealsOnlyInsideTheCurrentRadius) {
  for (const Shape s : {Shape{160, 90, 0}, Shape{90, 160, 0}}) {
    FakeHost host(s.w, s.h);
    const double hw = s.w / 2 - 1, hh = s.h / 2 - 1;
    const double rm = std::floor(std::sqrt(hw * hw + hh * hh));
    int farOut = 0;
    host.onWait = [&](int) {
      const float f = host.fractions.back();
      if (f >= 1.0f) return;
      const double r = f * rm;  // the radius about to be drawn; the last one drawn is r - 0.71
      for (int32_t y = 0; y < s.h; ++y)
        for (int32_t x = 0; x < s.w; ++x) {
          if (host.ScreenAt(x, y) != host.NextAt(x, y)) continue;
          const double dx = x < s.w / 2 ? hw - x : x - s.w / 2;
          const double dy = y < s.h / 2 ? hh - y : y - s.h / 2;
          farOut += std::sqrt(dx * dx + dy * dy) > r + 1.0;
        }
    };
    RunDive(host, kCircleOut);
    EXPECT_EQ(farOut, 0) << s.w << "x" << s.h;
    EXPECT_TRUE(host.ScreenEqualsNext());
  }
}

// Random circle: the first ring is a handful of pixels around one point, and the last
// Wait before the completion has reached (nearly) the whole picture, since the radius
// runs to the farthest corner.
TEST(DivingRandomCircle, StartsAtOnePointAndReachesTheFarthestCorner) {
  for (int seed = 0; seed < 6; ++seed) {
    FakeHost host(90, 50);
    int first = -1, beforeLast = 0;
    host.onWait = [&](int n) {
      if (n == 1) first = Revealed(host);
      if (host.fractions.back() < 1.0f) beforeLast = Revealed(host);
    };
    TEffectModule* d = dfx::OpenModule(777 + seed, nullptr);
    TEffectSetup r = host.Record();
    ASSERT_EQ(d->setup(&r), 1);
    d->groupEntries[0](kRandomOut, 0);
    EXPECT_GE(first, 1);
    EXPECT_LE(first, 8);
    EXPECT_GT(beforeLast, 90 * 50 * 9 / 10);
    EXPECT_TRUE(host.ScreenEqualsNext());
  }
}

// Spiral in: the band sweeps the outside first, so halfway through the centre pixel
// still shows the old picture while the corners show the new one.
TEST(DivingSpiral, InCoversTheCornersBeforeTheCentre) {
  FakeHost host(200, 100);
  bool checked = false;
  host.onWait = [&](int) {
    if (checked || host.fractions.back() < 0.5f) return;
    checked = true;
    EXPECT_NE(host.ScreenAt(99, 49), host.NextAt(99, 49));
    EXPECT_EQ(host.ScreenAt(0, 0), host.NextAt(0, 0));
    EXPECT_EQ(host.ScreenAt(199, 99), host.NextAt(199, 99));
  };
  RunDive(host, kSpiralIn);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(host.ScreenEqualsNext());
}

}  // namespace
