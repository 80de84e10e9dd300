// The stamp effects through the module's C entries: the descriptor, every shape ending
// on the next picture on every aspect with rising fractions and no stray writes, the
// bookkeeping of revealed pixels at each Wait, the end of the stamping phase at 96 %,
// the stop flag, the mask kept per instance and refilled per run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "fx_rig.hpp"
#include "stamp/stamp_masks.hpp"
#include "stamp/stamp_module.hpp"

namespace {

using fxtest::FakeHost;
namespace st = kelv::stamp;

void RunStamp(FakeHost& host, int32_t effect, int32_t instance = 0, bool hostHeap = false) {
  TEffectModule* d = st::OpenModule(2468, nullptr);
  TEffectSetup r = host.Record(instance, hostHeap);
  ASSERT_EQ(d->setup(&r), 1);
  d->groupEntries[0](effect, instance);
}

int Revealed(const FakeHost& host) {
  int n = 0;
  for (int32_t y = 0; y < host.Height(); ++y)
    for (int32_t x = 0; x < host.Width(); ++x) n += host.ScreenAt(x, y) == host.NextAt(x, y);
  return n;
}

// Non-decreasing fractions in [0, 1]; the last one ends the stamping phase, after which
// the rest is copied without a Wait.
::testing::AssertionResult StampFractions(const std::vector<float>& f, int pixels) {
  if (f.empty()) return ::testing::AssertionFailure() << "no Wait call";
  for (size_t i = 0; i < f.size(); ++i)
    if (!(f[i] >= 0.0f && f[i] <= 1.0f) || (i > 0 && f[i] < f[i - 1]))
      return ::testing::AssertionFailure() << "fraction " << f[i] << " at call " << i;
  const int remaining = pixels - static_cast<int>(f.back() * pixels + 0.5f);
  if (remaining > static_cast<int>(0.04 * pixels))
    return ::testing::AssertionFailure() << remaining << " pixels left when stamping ended";
  return ::testing::AssertionSuccess();
}

TEST(StampDescriptor, OneGroupOfNineShapes) {
  const TEffectModule* d = st::OpenModule(1, nullptr);
  EXPECT_EQ(d->interfaceVersion, KELV_EFFECTMODULE_VERSION);
  EXPECT_EQ(d->moduleVersion, 0x01000007u);
  EXPECT_STREQ(d->name, "Stamp Effects");
  EXPECT_EQ(std::string(d->description).rfind("Stamp Effects plugin ver 1.0.0.7\r\n", 0), 0u);
  ASSERT_EQ(d->groupCount, 1);
  EXPECT_STREQ(d->groupNames[0], "Stamp");
  ASSERT_EQ(d->effectCounts[0], 9);
  const char* names[9] = {"Square", "Circle", "Butterfly", "Flag", "Flower",
                          "Dollar", "UFO",    "Snowflake", "Blot"};
  for (int e = 0; e < 9; ++e) {
    EXPECT_STREQ(d->effectNames[0][e], names[e]);
    EXPECT_EQ(d->effectFlags[0][e], 0);
  }
  EXPECT_NE(std::string(st::kAboutText)
                .find("This plugin include 9 stamp effects: Square, Circle, Butterfly, Flag, "
                      "Flower, Dollar, UFO, Snowflake, Blot\r\n"),
            std::string::npos);
}

struct Shape {
  int32_t w, h, strideExtra;
};

class EveryStamp : public ::testing::TestWithParam<std::tuple<int, Shape>> {};

TEST_P(EveryStamp, EndsOnTheNextPictureWithoutStrayWrites) {
  const Shape s = std::get<1>(GetParam());
  FakeHost host(s.w, s.h, s.strideExtra);
  RunStamp(host, std::get<0>(GetParam()));
  EXPECT_TRUE(host.ScreenEqualsNext());
  EXPECT_TRUE(StampFractions(host.fractions, s.w * s.h));
  EXPECT_TRUE(host.GuardsIntact());
}

std::string StampName(const ::testing::TestParamInfo<std::tuple<int, Shape>>& info) {
  const Shape s = std::get<1>(info.param);
  return "e" + std::to_string(std::get<0>(info.param)) + "_" + std::to_string(s.w) + "x" +
         std::to_string(s.h) + (s.strideExtra ? "_padded" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, EveryStamp,
    ::testing::Combine(::testing::Range(0, 9),
                       ::testing::Values(Shape{1, 1, 0}, Shape{2, 3, 0}, Shape{3, 2, 5},
                                         Shape{17, 9, 0}, Shape{9, 17, 3}, Shape{1, 40, 0},
                                         Shape{40, 1, 2}, Shape{64, 48, 11}, Shape{48, 64, 0},
                                         Shape{120, 120, 0}, Shape{400, 225, 0})),
    StampName);

class EachStamp : public ::testing::TestWithParam<int> {};

// After each stamp the Wait fraction is (n - 1 - k) / n with k + 1 pixels left: the
// screen then shows exactly fraction * n pixels of the next picture. The stamping stops
// at the first Wait with fewer than trunc(0.04 n) + 1 pixels left.
TEST_P(EachStamp, EachWaitCountsTheRevealedPixelsAndStampingEndsAt96Percent) {
  FakeHost host(70, 45, 2);
  const int n = 70 * 45, threshold = static_cast<int>(0.04 * n);
  std::vector<int> left;
  host.onWait = [&](int) {
    const int revealed = Revealed(host);
    ASSERT_EQ(revealed, static_cast<int>(host.fractions.back() * n + 0.5f));
    left.push_back(n - revealed);
  };
  RunStamp(host, GetParam());
  ASSERT_GE(left.size(), 2u);
  EXPECT_LT(left.back(), threshold + 1);
  for (size_t i = 0; i + 1 < left.size(); ++i) EXPECT_GE(left[i], threshold + 1);
  EXPECT_TRUE(host.ScreenEqualsNext());
}

TEST_P(EachStamp, StopFlagSetBeforeTheRunEndsItAfterTheFirstStamp) {
  FakeHost host(31, 23);
  host.stop = 1;
  RunStamp(host, GetParam());
  EXPECT_EQ(host.fractions.size(), 1u);
  EXPECT_FALSE(host.ScreenEqualsNext());
  EXPECT_TRUE(host.GuardsIntact());
}

// A stopped run frees its index array and position map; the mask stays with the
// instance and is not made again by the next run.
TEST_P(EachStamp, StopMidwayFreesTheRunsArraysAndKeepsTheMask) {
  const int32_t instance = 1 + GetParam();  // a fresh instance per shape
  FakeHost host(80, 60);
  host.stopAfterWaits = 3;
  TEffectModule* d = st::OpenModule(9, nullptr);
  TEffectSetup r = host.Record(instance, /*hostHeap=*/true);
  ASSERT_EQ(d->setup(&r), 1);
  const int tables = host.gets;
  d->groupEntries[0](GetParam(), instance);
  EXPECT_EQ(host.fractions.size(), 3u);
  EXPECT_EQ(host.gets - tables - 1, host.frees) << "only the mask may stay";
  const uint8_t* mask = st::InstanceMask(instance);
  ASSERT_NE(mask, nullptr);
  host.stop = 0;
  host.stopAfterWaits = -1;
  const int before = host.gets;
  d->groupEntries[0](GetParam(), instance);
  EXPECT_EQ(st::InstanceMask(instance), mask);
  EXPECT_EQ(host.gets - before, 3) << "index array, position map and cell list only";
  EXPECT_TRUE(host.ScreenEqualsNext());
}

INSTANTIATE_TEST_SUITE_P(All, EachStamp, ::testing::Range(0, 9));

// Two different shapes on the same instance one after the other: the second run's mask
// holds exactly the second shape, no cell of the first one.
TEST(StampMask, ASecondShapeLeavesNoCellsOfTheFirst) {
  std::vector<uint8_t> expected(st::kMaskBytes);
  for (const auto [first, second] : {std::pair{8, 0}, std::pair{0, 8}, std::pair{2, 5}, std::pair{5, 1}}) {
    FakeHost host(50, 40);
    RunStamp(host, first, 10);
    RunStamp(host, second, 10);
    st::FillMask(expected.data(), second);
    ASSERT_NE(st::InstanceMask(10), nullptr);
    EXPECT_EQ(std::memcmp(st::InstanceMask(10), expected.data(), st::kMaskBytes), 0)
        << first << " then " << second;
    EXPECT_TRUE(host.ScreenEqualsNext());
  }
}

int CountCells(const std::vector<uint8_t>& mask, int c0, int c1, int r0, int r1) {
  int n = 0;
  for (int y = r0; y <= r1; ++y)
    for (int x = c0; x <= c1; ++x) n += mask[y * 100 + x];
  return n;
}

TEST(StampMask, SquareAndCircleHaveTheirExactCells) {
  std::vector<uint8_t> m(st::kMaskBytes, 7);
  st::FillMask(m.data(), st::kSquare);
  EXPECT_EQ(CountCells(m, 41, 59, 41, 59), 19 * 19);
  EXPECT_EQ(CountCells(m, 0, 99, 0, 99), 19 * 19);
  st::FillMask(m.data(), st::kCircle);
  int disc = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const bool in = (x - 50) * (x - 50) + (y - 50) * (y - 50) <= 100;
      disc += in;
      EXPECT_EQ(m[y * 100 + x], in ? 1 : 0) << x << "," << y;
    }
  EXPECT_EQ(disc, 317);
}

// The drawn shapes stay inside their areas of the grid, cover a real part of it (a
// drawing, not a speck or a filled box), include the stamp's centre, and the dollar's
// bar runs the full height three cells wide.
TEST(StampMask, PicturesStayInsideTheirAreasAndCoverTheCentre) {
  std::vector<uint8_t> m(st::kMaskBytes);
  for (int shape = st::kButterfly; shape <= st::kBlot; ++shape) {
    const st::BitPicture p = st::PictureOf(shape);
    ASSERT_NE(p.cells, nullptr);
    st::FillMask(m.data(), shape);
    const int inside = CountCells(m, p.column, p.column + p.width - 1, p.row, p.row + p.height - 1);
    EXPECT_EQ(CountCells(m, 0, 99, 0, 99), inside) << shape;
    EXPECT_GT(inside, p.width * p.height / 5) << shape;
    EXPECT_LT(inside, p.width * p.height * 4 / 5) << shape;
    EXPECT_EQ(m[50 * 100 + 50], 1) << shape;
  }
  EXPECT_EQ(st::PictureOf(st::kDollar).width, 24);
  EXPECT_EQ(st::PictureOf(st::kDollar).height, 35);
  EXPECT_EQ(st::PictureOf(st::kBlot).width, 48);
  EXPECT_EQ(st::PictureOf(st::kBlot).height, 47);
  st::FillMask(m.data(), st::kDollar);
  EXPECT_EQ(CountCells(m, 49, 51, 32, 66), 3 * 35);
  EXPECT_EQ(CountCells(m, 48, 48, 32, 36) + CountCells(m, 52, 52, 32, 36), 0);  // bare bar on top
}

}  // namespace
