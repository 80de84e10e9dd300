// A fake effect host for the effect modules' tests: a screen and a next-picture buffer
// with guard bands around them (and in the padding of a wide screen stride), a Wait that
// records its fractions and presents nothing, a stop flag, and counting host memory
// routines. One rig is current at a time; its callbacks are plain C functions.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "kelv_effectmodule.h"

namespace fxtest {

class FakeHost {
public:
  // strideExtra: pixels of padding after each screen row.
  FakeHost(int32_t width, int32_t height, int32_t strideExtra = 0);
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t StrideBytes() const { return (width_ + strideExtra_) * 4; }
  uint32_t* Screen() { return screen_.data() + kGuard; }
  uint32_t* Next() { return next_.data() + kGuard; }
  uint32_t ScreenAt(int32_t x, int32_t y) const;
  uint32_t NextAt(int32_t x, int32_t y) const;
  void SetScreen(int32_t x, int32_t y, uint32_t v);

  // Distinct deterministic pictures (unused byte 0).
  void PaintPictures(uint32_t seed = 1);
  std::vector<uint32_t> CopyScreen() const;
  std::vector<uint32_t> CopyNext() const;
  bool ScreenEquals(const std::vector<uint32_t>& picture) const;
  bool ScreenEqualsNext() const { return ScreenEquals(CopyNext()); }
  // Guard bands before and after both buffers and the stride padding untouched.
  bool GuardsIntact() const;

  // A full set-up record for this host (instance 0 unless given).
  TEffectSetup Record(int32_t instance = 0, bool hostHeap = false);

  // What the host's Wait saw.
  std::vector<float> fractions;
  int restarts = 0;
  volatile int32_t stop = 0;
  int stopAfterWaits = -1;                  // set the stop flag on this Wait call
  std::function<int32_t(int)> waitResult;   // result of the n-th Wait (1 if unset)
  std::function<void(int)> onWait;          // called on each Wait with its number

  // Host memory routines' counters (only with the host heap).
  int gets = 0;
  int frees = 0;

  static FakeHost* Current() { return current_; }

private:
  static constexpr int32_t kGuard = 64;
  static constexpr uint32_t kGuardValue = 0xA5C3E1F7u;
  static int32_t KELV_CDECL WaitCallback(float fraction, int32_t instance);
  static void* KELV_REGCALL GetMem(uint32_t size);
  static void KELV_REGCALL FreeMem(void* block);
  static void* KELV_REGCALL ReallocMem(void** block, uint32_t size);

  int32_t width_, height_, strideExtra_;
  std::vector<uint32_t> screen_;
  std::vector<uint32_t> next_;
  static FakeHost* current_;
};

// Fractions never decrease, stay in [0, 1] and end at exactly 1.
::testing::AssertionResult FractionsMonotoneToOne(const std::vector<float>& f);

}  // namespace fxtest
