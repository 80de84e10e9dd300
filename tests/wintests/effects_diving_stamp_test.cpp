// The real divingfx.dll and stamp.dll of the dist folder, called the way the host calls
// them: the descriptor as the host copies it, Setup, every effect on landscape, portrait,
// square and tiny areas with a padded screen stride, the stop flag, two stamp shapes in
// a row on one instance; with KELV_FX_FRAMES set, halfway frames as 24-bit BMP files.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "effect_dll_rig.hpp"
#include "kelv_effectmodule.h"

namespace {

using fxrig::DistPath;
using fxrig::ExePath;
using fxrig::Library;
using fxrig::kGuard;
using fxrig::kGuardPixels;

std::vector<float>* g_fractions = nullptr;
volatile int32_t g_stop = 0;

int32_t KELV_CDECL RecordWait(float fraction, int32_t) {
  if (g_fractions != nullptr) g_fractions->push_back(fraction);
  return 1;
}

struct Pictures : fxrig::GuardedPictures {
  Pictures(int32_t w, int32_t h, int32_t padding)
      : GuardedPictures(
            w, h, padding,
            [](int32_t x, int32_t y, int32_t, int32_t) -> uint32_t { return ((x / 20 + y / 20) & 1) ? 0x2040C0u : 0x3060E0u; },
            [](int32_t x, int32_t y, int32_t w, int32_t) -> uint32_t { return 0xC00000u | static_cast<uint32_t>(x * 255 / w) << 8 | (y & 0x3F); }) {}
  TEffectSetup Record(int32_t instance = 0) { return GuardedPictures::Record(&g_stop, &RecordWait, instance); }
};

struct Expect {
  const char* dll;
  uint32_t version;
  const char* name;
  const char* group;
  int32_t count;
  const char* lastEffect;
  bool stamps;  // stamp runs end their Wait calls at 96 %
};

const Expect kDiving{"divingfx.dll", 0x01000001u, "Diving Effects", "Diving", 8, "Spiral in", false};
const Expect kStamp{"stamp.dll", 0x01000007u, "Stamp Effects", "Stamp", 9, "Blot", true};

class DivingStampDll : public ::testing::TestWithParam<Expect> {
protected:
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr) << "not found beside the tests: " << DistPath(GetParam().dll);
    d = lib.Open();
    ASSERT_NE(d, nullptr);
  }
  Library lib{DistPath(GetParam().dll)};
  TEffectModule* d = nullptr;
};

TEST_P(DivingStampDll, HostCopyOfTheDescriptor) {
  const Expect& e = GetParam();
  unsigned char copy[sizeof(TEffectModule)];
  std::memcpy(copy, d, sizeof copy);  // what the host keeps
  TEffectModule m;
  std::memcpy(&m, copy, sizeof m);
  EXPECT_EQ(m.interfaceVersion, KELV_EFFECTMODULE_VERSION);
  EXPECT_EQ(m.moduleVersion, e.version);
  EXPECT_STREQ(m.name, e.name);
  EXPECT_EQ(m.reserved, 0);
  EXPECT_NE(m.about, nullptr);
  EXPECT_EQ(m.groupCount, 1);
  EXPECT_STREQ(m.groupNames[0], e.group);
  EXPECT_EQ(m.effectCounts[0], e.count);
  EXPECT_STREQ(m.effectNames[0][e.count - 1], e.lastEffect);
  for (int32_t i = 0; i < e.count; ++i) EXPECT_EQ(m.effectFlags[0][i], 0);
  EXPECT_EQ(m.setup(nullptr), 0);
}

TEST_P(DivingStampDll, EveryEffectEndsOnTheNextPictureOnEveryAspect) {
  struct Shape { int32_t w, h, padding; };
  for (const Shape s : {Shape{160, 90, 0}, Shape{61, 97, 9}, Shape{64, 64, 3}, Shape{1, 1, 0},
                        Shape{5, 2, 1}}) {
    for (int32_t e = 0; e < d->effectCounts[0]; ++e) {
      Pictures pic(s.w, s.h, s.padding);
      std::vector<float> fractions;
      g_fractions = &fractions;
      TEffectSetup r = pic.Record();
      ASSERT_EQ(d->setup(&r), 1);
      d->groupEntries[0](e, 0);
      g_fractions = nullptr;
      const std::string what = std::string(d->effectNames[0][e]) + " " + std::to_string(s.w) +
                               "x" + std::to_string(s.h);
      EXPECT_EQ(pic.Wrong(), 0u) << what;
      ASSERT_FALSE(fractions.empty()) << what;
      for (size_t k = 1; k < fractions.size(); ++k) ASSERT_LE(fractions[k - 1], fractions[k]) << what;
      if (GetParam().stamps)
        EXPECT_GE(fractions.back(), 0.959f) << what;
      else
        EXPECT_EQ(fractions.back(), 1.0f) << what;
      EXPECT_TRUE(pic.GuardsIntact()) << what;
    }
  }
}

TEST_P(DivingStampDll, StopFlagEndsEveryEffectAfterItsFirstStep) {
  g_stop = 1;
  for (int32_t e = 0; e < d->effectCounts[0]; ++e) {
    Pictures pic(50, 40, 0);
    std::vector<float> fractions;
    g_fractions = &fractions;
    TEffectSetup r = pic.Record();
    ASSERT_EQ(d->setup(&r), 1);
    d->groupEntries[0](e, 0);
    g_fractions = nullptr;
    EXPECT_EQ(fractions.size(), 1u) << e;
    EXPECT_TRUE(pic.GuardsIntact()) << e;
  }
  g_stop = 0;
}

