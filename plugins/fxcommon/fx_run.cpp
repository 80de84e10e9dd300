#include "fxcommon/fx_run.hpp"

#include <algorithm>

namespace kelv::fx {

EffectRun::EffectRun(const Instance& instance, int32_t instanceIndex,
                     const ModuleAllocator& allocator, ModuleRandom& random) noexcept
    : width_(instance.Screen().width),
      height_(instance.Screen().height),
      index_(instanceIndex),
      next_(instance.NextRows()),
      screen_(instance.ScreenRows()),
      scratch_(instance.ScratchRows()),
      stop_(instance.StopFlag()),
      wait_(instance.Wait()),
      allocator_(allocator),
      random_(random) {}

bool EffectRun::Step(double fraction) noexcept {
  fraction = std::clamp(fraction, 0.0, 1.0);
  // Without a Wait from the host the run simply goes on at full speed.
  onTime_ = wait_ == nullptr || wait_(static_cast<float>(fraction), index_) != 0;
  lastFraction_ = fraction;
  ++waits_;
  return Stopped();
}

bool EffectRun::RestartClock() noexcept {
  if (wait_ != nullptr) wait_(KELV_FX_WAIT_RESTART, index_);
  onTime_ = true;
  ++waits_;
  return Stopped();
}

}  // namespace kelv::fx
