// The context of one call into a group entry: the instance's pixel rows, the host's Wait
// and stop flag, the module's allocator and random numbers, and the small drawing moves
// every effect is made of (revealing spans, rows, columns and the whole picture).
#pragma once

#include <cstdint>
#include <cstring>

#include "fxcommon/fx_allocator.hpp"
#include "fxcommon/fx_instance.hpp"
#include "fxcommon/fx_random.hpp"

namespace kelv::fx {

class EffectRun {
public:
  EffectRun(const Instance& instance, int32_t instanceIndex, const ModuleAllocator& allocator,
            ModuleRandom& random) noexcept;

  int32_t Width() const noexcept { return width_; }
  int32_t Height() const noexcept { return height_; }
  int32_t InstanceIndex() const noexcept { return index_; }
  const uint32_t* NextRow(int32_t y) const noexcept { return next_[y]; }
  uint32_t* ScreenRow(int32_t y) const noexcept { return screen_[y]; }
  // The next-picture buffer as one block (its stride is always width * 4).
  uint32_t* NextPixels() const noexcept { return const_cast<uint32_t*>(next_[0]); }
  uint32_t** ScratchRows() const noexcept { return scratch_; }

  // Calls Wait with the fraction done (clamped into [0, 1]) and tells whether the run
  // must end now because the stop flag is set.
  bool Step(double fraction) noexcept;
  // Wait(-17304.0): restarts the host's effect clock; true when the run must end.
  bool RestartClock() noexcept;
  // Whether the last Wait was on schedule (1) or late (0); true before any Wait.
  bool OnTime() const noexcept { return onTime_; }
  double LastFraction() const noexcept { return lastFraction_; }
  int WaitCount() const noexcept { return waits_; }
  bool Stopped() const noexcept { return stop_ != nullptr && *stop_ != 0; }
  // A last Wait(1) when the steps of an effect did not reach the end of the transition.
  void Finish() noexcept {
    if (lastFraction_ < 1.0 || waits_ == 0) Step(1.0);
  }

  plugin::HeapBlock Allocate(size_t bytes) const noexcept { return allocator_.Allocate(bytes); }
  ModuleRandom& Random() noexcept { return random_; }
  uint32_t Random(uint32_t n) noexcept { return random_.Below(n); }
  double RandomReal() noexcept { return random_.Real(); }

  // S(x, y) := N(x, y) for a single pixel, a span of a row, a row, a column, all.
  void Reveal(int32_t x, int32_t y) const noexcept { screen_[y][x] = next_[y][x]; }
  void RevealSpan(int32_t y, int32_t x, int32_t count) const noexcept {
    std::memcpy(screen_[y] + x, next_[y] + x, static_cast<size_t>(count) * 4);
  }
  void RevealRow(int32_t y) const noexcept { RevealSpan(y, 0, width_); }
  void RevealColumn(int32_t x) const noexcept {
    for (int32_t y = 0; y < height_; ++y) screen_[y][x] = next_[y][x];
  }
  void RevealAll() const noexcept {
    for (int32_t y = 0; y < height_; ++y) RevealRow(y);
  }

private:
  int32_t width_;
  int32_t height_;
  int32_t index_;
  const uint32_t* const* next_;
  uint32_t* const* screen_;
  uint32_t** scratch_;
  volatile int32_t* stop_;
  KelvWaitProc wait_;
  const ModuleAllocator& allocator_;
  ModuleRandom& random_;
  bool onTime_ = true;
  double lastFraction_ = 0.0;
  int waits_ = 0;
};

// Fraction i / n of a run of n + 1 steps numbered 0 .. n; a run of a single step
// (n = 0) is complete after that step.
inline double StepFraction(double i, double n) noexcept { return n > 0 ? i / n : 1.0; }

}  // namespace kelv::fx
