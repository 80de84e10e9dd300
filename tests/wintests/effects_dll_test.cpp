// The real basicfx.dll of the dist folder, called the way the host calls it: the
// descriptor as the host copies it (64-bit layout), Setup, every effect through its
// group entry with a Wait that records, and the run-time errors of Setup, which must
// reach the process as the documented structured exception.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
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

// ---- child process: Setup's run-time errors ----------------------------------------
// Started by the test below with KELV_FX_PROBE=1001 or 1002: calls Setup with the faulty
// record; the unhandled-exception filter ends the process with 0x4600 + error when the
// exception has the documented code and parameter.
DWORD g_probeError = 0;

LONG WINAPI ProbeFilter(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  const bool documented = r->ExceptionCode == KELV_FX_RUNTIME_ERROR_EXCEPTION(g_probeError) &&
                          (r->ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0 &&
                          r->NumberParameters == 1 && r->ExceptionInformation[0] == g_probeError;
  ExitProcess(documented ? 0x4600 + g_probeError : 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

const bool g_probe = [] {
  char value[16] = {};
  if (GetEnvironmentVariableA("KELV_FX_PROBE", value, sizeof value) == 0) return false;
  g_probeError = static_cast<DWORD>(std::atoi(value));
  Library lib(DistPath("basicfx.dll"));
  TEffectModule* d = lib.Open();
  if (d == nullptr) ExitProcess(4);
  SetUnhandledExceptionFilter(&ProbeFilter);
  std::vector<uint32_t> pixels(64);
  TEffectSetup r{};
  r.size = sizeof r;
  r.width = 4;
  r.height = 4;
  r.screenBits = pixels.data();
  if (g_probeError == KELV_FX_ERROR_SHORT_RECORD) r.size = 60 - 4;  // shorter than any record
  d->setup(&r);
  ExitProcess(2);  // Setup returned: the error was not raised
  return true;
}();

DWORD RunProbe(int error) {
  SetEnvironmentVariableA("KELV_FX_PROBE", std::to_string(error).c_str());
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + ExePath() + "\"";
  const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi);
  SetEnvironmentVariableA("KELV_FX_PROBE", nullptr);
  if (!ok) return 1;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

// ---- a recording host ---------------------------------------------------------------
struct Recorder {
  std::vector<float> fractions;
  int restarts = 0;
};
Recorder* g_recorder = nullptr;
volatile int32_t g_stop = 0;

int32_t KELV_CDECL RecordWait(float fraction, int32_t) {
  if (fraction > -17305.0f && fraction < -17303.0f) {
    ++g_recorder->restarts;
    return 1;
  }
  g_recorder->fractions.push_back(fraction);
  return 1;
}

struct Pictures : fxrig::GuardedPictures {
  Pictures(int32_t w, int32_t h, int32_t padding)
      : GuardedPictures(
            w, h, padding,
            [](int32_t x, int32_t y, int32_t, int32_t) -> uint32_t { return (static_cast<uint32_t>(x * 7 + y * 3) & 0xFF) << 8 | 0x40; },
            [](int32_t x, int32_t y, int32_t w, int32_t) -> uint32_t { return (static_cast<uint32_t>(x * 5 + y * 11) & 0xFF) << 16 | 0x9000 | 0x21; }) {}
  TEffectSetup Record(int32_t instance = 0) { return GuardedPictures::Record(&g_stop, &RecordWait, instance); }
};

uint32_t Gray(uint32_t p) {
  const uint32_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
  const uint32_t y = (77 * r + 150 * g + 29 * b) >> 8;
  return (p & 0xFF000000u) | y << 16 | y << 8 | y;
}

class BasicFxDll : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr) << "basicfx.dll not found beside the tests: " << DistPath("basicfx.dll");
    d = lib.Open();
    ASSERT_NE(d, nullptr);
  }
  Library lib{DistPath("basicfx.dll")};
  TEffectModule* d = nullptr;
};

