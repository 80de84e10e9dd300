// The pacing of a transition: the clock the effect modules drive through their Wait
// callback. Each call says which fraction of the transition is drawn; the clock sleeps
// until that fraction is due, presents the drawn frames at most every 10 ms, and tells a
// late effect so instead of slowing it down. Pure arithmetic over a small set of host
// services, so that the timing can be checked without a screen or a real clock.
#pragma once

#include <cstdint>

namespace kelv {

// The fraction that restarts the clock (any value strictly between -17305 and -17303).
inline constexpr float kWaitRestartLow = -17305.0f;
inline constexpr float kWaitRestartHigh = -17303.0f;
inline constexpr int32_t kPresentInterval = 10;  // ms between presented frames
inline constexpr int32_t kSleepSlice = 200;      // ms; a stop is seen within one slice
inline constexpr int32_t kPauseSlice = 20;       // ms per sleep while paused

// What the clock needs from the host.
class WaitServices {
public:
  virtual ~WaitServices() = default;
  virtual int64_t Now() = 0;  // milliseconds
  virtual void Sleep(int32_t ms) = 0;
  virtual bool Stopped() = 0;
  virtual bool Paused() = 0;
  virtual void ClearPaused() = 0;
  virtual bool EffectPreview() = 0;
  // The transition's duration ("Convert") and, in an effect preview, the duration the
  // dialog has set meanwhile (negative: unchanged).
  virtual int32_t Duration() = 0;
  virtual void SetDuration(int32_t ms) = 0;
  virtual int32_t PendingDuration() = 0;
  // Shows the screen bitmap; the surface lock around a pause.
  virtual void Present() = 0;
  virtual void UnlockSurface() = 0;
  virtual void LockSurface() = 0;
  // The transition stood still this long while paused (the other monitors' delay clocks
  // of a show on every monitor stand still as long).
  virtual void StoodStill(int64_t /*ms*/) {}
};

// Sleeps `delay` ms: at once below one slice, otherwise slice by slice while no stop is
// requested, then the rest (skipped once stopped).
void SleepInSlices(int32_t delay, WaitServices& host);

// The duration and start time after the dialog changed the duration during a preview:
// the transition continues at the same fraction, at most one second from where it was.
struct Rescaled {
  int32_t duration;
  int64_t effectStart;
};
Rescaled RescaleToDuration(int32_t duration, int32_t newDuration, float fraction, int64_t now, int64_t effectStart);

class EffectClock {
public:
  // Before a run: start now, the last presentation long ago, nothing drawn.
  void Restart(int64_t now);
  // The effect's Wait: 1 when it is on schedule (the clock waited), 0 when it is late.
  int32_t Wait(float fraction, WaitServices& host);

  int64_t effectStart = 0;
  int64_t lastPresent = 0;
  bool waitOnTime = false;
  bool framePending = false;
};

}  // namespace kelv
