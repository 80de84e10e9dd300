// The show cycle against a fake clock: when changes come (at once at the start, then
// after "Delay"), pause, the arrow keys with and without in-place effects, an ending input
// meeting a navigation step, the crash report's test failure and the resume point.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "common/random.hpp"
#include "show/compose_history.hpp"
#include "show/fake_effect_module.hpp"
#include "show/show_effects.hpp"
#include "show/show_machine.hpp"
#include "show/run_flags.hpp"
#include "show/show_navigation.hpp"

namespace kelv {
namespace {

// What reached the screen: a cut or an effect run, the picture shown after it and when.
struct Change {
  enum Kind { Cut, Run } kind;
  int32_t picture;
  uint32_t at;
  int32_t effect;  // table index for a run
};

// A show of one-picture screens numbered in the order they are composed, as the display
// order and the screen history would compose them; time passes only in Sleep, Compose
// and RunEffect.
class FakeShow final : public ShowPlatform {
public:
  uint32_t now = 0xFFFF0000u;  // close to the tick count's wrap
  uint32_t composeMs = 40;
  uint32_t effectMs = 300;
  int32_t onScreen = -1;  // -1: the captured desktop
  int32_t inNext = -1;
  std::vector<Change> changes;
  std::vector<int32_t> preSteps;
  int32_t testFailures = 0;
  int32_t composes = 0;
  int32_t passes = 0;
  // Called after every sleep and inside every compose with the time: scripted input.
  std::function<void()> onSleep;
  std::function<void()> onCompose;
  std::function<void()> onDraw;  // after every drawing step of an effect
  ScreenHistory history;
  std::atomic<int32_t>* stop = nullptr;

  FakeShow() { history.Reset(); }

  uint32_t Ticks() override { return now; }
  void Sleep(int32_t ms) override {
    now += static_cast<uint32_t>(ms);
    if (ms == kShowPassSleep) ++passes;
    if (onSleep) onSleep();
  }
  int32_t Compose() override {
    ++composes;
    now += composeMs;
    if (onCompose) onCompose();
    history.SetCell(0);
    const int32_t picture = history.Replaying() ? history.ReplayedPicture() : next_++;
    history.Record(picture);
    history.FinishScreen(1);
    inNext = picture;
    return picture;
  }
  void CopyScreenToNext() override { inNext = onScreen; }
  void CutToNext() override {
    onScreen = inNext;
    changes.push_back({Change::Cut, onScreen, now, -1});
  }
  void PreStep(int32_t index) override { preSteps.push_back(index); }
  void RunEffect(int32_t index, bool raiseTestFailure) override {
    // The effect draws in steps and leaves early once a stop is requested.
    for (uint32_t t = 0; t < effectMs && *stop == 0; t += 10) {
      now += 10;
      if (onDraw) onDraw();
    }
    if (*stop == 0) onScreen = inNext;
    changes.push_back({Change::Run, inNext, now, index});
    if (raiseTestFailure) ++testFailures;
  }
  void RaiseTestFailure() override { ++testFailures; }
  void Present() override {}
  void LockSurface() override {}
  void UnlockSurface() override {}
  void VisibilityCheck() override {}
  // A moving screen: every frame's time and how far into its stay it was.
  bool moves = false;
  struct Frame {
    uint32_t at;
    int64_t shown;
    size_t change;  // changes made before it
  };
  std::vector<Frame> frames;
  int32_t staysEnded = 0;
  bool StayFrame(int64_t shown, int32_t /*delay*/) override {
    if (!moves) return false;
    frames.push_back({now, shown, changes.size()});
    return true;
  }
  void StayEnds() override { ++staysEnded; }

private:
  int32_t next_ = 0;
};

// A whole show: modules, table, flags and the machine, driven through Run().
struct Show {
  FakeShow platform;
  std::vector<EffectModule> modules;
  EffectTableState table;
  ShowNavigation nav;
  RunFlags run;
  std::atomic<int32_t>& stop = run.StopRequested;
  std::atomic<bool>& paused = run.Paused;
  std::atomic<bool>& testFailure = run.TestFailureRequested;
  std::mutex navLock;
  int32_t delay = 1000;
  ShowMachine machine{platform, modules, table, nav, run, delay};

