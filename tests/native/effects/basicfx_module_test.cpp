// The module side of the effect interface as basicfx implements it: descriptor tables,
// Setup's rules (short records, missing pixels, pointer-only updates, strides,
// instances, host heap), the saved pictures of the fades and the blend arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "basicfx/basicfx_module.hpp"
#include "basicfx/effects.hpp"
#include "fx_rig.hpp"

namespace {

using fxtest::FakeHost;
namespace bfx = kelv::basicfx;

TEST(BasicFxDescriptor, AnnouncesTenGroupsAndKeepsTheTwoHiddenRows) {
  const TEffectModule* d = bfx::OpenModule(1, nullptr);
  EXPECT_EQ(d->interfaceVersion, KELV_EFFECTMODULE_VERSION);
  EXPECT_EQ(d->moduleVersion, 0x01000205u);
  EXPECT_STREQ(d->name, "Default Effects");
  EXPECT_EQ(std::string(d->description).rfind("Default effects plugin ver 1.0.2.5\r\n", 0), 0u);
  EXPECT_EQ(d->reserved, 0);
  ASSERT_EQ(d->groupCount, 10);
  const char* groups[12] = {"Radar", "Mosaic", "Wipe", "Lines", "Fade", "Veil", "Interlace",
                            "Gray scale", "Chess", "Rhomb", "Effect 11", "Effect 12"};
  const int counts[12] = {2, 4, 4, 3, 2, 2, 2, 2, 4, 4, 1, 1};
  int total = 0;
  for (int g = 0; g < 12; ++g) {
    EXPECT_STREQ(d->groupNames[g], groups[g]);
    EXPECT_EQ(d->effectCounts[g], counts[g]);
    for (int e = 0; e < 4; ++e) EXPECT_TRUE(d->effectNames[g][e] && *d->effectNames[g][e]);
    if (g < 10) total += counts[g];
  }
  EXPECT_EQ(total, 29);
  EXPECT_STREQ(d->effectNames[10][0], "General");
  EXPECT_STREQ(d->effectNames[4][0], "Fade in/out");
  EXPECT_STREQ(d->effectNames[8][3], "Horizontal (small)");
  EXPECT_EQ(d->effectFlags[4][0], 4);
  EXPECT_EQ(d->effectFlags[7][0], 1);
  EXPECT_EQ(d->effectFlags[7][1], 3);
  EXPECT_EQ(d->effectFlags[0][0], 0);
  EXPECT_TRUE(std::string(bfx::kAboutText).find("Now available 29 effects in 10 groups of effects") !=
              std::string::npos);
}

TEST(BasicFxSetup, FillsTheGroupEntriesAndRejectsBadRecords) {
  FakeHost host(8, 6);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  EXPECT_EQ(d->setup(nullptr), 0);
  TEffectSetup r = host.Record();
  r.size = 0;
  EXPECT_EQ(d->setup(&r), 0);
  r = host.Record();
  r.instance = 11;
  EXPECT_EQ(d->setup(&r), 0);
  r = host.Record();
  ASSERT_EQ(d->setup(&r), 1);
  for (int g = 0; g < 12; ++g) EXPECT_NE(d->groupEntries[g], nullptr);
  d->groupEntries[11](0, 0);  // the hidden rows draw nothing
  EXPECT_TRUE(host.fractions.empty());
}

TEST(BasicFxSetup, RuntimeErrorsComeBackAsStatusInThePortableCore) {
  FakeHost host(8, 6);
  bfx::OpenModule(1, nullptr);
  TEffectSetup r = host.Record();
  r.size = static_cast<int32_t>(sizeof(TEffectSetup)) - 4;
  EXPECT_EQ(bfx::Module().Setup(&r), kelv::fx::SetupStatus::ShortRecord);
  EXPECT_EQ(bfx::Module().Descriptor().setup(&r), 0);
  r = host.Record();
  r.nextBits = nullptr;
  EXPECT_EQ(bfx::Module().Setup(&r), kelv::fx::SetupStatus::MissingBits);
  r = host.Record();
  r.screenBits = nullptr;
  EXPECT_EQ(bfx::Module().Setup(&r), kelv::fx::SetupStatus::MissingBits);
}

TEST(BasicFxSetup, PointerOnlyUpdateMovesTheDrawingTargetAndHonoursItsStride) {
  FakeHost first(10, 7);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  TEffectSetup r = first.Record();
  ASSERT_EQ(d->setup(&r), 1);
  const std::vector<uint32_t> untouched = first.CopyScreen();

  // A second screen surface of the same picture size with a wider stride.
  FakeHost moved(10, 7, 6);
  moved.fractions.clear();
  TEffectSetup p{};
  p.size = sizeof(TEffectSetup);
  p.screenBits = moved.Screen();
  p.screenStride = moved.StrideBytes();
  ASSERT_EQ(d->setup(&p), 1);
  d->groupEntries[bfx::kWipe](0, 0);  // Wait and stop flag kept from the first set-up
  EXPECT_TRUE(first.ScreenEquals(untouched));
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(moved.ScreenAt(x, y), first.NextAt(x, y));
  EXPECT_TRUE(moved.GuardsIntact());
  EXPECT_EQ(moved.fractions.size(), 7u);
}

TEST(BasicFxSetup, InstancesKeepTheirOwnBuffers) {
  FakeHost zero(12, 8);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  TEffectSetup r0 = zero.Record(0);
  ASSERT_EQ(d->setup(&r0), 1);
  const std::vector<uint32_t> screen0 = zero.CopyScreen();
  FakeHost ten(5, 9);
  TEffectSetup r10 = ten.Record(10);
  ASSERT_EQ(d->setup(&r10), 1);
  d->groupEntries[bfx::kInterlace](1, 10);
  EXPECT_TRUE(ten.ScreenEqualsNext());
  EXPECT_TRUE(zero.ScreenEquals(screen0));
  d->groupEntries[bfx::kInterlace](1, 11);  // no such instance: nothing happens
}

TEST(BasicFxSetup, GrowingPicturesGetLongerRowTables) {
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  for (int32_t h : {3, 50, 20, 301}) {
    FakeHost host(7, h);
    TEffectSetup r = host.Record(4, /*hostHeap=*/true);
    ASSERT_EQ(d->setup(&r), 1);
    d->groupEntries[bfx::kWipe](1, 4);
    EXPECT_TRUE(host.ScreenEqualsNext()) << h;
    EXPECT_TRUE(host.GuardsIntact()) << h;
  }
}

TEST(BasicFxMosaic, CellSidesDivideThePicture) {
  EXPECT_EQ(bfx::MosaicSide(5, 1366), 2);
  EXPECT_EQ(bfx::MosaicSide(5, 1024), 4);
  EXPECT_EQ(bfx::MosaicSide(5, 768), 4);
  EXPECT_EQ(bfx::MosaicSide(10, 1366), 2);
  EXPECT_EQ(bfx::MosaicSide(10, 1920), 10);
  EXPECT_EQ(bfx::MosaicSide(10, 7), 7);
  EXPECT_EQ(bfx::MosaicSide(5, 1), 1);
}

TEST(BasicFxMosaic, ASingleCellPictureIsRevealedInOneStep) {
  FakeHost host(5, 5);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  TEffectSetup r = host.Record();
  ASSERT_EQ(d->setup(&r), 1);
  d->groupEntries[bfx::kMosaic](1, 0);
  EXPECT_TRUE(host.ScreenEqualsNext());
  EXPECT_EQ(host.fractions, std::vector<float>{1.0f});
}

TEST(BasicFxFade, PrepareSavesTheOldPictureForTheRun) {
  FakeHost host(9, 4);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  TEffectSetup r = host.Record();
  ASSERT_EQ(d->setup(&r), 1);
  const std::vector<uint32_t> old = host.CopyScreen();
  d->groupEntries[bfx::kFade](KELV_FX_COMMAND_PREPARE, 0);
  // The screen changes after the prepare step; the blend still starts from `old`.
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 9; ++x) host.SetScreen(x, y, 0x00FFFFFFu);
  std::vector<uint32_t> firstLevel;
  host.onWait = [&](int n) {
    if (n == 1) firstLevel = host.CopyScreen();
  };
  d->groupEntries[bfx::kFade](0, 0);
  const std::vector<uint32_t> next = host.CopyNext();
  ASSERT_EQ(firstLevel.size(), old.size());
  std::vector<uint32_t> want(old.size());
  bfx::BlendRow(want.data(), next.data(), old.data(), static_cast<int32_t>(old.size()), 1);
  EXPECT_EQ(firstLevel, want);
  EXPECT_TRUE(host.ScreenEqualsNext());
}

