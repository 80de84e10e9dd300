// Drawing speed of every effect of the default, diving and stamp modules at 1920 x 1080
// with a Wait that never sleeps: the whole transition's drawing time, its Wait calls and
// the frame rate that time allows (the drawing for one sixtieth of the transition must
// fit into one 60 Hz frame). The frame rate is taken from the processor time of the
// run (one core's work), since the wall-clock time also counts other processes.
// Reference measured in the same run: copying one whole frame (memory bandwidth); the
// last column is the drawing per Wait against that copy (for the fades: one level).
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <vector>

#include "basicfx/basicfx_module.hpp"
#include "divingfx/divingfx_module.hpp"
#include "stamp/stamp_module.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kW = 1920, kH = 1080;
long g_waits = 0;

int32_t KELV_CDECL CountingWait(float, int32_t) {
  ++g_waits;
  return 1;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Paint(std::vector<uint32_t>& screen, std::vector<uint32_t>& next) {
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      screen[static_cast<size_t>(y) * kW + x] = static_cast<uint32_t>(x * 3 + y) & 0xFFFFFF;
      next[static_cast<size_t>(y) * kW + x] = static_cast<uint32_t>(x ^ (y * 5)) & 0xFFFFFF;
    }
}

}  // namespace

int main() {
  std::vector<uint32_t> screen(static_cast<size_t>(kW) * kH), next(screen.size()), copy(screen.size());
  Paint(screen, next);

  // Reference: one whole-frame copy, taking turns over four frame buffers as the effects
  // do (a copy back and forth between two buffers would stay in the processor's cache).
  std::vector<uint32_t> spare(screen.size());
  std::vector<uint32_t>* frames[4] = {&screen, &next, &copy, &spare};
  constexpr int kCopies = 40;
  const auto c0 = Clock::now();
  for (int i = 0; i < kCopies; ++i)
    std::memcpy(frames[(i + 1) % 4]->data(), frames[i % 4]->data(), screen.size() * 4);
  const double copyMs = Ms(Clock::now() - c0) / kCopies;
  std::printf("reference: one %dx%d frame copy %.3f ms\n\n", kW, kH, copyMs);
  std::printf("%-32s %10s %10s %8s %12s %10s %12s\n", "effect", "draw ms", "cpu ms", "waits",
              "ms/sixtieth", "fps", "wait/copy");

  bool allFast = true;
  using Opener = TEffectModule* (*)(uint32_t, KelvAboutProc) noexcept;
  for (const Opener open : {Opener{&kelv::basicfx::OpenModule}, Opener{&kelv::divingfx::OpenModule},
                            Opener{&kelv::stamp::OpenModule}}) {
  TEffectModule* d = open(20261207u, nullptr);
  for (int32_t g = 0; g < d->groupCount; ++g)
    for (int32_t e = 0; e < d->effectCounts[g]; ++e) {
      Paint(screen, next);
      TEffectSetup r{};
      r.size = sizeof r;
      r.width = kW;
      r.height = kH;
      r.nextBits = next.data();
      r.screenBits = screen.data();
      r.wait = &CountingWait;
      d->setup(&r);
      g_waits = 0;
      const auto t0 = Clock::now();
      const std::clock_t cpu0 = std::clock();
      const uint8_t flags = d->effectFlags[g][e];
      if (flags & KELV_FX_PRE_STEP) d->groupEntries[g](KELV_FX_COMMAND_PRE_STEP + e, 0);
      if (flags & KELV_FX_PREPARE) d->groupEntries[g](KELV_FX_COMMAND_PREPARE + e, 0);
      d->groupEntries[g](e, 0);
      const double ms = Ms(Clock::now() - t0);
      const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
      const double sixtieth = cpuMs / 60.0;
      const double fps = 1000.0 / sixtieth;
      allFast = allFast && fps >= 60.0;
      char name[64];
      std::snprintf(name, sizeof name, "%s / %s", d->groupNames[g], d->effectNames[g][e]);
      std::printf("%-32s %10.1f %10.1f %8ld %12.2f %10.0f %12.3f\n", name, ms, cpuMs, g_waits,
                  sixtieth, fps,
                  g_waits ? (ms / g_waits) / copyMs : 0.0);
    }
  }
  std::printf("\nevery effect at 60 fps or better: %s\n", allFast ? "yes" : "NO");
  return 0;
}