  // flags: one byte per effect of a single one-group module; empty: no effect at all.
  explicit Show(std::vector<uint8_t> flags, FakeModule* keep) {
    platform.stop = &stop;
    if (!flags.empty()) {
      *keep = FakeModule{{static_cast<uint8_t>(flags.size())}, {flags}};
      modules.push_back(keep->Make());
    }
    BuildEffectTable(modules, table);
    machine.Start();
    machine.ChooseFirst();
  }
  void RequestEnd() { run.RequestEnd(); }
  void Right() { StepNext(nav, platform.history, stop, navLock); }
  void Left() { StepPrevious(nav, platform.history, stop, navLock); }
  // Runs the show until `ms` have passed, then ends it; false when it did not end.
  bool RunFor(uint32_t ms) {
    const uint32_t start = platform.now;
    auto script = platform.onSleep;
    int32_t guard = 0;
    platform.onSleep = [&, script] {
      if (script) script();
      if (platform.now - start >= ms && !run.EndRequested) RequestEnd();
      if (++guard > 100000) RequestEnd();  // the test's own safety net
    };
    machine.Run();
    platform.onSleep = script;
    return guard <= 100000;
  }
};

const std::vector<uint8_t> kNoEffects{};
const std::vector<uint8_t> kPlain{0};

TEST(ShowMachine, ChangesComeAtOnceThenAfterTheDelay) {
  struct Case {
    std::vector<uint8_t> effects;
    int32_t delay;
  };
  for (const Case& c : {Case{kNoEffects, 1000}, Case{kPlain, 1000}, Case{kPlain, 60000}, Case{kPlain, 0}}) {
    FakeModule m;
    Show show(c.effects, &m);
    show.delay = c.delay;
    const uint32_t start = show.platform.now;
    ASSERT_TRUE(show.RunFor(c.delay * 3 + 2000));
    const std::vector<Change>& ch = show.platform.changes;
    ASSERT_GE(ch.size(), 2u) << c.delay;
    // The first change starts with the first pass, whatever the delay.
    const uint32_t first = ch[0].at - (ch[0].kind == Change::Run ? show.platform.effectMs : 0);
    EXPECT_LE(first - start, static_cast<uint32_t>(kShowPassSleep)) << c.delay;
    EXPECT_EQ(ch[0].picture, 0);
    // Then a screen stays "Delay" after its change ended, plus the composing of the next
    // screen when that takes longer, plus up to one pass of polling.
    for (size_t k = 1; k < ch.size(); ++k) {
      const uint32_t begin = ch[k].at - (ch[k].kind == Change::Run ? show.platform.effectMs : 0);
      const uint32_t gap = begin - ch[k - 1].at;
      EXPECT_GT(gap, static_cast<uint32_t>(c.delay)) << c.delay << " change " << k;
      EXPECT_LE(gap, c.delay + show.platform.composeMs + kShowPassSleep) << c.delay << " change " << k;
      EXPECT_EQ(ch[k].picture, ch[k - 1].picture + 1);
    }
  }
}

TEST(ShowMachine, PauseStopsTheDelayClock) {
  FakeModule m;
  Show show(kPlain, &m);
  // Pause 200 ms after the first change for 5 s.
  uint32_t pausedAt = 0;
  show.platform.onSleep = [&] {
    FakeShow& p = show.platform;
    if (!pausedAt && p.changes.size() == 1 && p.now - p.changes[0].at >= 200) {
      pausedAt = p.now;
      show.paused = true;
    }
    if (pausedAt && show.paused && p.now - pausedAt >= 5000) show.paused = false;
  };
  ASSERT_TRUE(show.RunFor(8000));
  const std::vector<Change>& ch = show.platform.changes;
  ASSERT_GE(ch.size(), 2u);
  const uint32_t gap = ch[1].at - show.platform.effectMs - ch[0].at;
  EXPECT_GT(gap, 6000u);
  EXPECT_LE(gap, 6000u + show.platform.composeMs + 2 * kShowPassSleep);
}

// A moving screen gets a frame at every pass of its stay, at most every 10 ms, each
// further into the stay than the one before; pause holds it where it stood and the frames
// go on from there; every change ends a stay first.
TEST(ShowMachine, MovingScreenGetsFramesThroughItsStayAndPauseHoldsThem) {
  FakeModule m;
  Show show(kPlain, &m);
  show.platform.moves = true;
  uint32_t pausedAt = 0, resumedAt = 0;
  show.platform.onSleep = [&] {
    FakeShow& p = show.platform;
    if (!pausedAt && p.changes.size() == 1 && p.now - p.changes[0].at >= 400) {
      pausedAt = p.now;
      show.paused = true;
    }
    if (pausedAt && !resumedAt && p.now - pausedAt >= 3000) {
      resumedAt = p.now;
      show.paused = false;
    }
  };
  ASSERT_TRUE(show.RunFor(8000));
  const auto& frames = show.platform.frames;
  const auto& changes = show.platform.changes;
  ASSERT_GE(changes.size(), 3u);
  ASSERT_GT(frames.size(), 100u);
  EXPECT_EQ(show.platform.staysEnded, static_cast<int32_t>(changes.size()));  // the desktop's too
  for (size_t k = 1; k < frames.size(); ++k) {
    if (frames[k].change != frames[k - 1].change) continue;
    SCOPED_TRACE(k);
    EXPECT_GE(frames[k].at - frames[k - 1].at, static_cast<uint32_t>(kMovingPassSleep));
    EXPECT_GT(frames[k].shown, frames[k - 1].shown);
    EXPECT_LE(frames[k].shown, show.delay);
    // Nothing is drawn while paused, and the stay goes on where it stood.
    EXPECT_FALSE(frames[k].at > pausedAt && frames[k].at < resumedAt);
    EXPECT_LE(frames[k].shown - frames[k - 1].shown, 2 * kMovingPassSleep + 1);
  }
}

// Every right arrow moves exactly one screen forward and every left arrow one screen back
// (once there is an earlier screen), in between transitions of plain and in-place effects.
TEST(ShowMachine, EachArrowMovesExactlyOneScreen) {
  const std::vector<std::vector<uint8_t>> tables{
      {0, KELV_FX_KEEPS_PICTURE},
      {0, KELV_FX_KEEPS_PICTURE, KELV_FX_PRE_STEP},
      {KELV_FX_KEEPS_PICTURE, KELV_FX_KEEPS_PICTURE | KELV_FX_PRE_STEP},
      {0},
      {}};
  for (size_t t = 0; t < tables.size(); ++t) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      SeedRandom(seed);
      FakeModule m;
      Show show(tables[t], &m);
      show.delay = 700;
      std::mt19937 keys(seed);
      struct Press {
        bool right;
        int32_t before;
        size_t changesBefore;
      };
      std::vector<Press> presses;
      show.platform.onSleep = [&] {
        // A key now and then while the show waits out a delay and nothing is pending.
        if (show.nav.stepPending || show.platform.changes.empty() || keys() % 9 != 0) return;
        const bool right = keys() % 2 == 0;
        const Press press{right, show.platform.onScreen, show.platform.changes.size()};
        right ? show.Right() : show.Left();
        if (show.nav.stepPending) presses.push_back(press);
      };
      ASSERT_TRUE(show.RunFor(30000));
      const std::vector<Change>& ch = show.platform.changes;
      ASSERT_GE(presses.size(), 5u);
      for (const Press& p : presses) {
        if (p.changesBefore == ch.size()) continue;  // pressed just before the end
        const Change& step = ch[p.changesBefore];
        EXPECT_EQ(step.kind, Change::Cut) << "table " << t << " seed " << seed;
        EXPECT_EQ(step.picture, p.before + (p.right ? 1 : -1))
            << "table " << t << " seed " << seed << (p.right ? " right" : " left") << " from " << p.before;
      }
      // Between the steps, a change brings the next picture or (in place) keeps it.
      for (size_t k = 1; k < ch.size(); ++k) {
        const int32_t d = ch[k].picture - ch[k - 1].picture;
        EXPECT_TRUE(d == 0 || d == 1 || d == -1) << "table " << t << " seed " << seed << " change " << k;
      }
    }
  }
}