TEST(BasicFxFade, APreparedPictureOfAnotherSizeIsNotRead) {
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  {
    FakeHost small(4, 3);
    TEffectSetup r = small.Record();
    ASSERT_EQ(d->setup(&r), 1);
    d->groupEntries[bfx::kFade](KELV_FX_COMMAND_PREPARE, 0);
  }
  FakeHost large(40, 30);
  TEffectSetup r = large.Record();
  ASSERT_EQ(d->setup(&r), 1);
  d->groupEntries[bfx::kFade](0, 0);
  EXPECT_TRUE(large.ScreenEqualsNext());
}

TEST(BasicFxGray, PreStepGraysTheNextPictureAndTheRunBringsBackItsColours) {
  FakeHost host(13, 7);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  TEffectSetup r = host.Record(2);
  ASSERT_EQ(d->setup(&r), 1);
  const std::vector<uint32_t> colour = host.CopyNext();
  d->groupEntries[bfx::kGrayScale](KELV_FX_COMMAND_PRE_STEP + 1, 2);
  const std::vector<uint32_t> gray = host.CopyNext();
  for (size_t i = 0; i < gray.size(); ++i) ASSERT_EQ(gray[i], bfx::GrayPixel(colour[i]));
  // The change before brings the gray picture on screen; then the colours come back.
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 13; ++x) host.SetScreen(x, y, host.NextAt(x, y));
  d->groupEntries[bfx::kGrayScale](1, 2);
  EXPECT_TRUE(host.ScreenEquals(colour));
  // Without a saved picture it turns the screen gray instead.
  host.fractions.clear();
  d->groupEntries[bfx::kGrayScale](1, 2);
  std::vector<uint32_t> twice(colour);
  for (auto& v : twice) v = bfx::GrayPixel(v);
  EXPECT_TRUE(host.ScreenEquals(twice));
}

