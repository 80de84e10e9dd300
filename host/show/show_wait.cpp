#include "show/show_wait.hpp"

#include <algorithm>

#include "common/random.hpp"

namespace kelv {

void SleepInSlices(int32_t delay, WaitServices& host) {
  if (delay <= 0) return;
  if (delay < kSleepSlice) {
    host.Sleep(delay);
    return;
  }
  for (int32_t i = delay / kSleepSlice; i > 0; --i) {
    if (host.Stopped()) return;
    host.Sleep(kSleepSlice);
  }
  if (!host.Stopped() && delay % kSleepSlice) host.Sleep(delay % kSleepSlice);
}

Rescaled RescaleToDuration(int32_t duration, int32_t newDuration, float fraction, int64_t now, int64_t effectStart) {
  const int64_t left = Round(static_cast<double>(duration) * fraction - static_cast<double>(now - effectStart));
  const int64_t d = std::clamp<int64_t>(left, 0, 1000);
  return Rescaled{newDuration, now - Round(static_cast<double>(newDuration) * fraction) + d};
}

void EffectClock::Restart(int64_t now) {
  effectStart = now;
  lastPresent = now - 1000;
  waitOnTime = false;
  framePending = false;
}

int32_t EffectClock::Wait(float fraction, WaitServices& host) {
  int64_t now = host.Now();
  if (fraction > kWaitRestartLow && fraction < kWaitRestartHigh) {
    effectStart = now;
    return 1;
  }
  if (host.Paused()) {
    if (host.EffectPreview()) {
      host.ClearPaused();
      const int32_t pending = host.PendingDuration();
      const int32_t newDuration = pending >= 0 ? pending : host.Duration();
      const Rescaled r = RescaleToDuration(host.Duration(), newDuration, fraction, now, effectStart);
      host.SetDuration(r.duration);
      effectStart = r.effectStart;
    } else {
      // The transition stands still while paused: both clocks keep their distance to now.
      const int64_t sinceStart = now - effectStart;
      const int64_t sincePresent = now - lastPresent;
      host.UnlockSurface();
      while (!host.Stopped() && host.Paused()) host.Sleep(kPauseSlice);
      host.LockSurface();
      const int64_t pausedAt = now;
      now = host.Now();
      host.StoodStill(now - pausedAt);
      effectStart = now - sinceStart;
      lastPresent = now - sincePresent;
    }
  }
  int64_t elapsed = now - effectStart;
  if (framePending && now - lastPresent >= kPresentInterval) {
    if (!host.Stopped()) host.Present();
    now = host.Now();
    lastPresent = now;
    elapsed = now - effectStart;
    framePending = false;
  }
  const int64_t delay = Round(static_cast<double>(host.Duration()) * fraction - static_cast<double>(elapsed));
  if (delay > 0) {
    if (waitOnTime) SleepInSlices(static_cast<int32_t>(std::min<int64_t>(delay, INT32_MAX)), host);
    waitOnTime = true;
    framePending = true;
    return 1;
  }
  waitOnTime = false;
  return 0;
}

}  // namespace kelv