TEST(ShowMachine, LeftArrowAtTheStartDoesNothing) {
  for (const auto& effects : {kNoEffects, kPlain, std::vector<uint8_t>{KELV_FX_KEEPS_PICTURE, 0}}) {
    SeedRandom(3);
    FakeModule m;
    Show show(effects, &m);
    show.Left();
    EXPECT_FALSE(show.nav.stepPending);
    EXPECT_EQ(show.stop, 0);
  }
}

// An ending input (a key, a click, Escape) that meets a navigation step still ends the
// run, wherever the step is when it arrives.
TEST(ShowMachine, EndingInputDuringAStepEndsTheRun) {
  enum When { WithThePress, WhileTheStepComposes, AfterTheStepBeforeItsPass };
  for (When when : {WithThePress, WhileTheStepComposes, AfterTheStepBeforeItsPass}) {
    for (const auto& effects : {kPlain, std::vector<uint8_t>{0, KELV_FX_KEEPS_PICTURE}}) {
      SeedRandom(5);
      FakeModule m;
      Show show(effects, &m);
      bool pressed = false;
      bool ended = false;
      size_t changesAtEnd = 0;
      int32_t passesAtEnd = 0;
      auto endNow = [&](size_t changesAllowed) {
        show.RequestEnd();
        ended = true;
        changesAtEnd = changesAllowed;
        passesAtEnd = show.platform.passes;
      };
      show.platform.onSleep = [&] {
        if (!pressed && show.platform.changes.size() == 2) {
          pressed = true;
          show.Left();
          if (when == WithThePress || when == AfterTheStepBeforeItsPass) {
            show.Right();  // a second arrow keeps the step pending one more pass
          }
          if (when == WithThePress) endNow(show.platform.changes.size());
        } else if (pressed && !ended && when == AfterTheStepBeforeItsPass && !show.nav.stepPending) {
          endNow(show.platform.changes.size());
        }
      };
      show.platform.onCompose = [&] {
        // The step's own cut may still follow.
        if (pressed && !ended && when == WhileTheStepComposes) endNow(show.platform.changes.size() + 1);
      };
      auto script = show.platform.onSleep;
      show.platform.onSleep = [&] {
        script();
        if (show.platform.passes > 2000) show.RequestEnd();  // the fault: the end was lost
      };
      show.machine.Run();
      EXPECT_TRUE(ended) << when;
      EXPECT_LE(show.platform.passes, passesAtEnd + 1) << when;
      EXPECT_LE(show.platform.changes.size(), changesAtEnd) << when;
      EXPECT_NE(show.stop, 0) << when;
    }
  }
}