TEST(BasicFxGray, ThreePreStepsInARowKeepTheSlotsConsistent) {
  FakeHost host(6, 5);
  TEffectModule* d = bfx::OpenModule(1, nullptr);
  TEffectSetup r = host.Record(3, /*hostHeap=*/true);
  ASSERT_EQ(d->setup(&r), 1);
  const int tables = host.gets;
  for (int i = 0; i < 3; ++i) {
    host.PaintPictures(10 + i);
    d->groupEntries[bfx::kGrayScale](KELV_FX_COMMAND_PRE_STEP + 1, 3);
  }
  // At most two pictures are kept; the overwritten one was freed.
  EXPECT_EQ(host.gets - tables - host.frees, 2);
  for (int i = 0; i < 3; ++i) d->groupEntries[bfx::kGrayScale](1, 3);
  EXPECT_EQ(host.gets - tables, host.frees);
}

TEST(BasicFxBlend, PackedRowsMatchThePlainArithmetic) {
  std::mt19937 rng(7);
  std::vector<uint32_t> n(37), o(37), s(37);
  for (int32_t k : {1, 2, 127, 128, 200, 255, 256}) {
    for (auto& v : n) v = rng();
    for (auto& v : o) v = rng();
    bfx::BlendRow(s.data(), n.data(), o.data(), 37, k);
    for (size_t i = 0; i < s.size(); ++i)
      for (int sh = 0; sh < 32; sh += 8) {
        const uint32_t a = (((n[i] >> sh) & 0xFF) * k) >> 8;
        const uint32_t b = (((o[i] >> sh) & 0xFF) * (256 - k)) >> 8;
        ASSERT_EQ((s[i] >> sh) & 0xFF, std::min(255u, a + b)) << k << " " << i;
      }
    bfx::ChannelRow(s.data(), n.data(), o.data(), 37, k, 0x0000FF00u, 0x000000FFu);
    for (size_t i = 0; i < s.size(); ++i) {
      const int32_t nc = (n[i] >> 8) & 0xFF, oc = (o[i] >> 8) & 0xFF;
      const int32_t want = oc + (((nc - oc) * k) >> 8);  // rounds down, also below zero
      ASSERT_EQ(static_cast<int32_t>((s[i] >> 8) & 0xFF), want) << k;
      ASSERT_EQ(s[i] & 0xFF, n[i] & 0xFF);
      ASSERT_EQ(s[i] & 0xFFFF0000u, o[i] & 0xFFFF0000u);
    }
  }
}

}  // namespace