TEST_F(BasicFxDll, HostCopyOfTheDescriptorHasTheDocumentedLayout) {
  // Byte offsets of the descriptor: the 32-bit layout, or its natural 64-bit form.
  struct Layout {
    size_t size, setupSize, name, reserved, about, description, groupCount, groupNames,
        groupEntries, effectCounts, effectNames, setup, effectFlags;
  };
  constexpr Layout layout = sizeof(void*) == 8
                                ? Layout{96, 96, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88}
                                : Layout{52, 60, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48};
  EXPECT_EQ(sizeof(TEffectModule), layout.size);
  EXPECT_EQ(sizeof(TEffectSetup), layout.setupSize);
  unsigned char copy[layout.size];
  std::memcpy(copy, d, sizeof copy);  // what the host keeps
  auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, copy + at, 4); return v; };
  auto ptr = [&](size_t at) { void* v; std::memcpy(&v, copy + at, sizeof v); return v; };
  EXPECT_EQ(u32(0), KELV_EFFECTMODULE_VERSION);
  EXPECT_EQ(u32(4), 0x01000205u);
  EXPECT_STREQ(static_cast<const char*>(ptr(layout.name)), "Default Effects");
  EXPECT_EQ(u32(layout.reserved), 0u);
  EXPECT_NE(ptr(layout.about), nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(ptr(layout.description))).rfind("Default effects plugin ver 1.0.2.5", 0), 0u);
  EXPECT_EQ(u32(layout.groupCount), 10u);
  auto groups = static_cast<const char* const*>(ptr(layout.groupNames));
  auto counts = static_cast<const uint8_t*>(ptr(layout.effectCounts));
  auto names = static_cast<const char* const* const*>(ptr(layout.effectNames));
  auto flags = static_cast<const uint8_t* const*>(ptr(layout.effectFlags));
  EXPECT_EQ(ptr(layout.groupEntries), static_cast<void*>(d->groupEntries));
  EXPECT_EQ(ptr(layout.setup), reinterpret_cast<void*>(d->setup));
  EXPECT_STREQ(groups[7], "Gray scale");
  EXPECT_STREQ(groups[11], "Effect 12");
  EXPECT_EQ(counts[1], 4);
  EXPECT_STREQ(names[3][2], "Random");
  EXPECT_STREQ(names[6][1], "Vertical");
  EXPECT_EQ(flags[4][0], 4);
  EXPECT_EQ(flags[7][1], 3);
}

TEST_F(BasicFxDll, SetupRejectsNilAndEmptyRecords) {
  EXPECT_EQ(d->setup(nullptr), 0);
  TEffectSetup r{};
  EXPECT_EQ(d->setup(&r), 0);
}

TEST_F(BasicFxDll, EveryEffectEndsOnTheNextPicture) {
  struct Shape { int32_t w, h, padding; };
  for (const Shape s : {Shape{160, 120, 0}, Shape{37, 61, 9}, Shape{1, 1, 0}}) {
    for (int32_t g = 0; g < d->groupCount; ++g) {
      for (int32_t e = 0; e < d->effectCounts[g]; ++e) {
        Pictures pic(s.w, s.h, s.padding);
        Recorder rec;
        g_recorder = &rec;
        TEffectSetup r = pic.Record();
        ASSERT_EQ(d->setup(&r), 1);
        std::vector<uint32_t> want;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x)
            want.push_back(g == 7 && e == 0 ? Gray(pic.Screen(x, y)) : pic.Next(x, y));
        const uint8_t f = d->effectFlags[g][e];
        if (f & KELV_FX_PRE_STEP) d->groupEntries[g](KELV_FX_COMMAND_PRE_STEP + e, 0);
        if (f & KELV_FX_PREPARE) d->groupEntries[g](KELV_FX_COMMAND_PREPARE + e, 0);
        d->groupEntries[g](e, 0);
        const std::string what = std::string(d->groupNames[g]) + "/" + d->effectNames[g][e] +
                                 " " + std::to_string(s.w) + "x" + std::to_string(s.h);
        size_t i = 0, wrong = 0;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x) wrong += pic.Screen(x, y) != want[i++];
        EXPECT_EQ(wrong, 0u) << what;
        ASSERT_FALSE(rec.fractions.empty()) << what;
        for (size_t k = 1; k < rec.fractions.size(); ++k)
          ASSERT_LE(rec.fractions[k - 1], rec.fractions[k]) << what;
        EXPECT_EQ(rec.fractions.back(), 1.0f) << what;
        EXPECT_TRUE(pic.GuardsIntact()) << what;
        EXPECT_EQ(rec.restarts, g == 4 && e == 1 ? 1 : 0) << what;
        g_recorder = nullptr;
      }
    }
  }
}