TEST(ShowMachine, TestFailureIsRaisedInTheNextChangeOnce) {
  for (const auto& effects : {kNoEffects, kPlain}) {
    FakeModule m;
    Show show(effects, &m);
    bool armed = false;
    show.platform.onSleep = [&] {
      if (!armed && show.platform.changes.size() == 1) {
        armed = true;
        show.testFailure = true;
      }
    };
    ASSERT_TRUE(show.RunFor(5000));
    EXPECT_EQ(show.platform.testFailures, 1);
    EXPECT_FALSE(show.testFailure);
  }
}

TEST(ShowMachine, PreStepRunsOneChangeAheadAndNeverFirst) {
  SeedRandom(11);
  FakeModule m;
  Show show({KELV_FX_PRE_STEP, 0}, &m);
  ASSERT_TRUE(show.RunFor(20000));
  const std::vector<Change>& ch = show.platform.changes;
  ASSERT_FALSE(ch.empty());
  EXPECT_EQ(ch[0].effect, 1);  // the first effect needs no pre-step
  // Every run of effect 0 followed a pre-step for it one change earlier.
  int32_t preStepsNeeded = 0;
  for (const Change& c : ch) preStepsNeeded += c.effect == 0;
  EXPECT_GE(static_cast<int32_t>(show.platform.preSteps.size()), preStepsNeeded);
  for (int32_t index : show.platform.preSteps) EXPECT_EQ(index, 0);
}

// The resume point is the last picture the user saw: not the screen composed ahead, not
// a screen whose transition an ending input cut short.
TEST(ShowMachine, LastSeenPictureIsTheScreenOnDisplay) {
  FakeModule m;
  Show show(kPlain, &m);
  EXPECT_EQ(show.machine.LastSeenPicture(), -1);  // only the desktop so far
  EXPECT_EQ(show.platform.inNext, 0);
  ASSERT_TRUE(show.RunFor(1000));  // picture 0 came, picture 1 is prepared
  EXPECT_EQ(show.platform.onScreen, 0);
  EXPECT_EQ(show.platform.inNext, 1);
  EXPECT_EQ(show.machine.LastSeenPicture(), 0);

  // An end in the middle of the transition to picture 1.
  FakeModule m2;
  Show cut(kPlain, &m2);
  cut.platform.onDraw = [&] {
    if (cut.platform.changes.size() == 1) cut.RequestEnd();
  };
  cut.machine.Run();
  ASSERT_EQ(cut.platform.changes.size(), 2u);
  EXPECT_EQ(cut.machine.LastSeenPicture(), 0);
}

}  // namespace
}  // namespace kelv
