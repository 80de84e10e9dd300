// Every default effect through the module's C entries on pictures of many shapes: the
// run ends on the next picture (in-place effects on the documented gray picture), the
// Wait fractions climb to 1, nothing outside the buffers is written, and a stop flag
// ends a run at once without leaking what it allocated.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "basicfx/basicfx_module.hpp"
#include "basicfx/effects.hpp"
#include "fx_rig.hpp"

namespace {

using fxtest::FakeHost;

struct EffectId {
  int32_t group;
  int32_t effect;
};

std::vector<EffectId> AllEffects() {
  const TEffectModule* d = kelv::basicfx::OpenModule(1234, nullptr);
  std::vector<EffectId> all;
  for (int32_t g = 0; g < d->groupCount; ++g)
    for (int32_t e = 0; e < d->effectCounts[g]; ++e) all.push_back({g, e});
  return all;
}

uint8_t FlagsOf(EffectId id) {
  return kelv::basicfx::Module().Descriptor().effectFlags[id.group][id.effect];
}

// The host's sequence for one change: pre-step, prepare, run.
void RunChange(FakeHost& host, EffectId id, bool withSteps = true) {
  TEffectModule* d = kelv::basicfx::OpenModule(99, nullptr);
  TEffectSetup r = host.Record();
  ASSERT_EQ(d->setup(&r), 1);
  const uint8_t flags = FlagsOf(id);
  if (withSteps && (flags & KELV_FX_PRE_STEP)) d->groupEntries[id.group](KELV_FX_COMMAND_PRE_STEP + id.effect, 0);
  if (withSteps && (flags & KELV_FX_PREPARE)) d->groupEntries[id.group](KELV_FX_COMMAND_PREPARE + id.effect, 0);
  d->groupEntries[id.group](id.effect, 0);
}

std::vector<uint32_t> Gray(const std::vector<uint32_t>& p) {
  std::vector<uint32_t> g(p);
  for (auto& v : g) v = kelv::basicfx::GrayPixel(v);
  return g;
}

// What the screen must show after an unstopped run.
std::vector<uint32_t> Expected(FakeHost& host, EffectId id) {
  if (id.group == kelv::basicfx::kGrayScale && id.effect == 0) return Gray(host.CopyScreen());
  return host.CopyNext();  // "Gray to Color" after its pre-step ends on the colour picture
}

struct Shape {
  int32_t w, h, strideExtra;
};

class EveryEffect : public ::testing::TestWithParam<std::tuple<int, Shape>> {};

TEST_P(EveryEffect, EndsOnTheNextPictureWithRisingFractionsAndNoStrayWrites) {
  const EffectId id = AllEffects()[std::get<0>(GetParam())];
  const Shape s = std::get<1>(GetParam());
  FakeHost host(s.w, s.h, s.strideExtra);
  const std::vector<uint32_t> expected = Expected(host, id);
  RunChange(host, id);
  EXPECT_TRUE(host.ScreenEquals(expected)) << "screen differs at the end";
  EXPECT_TRUE(fxtest::FractionsMonotoneToOne(host.fractions));
  EXPECT_TRUE(host.GuardsIntact());
}

std::string EffectName(const ::testing::TestParamInfo<std::tuple<int, Shape>>& info) {
  const EffectId id = AllEffects()[std::get<0>(info.param)];
  const Shape s = std::get<1>(info.param);
  return "g" + std::to_string(id.group) + "e" + std::to_string(id.effect) + "_" +
         std::to_string(s.w) + "x" + std::to_string(s.h) + (s.strideExtra ? "_padded" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, EveryEffect,
    ::testing::Combine(::testing::Range(0, 29),
                       ::testing::Values(Shape{1, 1, 0}, Shape{2, 3, 0}, Shape{3, 2, 5},
                                         Shape{17, 9, 0}, Shape{9, 17, 3}, Shape{5, 5, 0},
                                         Shape{1, 40, 0}, Shape{40, 1, 0}, Shape{64, 48, 11},
                                         Shape{640, 480, 0}, Shape{1366, 768, 0})),
    EffectName);

class EachEffect : public ::testing::TestWithParam<int> {};

TEST_P(EachEffect, StopFlagSetBeforeTheRunEndsItAfterTheFirstStep) {
  const EffectId id = AllEffects()[GetParam()];
  FakeHost host(31, 23);
  host.stop = 1;
  RunChange(host, id, /*withSteps=*/false);
  EXPECT_EQ(host.fractions.size() + host.restarts, 1u);
  EXPECT_TRUE(host.GuardsIntact());
}

TEST_P(EachEffect, StopMidwayReturnsAndFreesWhatTheRunAllocated) {
  const EffectId id = AllEffects()[GetParam()];
  FakeHost host(48, 36);
  host.stopAfterWaits = 3;
  TEffectModule* d = kelv::basicfx::OpenModule(5, nullptr);
  TEffectSetup r = host.Record(0, /*hostHeap=*/true);
  ASSERT_EQ(d->setup(&r), 1);
  const int tables = host.gets;
  if (FlagsOf(id) & KELV_FX_PREPARE) d->groupEntries[id.group](KELV_FX_COMMAND_PREPARE + id.effect, 0);
  d->groupEntries[id.group](id.effect, 0);
  EXPECT_LE(host.fractions.size(), 3u);
  EXPECT_EQ(host.gets - tables, host.frees) << "blocks of the run left allocated";
  EXPECT_TRUE(host.GuardsIntact());
}

TEST_P(EachEffect, AllocatesOnlyAtTheStartNotPerStep) {
  const EffectId id = AllEffects()[GetParam()];
  FakeHost host(240, 180);
  TEffectModule* d = kelv::basicfx::OpenModule(6, nullptr);
  TEffectSetup r = host.Record(0, /*hostHeap=*/true);
  ASSERT_EQ(d->setup(&r), 1);
  const int before = host.gets;
  d->groupEntries[id.group](id.effect, 0);
  EXPECT_GT(host.fractions.size(), 10u);
  EXPECT_LE(host.gets - before, 2) << "allocations during one run";
}

TEST_P(EachEffect, LateWaitsStillEndOnTheNextPicture) {
  const EffectId id = AllEffects()[GetParam()];
  FakeHost host(33, 21, 2);
  host.waitResult = [](int n) { return n % 3 == 0 ? 1 : 0; };  // mostly late
  const std::vector<uint32_t> expected = Expected(host, id);
  RunChange(host, id);
  EXPECT_TRUE(host.ScreenEquals(expected));
  EXPECT_TRUE(fxtest::FractionsMonotoneToOne(host.fractions));
}

INSTANTIATE_TEST_SUITE_P(All, EachEffect, ::testing::Range(0, 29));

}  // namespace
