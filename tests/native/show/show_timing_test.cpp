// The pacing of a transition on a simulated clock: when Wait sleeps, presents and tells
// the effect it is late; the restart value; the pause that holds the transition still;
// the effect preview's change of duration; the sleep slices a stop cuts short.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "show/show_wait.hpp"

namespace kelv {
namespace {

class FakeHost : public WaitServices {
public:
  int64_t now = 100000;
  int32_t duration = 1000;
  int32_t pending = -1;
  bool paused = false;
  bool preview = false;
  int stopAfterSleeps = -1;  // the stop flag rises after this many sleeps
  bool stopped = false;
  std::vector<int32_t> sleeps;
  std::vector<int64_t> presents;
  int locks = 0, unlocks = 0;
  int pauseSleepsLeft = 0;  // sleeps while paused before the pause ends

  int64_t Now() override { return now; }
  void Sleep(int32_t ms) override {
    sleeps.push_back(ms);
    now += ms;
    if (stopAfterSleeps >= 0 && static_cast<int>(sleeps.size()) >= stopAfterSleeps) stopped = true;
    if (paused && --pauseSleepsLeft <= 0) paused = false;
  }
  bool Stopped() override { return stopped; }
  bool Paused() override { return paused; }
  void ClearPaused() override { paused = false; }
  bool EffectPreview() override { return preview; }
  int32_t Duration() override { return duration; }
  void SetDuration(int32_t ms) override { duration = ms; }
  int32_t PendingDuration() override { return pending; }
  void Present() override { presents.push_back(now); }
  void UnlockSurface() override { ++unlocks; }
  void LockSurface() override { ++locks; }
};

TEST(ShowTiming, FirstWaitNeverSleepsThenFramesArePaced) {
  FakeHost host;
  EffectClock clock;
  clock.Restart(host.now);
  EXPECT_EQ(clock.Wait(0.1f, host), 1);  // 100 ms ahead, but the first call only notes it
  EXPECT_TRUE(host.sleeps.empty());
  EXPECT_TRUE(host.presents.empty());
  EXPECT_EQ(clock.Wait(0.2f, host), 1);  // presents the pending frame, sleeps to 200 ms
  ASSERT_EQ(host.presents.size(), 1u);
  ASSERT_EQ(host.sleeps.size(), 1u);
  EXPECT_EQ(host.sleeps[0], 200);
  // The next call presents again (200 ms have passed) and sleeps the 7 ms to 210 ms; a
  // call right after that is within 10 ms of the presentation: no present.
  host.now += 3;
  EXPECT_EQ(clock.Wait(0.21f, host), 1);
  EXPECT_EQ(host.presents.size(), 2u);
  EXPECT_EQ(host.sleeps.back(), 7);
  EXPECT_EQ(clock.Wait(0.211f, host), 1);
  EXPECT_EQ(host.presents.size(), 2u);
}

TEST(ShowTiming, LateEffectIsToldAndNotSlowed) {
  FakeHost host;
  EffectClock clock;
  clock.Restart(host.now);
  host.now += 600;
  EXPECT_EQ(clock.Wait(0.5f, host), 0);
  EXPECT_FALSE(clock.waitOnTime);
  EXPECT_TRUE(host.sleeps.empty());
  // On time again: this call does not sleep yet (the previous one was late).
  EXPECT_EQ(clock.Wait(0.7f, host), 1);
  EXPECT_TRUE(host.sleeps.empty());
}

TEST(ShowTiming, RestartValueRestartsTheClock) {
  FakeHost host;
  EffectClock clock;
  clock.Restart(host.now);
  host.now += 5000;
  EXPECT_EQ(clock.Wait(-17304.0f, host), 1);
  EXPECT_EQ(clock.effectStart, host.now);
  EXPECT_EQ(clock.Wait(-17304.9f, host), 1);
  // Just outside the band it is an ordinary (hopelessly late) fraction.
  EXPECT_EQ(clock.Wait(-17305.0f, host), 0);
}

TEST(ShowTiming, LongSleepsComeInSlicesThatAStopCuts) {
  FakeHost host;
  SleepInSlices(650, host);
  EXPECT_EQ(host.sleeps, (std::vector<int32_t>{200, 200, 200, 50}));
  FakeHost stopping;
  stopping.stopAfterSleeps = 2;
  SleepInSlices(1000, stopping);
  EXPECT_EQ(stopping.sleeps, (std::vector<int32_t>{200, 200}));
  FakeHost shortSleep;
  SleepInSlices(199, shortSleep);
  EXPECT_EQ(shortSleep.sleeps, (std::vector<int32_t>{199}));
  FakeHost none;
  SleepInSlices(0, none);
  SleepInSlices(-5, none);
  EXPECT_TRUE(none.sleeps.empty());
}

TEST(ShowTiming, PauseHoldsTheTransitionAtItsFraction) {
  FakeHost host;
  EffectClock clock;
  clock.Restart(host.now);
  ASSERT_EQ(clock.Wait(0.1f, host), 1);
  host.now += 50;
  const int64_t sinceStart = host.now - clock.effectStart;
  host.paused = true;
  host.pauseSleepsLeft = 100;  // two seconds of 20 ms slices
  clock.Wait(0.15f, host);
  EXPECT_EQ(host.unlocks, 1);
  EXPECT_EQ(host.locks, 1);
  EXPECT_EQ(std::count(host.sleeps.begin(), host.sleeps.end(), kPauseSlice), 100);
  // After the pause the transition goes on where it stood: 150 ms in, the clock shows
  // (almost) the same elapsed time as before the pause plus the wait it did afterwards.
  EXPECT_LE(host.now - clock.effectStart, sinceStart + 100 + 1);
  EXPECT_EQ(clock.Wait(0.2f, host), 1);
}

TEST(ShowTiming, PreviewTakesTheNewDurationAtTheSameFraction) {
  FakeHost host;
  host.preview = true;
  host.paused = true;
  host.pending = 4000;
  EffectClock clock;
  clock.Restart(host.now);
  host.now += 200;  // 1000 ms transition, 20 % due at 200 ms: nothing left
  clock.Wait(0.5f, host);  // 500 ms due: 300 left
  EXPECT_FALSE(host.paused);
  EXPECT_EQ(host.duration, 4000);
  // Half of 4000 ms is due now minus the 300 ms still to go.
  EXPECT_EQ(clock.effectStart, host.now - 2000 + 300);
  // The time left is limited to one second.
  const Rescaled r = RescaleToDuration(10000, 100, 0.9f, 0, 0);
  EXPECT_EQ(r.effectStart, -90 + 1000);
  const Rescaled late = RescaleToDuration(1000, 2000, 0.1f, 5000, 0);
  EXPECT_EQ(late.effectStart, 5000 - 200);
}

}  // namespace
}  // namespace kelv