INSTANTIATE_TEST_SUITE_P(Modules, DivingStampDll, ::testing::Values(kDiving, kStamp),
                         [](const auto& info) { return std::string(info.param.stamps ? "Stamp" : "Diving"); });

// Blot and then Square on one instance: every pixel that the second run's first stamp
// reveals lies inside a 19 x 19 square around one point, none in the blot's lobes.
Pictures* g_watch = nullptr;
int g_firstStampPixels = -1;
int g_firstStampSpan = -1;

int32_t KELV_CDECL FirstStampWait(float, int32_t) {
  if (g_watch != nullptr && g_firstStampPixels < 0) {
    int n = 0, x0 = 1 << 30, x1 = -1, y0 = 1 << 30, y1 = -1;
    for (int32_t y = 0; y < g_watch->h; ++y)
      for (int32_t x = 0; x < g_watch->w; ++x)
        if (g_watch->Screen(x, y) == g_watch->Next(x, y)) {
          ++n;
          x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    g_firstStampPixels = n;
    g_firstStampSpan = std::max(x1 - x0, y1 - y0) + 1;
  }
  return 1;
}

TEST(StampDllInstances, ASecondShapeOnTheSameInstanceStampsOnlyItsOwnCells) {
  Library lib(DistPath("stamp.dll"));
  ASSERT_NE(lib.module, nullptr);
  TEffectModule* d = lib.Open();
  ASSERT_NE(d, nullptr);
  {
    Pictures pic(120, 100, 0);
    TEffectSetup r = pic.Record(3);
    ASSERT_EQ(d->setup(&r), 1);
    d->groupEntries[0](8, 3);  // Blot
    EXPECT_EQ(pic.Wrong(), 0u);
  }
  for (int round = 0; round < 5; ++round) {
    Pictures pic(120, 100, 0);
    g_watch = &pic;
    g_firstStampPixels = -1;
    TEffectSetup r = pic.Record(3);
    r.wait = &FirstStampWait;
    ASSERT_EQ(d->setup(&r), 1);
    d->groupEntries[0](0, 3);  // Square
    g_watch = nullptr;
    EXPECT_GE(g_firstStampPixels, 1);
    EXPECT_LE(g_firstStampPixels, 19 * 19);
    EXPECT_LE(g_firstStampSpan, 19);
    EXPECT_EQ(pic.Wrong(), 0u);
  }
}

// Halfway frames for tests/wine/test_divingfx_stamp.py: with KELV_FX_FRAMES set to a
// folder, writes <module>_e<effect>.bmp (24-bit) of the screen at the first Wait at or
// past one half.
struct FrameGrab {
  std::string path;
  Pictures* pic = nullptr;
  bool done = false;
};
FrameGrab* g_grab = nullptr;

void WriteBmp(const FrameGrab& f) {
  Pictures& p = *f.pic;
  const int32_t rowBytes = (p.w * 3 + 3) & ~3;
  std::vector<unsigned char> file(54 + static_cast<size_t>(rowBytes) * p.h, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(p.w));
  put32(22, static_cast<uint32_t>(p.h));
  file[26] = 1;
  file[28] = 24;
  for (int32_t y = 0; y < p.h; ++y)
    for (int32_t x = 0; x < p.w; ++x) {
      const uint32_t v = p.Screen(x, y);
      unsigned char* out = &file[54 + static_cast<size_t>(p.h - 1 - y) * rowBytes + x * 3];
      out[0] = v & 0xFF;
      out[1] = (v >> 8) & 0xFF;
      out[2] = (v >> 16) & 0xFF;
    }
  HANDLE h = CreateFileA(f.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(h);
}

int32_t KELV_CDECL GrabWait(float fraction, int32_t) {
  if (g_grab != nullptr && !g_grab->done && fraction >= 0.5f) {
    WriteBmp(*g_grab);
    g_grab->done = true;
  }
  return 1;
}

TEST(DivingStampFrames, WritesHalfwayFramesWhenAsked) {
  char dir[MAX_PATH] = {};
  if (GetEnvironmentVariableA("KELV_FX_FRAMES", dir, sizeof dir) == 0)
    GTEST_SKIP() << "KELV_FX_FRAMES not set";
  struct Area { int32_t w, h; const char* tag; };
  for (const char* dll : {"divingfx", "stamp"}) {
    Library lib(DistPath((std::string(dll) + ".dll").c_str()));
    TEffectModule* d = lib.Open();
    ASSERT_NE(d, nullptr) << dll;
    for (const Area a : {Area{320, 200, "wide"}, Area{200, 320, "tall"}}) {
      for (int32_t e = 0; e < d->effectCounts[0]; ++e) {
        Pictures pic(a.w, a.h, 0);
        FrameGrab grab;
        grab.path = std::string(dir) + "\\" + dll + "_" + a.tag + "_e" + std::to_string(e) + ".bmp";
        grab.pic = &pic;
        g_grab = &grab;
        TEffectSetup r = pic.Record();
        r.wait = &GrabWait;
        ASSERT_EQ(d->setup(&r), 1);
        d->groupEntries[0](e, 0);
        g_grab = nullptr;
        EXPECT_TRUE(grab.done) << dll << " " << e;
        EXPECT_EQ(pic.Wrong(), 0u) << dll << " " << e;
      }
    }
  }
}

}  // namespace