TEST_F(BasicFxDll, StopFlagEndsEveryEffectAfterItsFirstStep) {
  g_stop = 1;
  for (int32_t g = 0; g < d->groupCount; ++g)
    for (int32_t e = 0; e < d->effectCounts[g]; ++e) {
      Pictures pic(50, 40, 0);
      Recorder rec;
      g_recorder = &rec;
      TEffectSetup r = pic.Record();
      ASSERT_EQ(d->setup(&r), 1);
      d->groupEntries[g](e, 0);
      EXPECT_EQ(rec.fractions.size() + rec.restarts, 1u) << g << "/" << e;
      g_recorder = nullptr;
    }
  g_stop = 0;
}

// Halfway frames of every effect for the eye and for tests/wine/test_basicfx.py: with
// KELV_FX_FRAMES set to a folder, writes g<group>e<effect>.bmp (24-bit) of the screen at
// the first Wait at or past one half. Old picture: blue squares of 20 pixels; next
// picture: red with green rising from left to right.
struct FrameGrab {
  std::string path;
  const std::vector<uint32_t>* screen = nullptr;
  size_t offset = 0;
  int32_t w = 0, h = 0, stride = 0;
  bool done = false;
};
FrameGrab* g_grab = nullptr;

void WriteBmp(const FrameGrab& f) {
  const int32_t rowBytes = (f.w * 3 + 3) & ~3;
  std::vector<unsigned char> file(54 + static_cast<size_t>(rowBytes) * f.h, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(f.w));
  put32(22, static_cast<uint32_t>(f.h));
  file[26] = 1;
  file[28] = 24;
  for (int32_t y = 0; y < f.h; ++y)
    for (int32_t x = 0; x < f.w; ++x) {
      const uint32_t p = (*f.screen)[f.offset + static_cast<size_t>(y) * f.stride + x];
      unsigned char* out = &file[54 + static_cast<size_t>(f.h - 1 - y) * rowBytes + x * 3];
      out[0] = p & 0xFF;
      out[1] = (p >> 8) & 0xFF;
      out[2] = (p >> 16) & 0xFF;
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

TEST_F(BasicFxDll, WritesHalfwayFramesWhenAsked) {
  char dir[MAX_PATH] = {};
  if (GetEnvironmentVariableA("KELV_FX_FRAMES", dir, sizeof dir) == 0)
    GTEST_SKIP() << "KELV_FX_FRAMES not set";
  constexpr int32_t w = 320, h = 200;
  for (int32_t g = 0; g < d->groupCount; ++g)
    for (int32_t e = 0; e < d->effectCounts[g]; ++e) {
      Pictures pic(w, h, 0);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          pic.Screen(x, y) = ((x / 20 + y / 20) & 1) ? 0x2040C0u : 0x3060E0u;
          pic.Next(x, y) = 0xC00000u | static_cast<uint32_t>(x * 255 / w) << 8;
        }
      FrameGrab grab;
      grab.path = std::string(dir) + "\\g" + std::to_string(g) + "e" + std::to_string(e) + ".bmp";
      grab.screen = &pic.screen;
      grab.offset = kGuardPixels;
      grab.w = w;
      grab.h = h;
      grab.stride = pic.stride;
      g_grab = &grab;
      TEffectSetup r = pic.Record();
      r.wait = &GrabWait;
      ASSERT_EQ(d->setup(&r), 1);
      const uint8_t f = d->effectFlags[g][e];
      if (f & KELV_FX_PRE_STEP) d->groupEntries[g](KELV_FX_COMMAND_PRE_STEP + e, 0);
      if (f & KELV_FX_PREPARE) d->groupEntries[g](KELV_FX_COMMAND_PREPARE + e, 0);
      d->groupEntries[g](e, 0);
      g_grab = nullptr;
      EXPECT_TRUE(grab.done) << g << "/" << e;
    }
}

TEST(BasicFxDllErrors, ShortRecordRaisesRuntimeError1001) {
  EXPECT_EQ(RunProbe(KELV_FX_ERROR_SHORT_RECORD), 0x4600u + 1001);
}

TEST(BasicFxDllErrors, MissingPixelsRaiseRuntimeError1002) {
  EXPECT_EQ(RunProbe(KELV_FX_ERROR_MISSING_BITS), 0x4600u + 1002);
}

}  // namespace
