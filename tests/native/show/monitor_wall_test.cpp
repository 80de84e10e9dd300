// The show on several monitors against one fake clock: the changes spread over the delay
// (monitor k of N k/N of a delay after the primary) and how late each one starts, the
// arrow keys stepping every monitor through its own history, pause holding every monitor,
// and the resume point being the primary's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "show/compose_history.hpp"
#include "show/fake_effect_module.hpp"
#include "show/monitor_wall.hpp"
#include "show/run_flags.hpp"
#include "show/show_effects.hpp"
#include "show/show_machine.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {
namespace {

struct Change {
  int32_t monitor;
  uint32_t start;
  uint32_t end;
  int32_t picture;
  bool cut;
};

// The clock and the one display order the monitors share.
struct Shared {
  uint32_t now = 0xFFFFF000u;  // close to the tick count's wrap
  int32_t order = 0;           // the next picture of the display order
  std::vector<Change> changes;
  std::function<void()> onSleep;
  std::function<void(int32_t monitor)> onDraw;  // after each drawing step of a transition
  std::function<void(int32_t monitor)> onCompose;
  std::atomic<int32_t>* stop = nullptr;
};

// One monitor: one-picture screens from the shared order, or from its own history when
// replaying; time passes in sleeps, composing and drawing.
class FakeMonitor final : public ShowPlatform {
public:
  FakeMonitor(Shared& shared, int32_t monitor) : shared_(shared), monitor_(monitor) { history.Reset(); }
  uint32_t composeMs = 40;
  uint32_t effectMs = 100;
  int32_t onScreen = -1;
  int32_t inNext = -1;
  ScreenHistory history;
  RunFlags* run = nullptr;

  uint32_t Ticks() override { return shared_.now; }
  void Sleep(int32_t ms) override {
    shared_.now += static_cast<uint32_t>(ms);
    if (shared_.onSleep) shared_.onSleep();
  }
  int32_t Compose() override {
    shared_.now += composeMs;
    if (shared_.onCompose) shared_.onCompose(monitor_);
    history.SetCell(0);
    const int32_t picture = history.Replaying() ? history.ReplayedPicture() : shared_.order++;
    history.Record(picture);
    history.FinishScreen(1);
    inNext = picture;
    return picture;
  }
  void CopyScreenToNext() override { inNext = onScreen; }
  void CutToNext() override {
    onScreen = inNext;
    shared_.changes.push_back({monitor_, shared_.now, shared_.now, onScreen, true});
  }
  void PreStep(int32_t) override {}
  void RunEffect(int32_t, bool) override {
    const uint32_t start = shared_.now;
    for (uint32_t t = 0; t < effectMs && *shared_.stop == 0; t += 10) {
      shared_.now += 10;
      if (shared_.onDraw) shared_.onDraw(monitor_);
      // The transition stands still while paused, as the effect clock has it.
      const uint32_t pausedAt = shared_.now;
      while (run->Paused && *shared_.stop == 0) Sleep(kPauseSlice);
      run->ChangesPausedMs += shared_.now - pausedAt;
    }
    if (*shared_.stop == 0) onScreen = inNext;
    shared_.changes.push_back({monitor_, start, shared_.now, inNext, false});
  }
  void RaiseTestFailure() override {}
  void Present() override {}
  void LockSurface() override {}
  void UnlockSurface() override {}
  void VisibilityCheck() override {}
  // A moving screen (pan and zoom): when each of its frames came, and how far into the stay.
  bool moves = false;
  std::vector<std::pair<uint32_t, int64_t>> frames;
  bool StayFrame(int64_t shown, int32_t delay) override {
    if (!moves) return false;
    EXPECT_LE(shown, delay);
    frames.emplace_back(shared_.now, shown);
    return true;
  }

private:
  Shared& shared_;
  int32_t monitor_;
};

struct Wall {
  Shared shared;
  FakeModule fake;
  std::vector<EffectModule> modules;
  RunFlags run;
  std::mutex navLock;
  int32_t delay = 1000;
  std::vector<std::unique_ptr<FakeMonitor>> platforms;
  std::vector<std::unique_ptr<EffectTableState>> tables;
  std::vector<std::unique_ptr<ShowNavigation>> navs;
  std::vector<std::unique_ptr<ShowMachine>> machines;
  std::unique_ptr<MonitorWall> wall;
  std::vector<std::pair<int32_t, int64_t>> late;

  Wall(int32_t monitors, uint32_t composeMs) {
    shared.stop = &run.StopRequested;
    fake = FakeModule{{2}, {{0, 0}}};
    modules.push_back(fake.Make());
    for (int32_t m = 0; m < monitors; ++m) {
      platforms.push_back(std::make_unique<FakeMonitor>(shared, m));
      platforms.back()->composeMs = composeMs;
      platforms.back()->run = &run;
      tables.push_back(std::make_unique<EffectTableState>());
      BuildEffectTable(modules, *tables.back());
      navs.push_back(std::make_unique<ShowNavigation>());
      machines.push_back(std::make_unique<ShowMachine>(*platforms.back(), modules, *tables.back(), *navs.back(),
                                                       run, delay));
    }
    wall = std::make_unique<MonitorWall>(*platforms.front(), run, delay);
    for (int32_t m = 0; m < monitors; ++m) wall->Add(*machines[m], *navs[m], platforms[m]->history);
    wall->changeStarted = [this](int32_t m, int64_t ms) { late.emplace_back(m, ms); };
    for (auto& machine : machines) machine->Start();
    wall->Start();
    for (auto& machine : machines) machine->ChooseFirst();
  }

  void RunFor(uint32_t ms, std::function<void(uint32_t elapsed)> script = nullptr) {
    const uint32_t start = shared.now;
    shared.onSleep = [&, start] {
      const uint32_t elapsed = shared.now - start;
      if (script) script(elapsed);
      if (elapsed >= ms && !run.EndRequested) run.RequestEnd();
    };
    wall->Run();
    shared.onSleep = nullptr;
  }
  std::vector<Change> Of(int32_t monitor) const {
    std::vector<Change> out;
    for (const Change& c : shared.changes)
      if (c.monitor == monitor) out.push_back(c);
    return out;
  }
};

TEST(MonitorWall, ChangesSpreadOverTheDelayOneMonitorAfterTheOther) {
  EXPECT_EQ(MonitorWall::Offset(0, 4, 3000), 0u);
  EXPECT_EQ(MonitorWall::Offset(3, 4, 3000), 2250u);
  EXPECT_EQ(MonitorWall::Offset(1, 3, 1000), 333u);

  // Four monitors, a delay of 1 s: composing and a transition fit in each quarter.
  Wall w(4, 40);
  w.RunFor(12000);
  const std::vector<Change>& all = w.shared.changes;
  ASSERT_GE(all.size(), 24u);
  // The wall changes one screen at a time, in turn: 0, 1, 2, 3, 0, 1, ...
  for (size_t i = 0; i + 1 < all.size(); ++i) {
    EXPECT_EQ(all[i + 1].monitor, (all[i].monitor + 1) % 4) << i;
    EXPECT_GE(static_cast<int32_t>(all[i + 1].start - all[i].end), 0) << i;
  }
  // Monitor k starts k/4 of the delay after the end of the primary's change (within a pass).
  uint32_t anchor = 0;
  for (const Change& c : all) {
    if (c.monitor == 0) {
      anchor = c.end;
      continue;
    }
    const uint32_t after = c.start - anchor;
    EXPECT_GE(after, MonitorWall::Offset(c.monitor, 4, 1000)) << c.monitor;
    EXPECT_LE(after, MonitorWall::Offset(c.monitor, 4, 1000) + 40) << c.monitor;
  }
  // The primary keeps its own rhythm: a delay after its change ended.
  const std::vector<Change> primary = w.Of(0);
  for (size_t i = 1; i < primary.size(); ++i) {
    EXPECT_GE(primary[i].start - primary[i - 1].end, 1000u);
    EXPECT_LE(primary[i].start - primary[i - 1].end, 1040u);
  }
  // Pictures come from the one order in turn: no picture twice.
  std::map<int32_t, int32_t> times;
  for (const Change& c : all) ++times[c.picture];
  for (auto [picture, n] : times) EXPECT_EQ(n, 1) << picture;
  // Every timed change was on time (within one pass of the show thread).
  ASSERT_FALSE(w.late.empty());
  for (auto [m, ms] : w.late) EXPECT_LE(ms, 31) << m;

  // Composing that does not fit in a monitor's share makes the next monitor late, and says so.
  Wall slow(4, 400);
  slow.RunFor(12000);
  int64_t worst = 0;
  for (auto [m, ms] : slow.late) worst = std::max(worst, ms);
  EXPECT_GT(worst, 200);

  // Moving screens: every monitor gets its frames all through its stay, also while it
  // waits for the primary's next change (the passes then come every 10 ms, but another
  // monitor's composing and transition hold the one thread).
  Wall moving(3, 40);
  for (auto& p : moving.platforms) p->moves = true;
  moving.RunFor(8000);
  for (int32_t m = 0; m < 3; ++m) {
    const std::vector<Change> changes = moving.Of(m);
    const auto& frames = moving.platforms[m]->frames;
    ASSERT_GE(changes.size(), 6u) << m;
    for (size_t i = 1; i + 1 < changes.size(); ++i) {
      uint32_t last = changes[i].end;
      int64_t lastShown = -1;
      for (const auto& [at, shown] : frames) {
        // (the clock wraps during the run: times are compared by their differences)
        if (static_cast<int32_t>(at - changes[i].end) <= 0 || static_cast<int32_t>(changes[i + 1].start - at) <= 0)
          continue;
        EXPECT_LE(at - last, 200u) << "monitor " << m << " stay " << i;
        EXPECT_GE(shown + 20, lastShown) << "monitor " << m << " stay " << i;
        last = at;
        lastShown = shown;
      }
      EXPECT_LE(changes[i + 1].start - last, 200u) << "monitor " << m << " stay " << i;
    }
  }
}

TEST(MonitorWall, ArrowKeysStepEveryMonitorThroughItsOwnHistory) {
  Wall w(3, 40);
  w.RunFor(7000);  // a few rounds
  std::vector<int32_t> before;
  for (auto& p : w.platforms) before.push_back(p->onScreen);
  std::vector<int32_t> prepared;
  for (auto& p : w.platforms) prepared.push_back(p->inNext);
  const size_t seen = w.shared.changes.size();

  // Right arrow during the delay: every monitor cuts to its prepared screen at once.
  w.run.EndRequested = false;
  w.run.StopRequested = 0;
  w.wall->StepNext(w.run.StopRequested, w.navLock);
  w.RunFor(100);
  std::vector<Change> cuts(w.shared.changes.begin() + static_cast<long>(seen), w.shared.changes.end());
  ASSERT_EQ(cuts.size(), 3u);
  for (int32_t m = 0; m < 3; ++m) {
    EXPECT_TRUE(cuts[m].cut);
    EXPECT_EQ(cuts[m].monitor, m);
    EXPECT_EQ(cuts[m].picture, prepared[m]);
  }

  // Left arrow: every monitor shows its own previous screen again (the one before the step).
  w.run.EndRequested = false;
  w.run.StopRequested = 0;
  const size_t stepped = w.shared.changes.size();
  w.wall->StepPrevious(w.run.StopRequested, w.navLock);
  w.RunFor(400);
  std::vector<Change> back(w.shared.changes.begin() + static_cast<long>(stepped), w.shared.changes.end());
  ASSERT_EQ(back.size(), 3u);
  for (int32_t m = 0; m < 3; ++m) {
    EXPECT_TRUE(back[m].cut);
    EXPECT_EQ(back[m].monitor, m);
    EXPECT_EQ(back[m].picture, before[m]) << m;
  }
  // Right arrow while the primary composes: its screen is finished first (no stop cuts it
  // short), then every monitor steps.
  w.run.EndRequested = false;
  w.run.StopRequested = 0;
  bool pressed = false;
  int32_t stopWhilePressed = -1;
  w.shared.onCompose = [&](int32_t monitor) {
    if (monitor != 0 || pressed) return;
    pressed = true;
    w.wall->StepNext(w.run.StopRequested, w.navLock);
    stopWhilePressed = w.run.StopRequested;
  };
  const size_t composedAt = w.shared.changes.size();
  w.RunFor(3000);
  ASSERT_TRUE(pressed);
  EXPECT_EQ(stopWhilePressed, 0);
  std::vector<int32_t> cutOn;
  for (size_t i = composedAt; i < w.shared.changes.size(); ++i)
    if (w.shared.changes[i].cut) cutOn.push_back(w.shared.changes[i].monitor);
  std::sort(cutOn.begin(), cutOn.end());
  EXPECT_EQ(cutOn, (std::vector<int32_t>{0, 1, 2}));  // one step on each monitor
  w.shared.onCompose = nullptr;

  // The resume point is the primary's picture, whatever the others show.
  EXPECT_EQ(w.wall->LastSeenPicture(), w.platforms[0]->onScreen);
  EXPECT_NE(w.wall->LastSeenPicture(), w.platforms[2]->onScreen);
}

// A pause during a delay, and one during the second monitor's transition: no monitor
// changes meanwhile, and afterwards the primary keeps its delay and the second monitor its
// half a delay after the primary, the pause not counted.
TEST(MonitorWall, PauseHoldsEveryMonitorAndTheirSpread) {
  for (bool inTransition : {false, true}) {
    SCOPED_TRACE(inTransition ? "paused in a transition" : "paused in a delay");
    Wall w(2, 40);
    const uint32_t begin = w.shared.now;
    uint32_t pausedAt = 0, resumedAt = 0;
    auto pause = [&] {
      if (pausedAt) return;
      w.run.Paused = true;
      pausedAt = w.shared.now;
    };
    if (inTransition) {
      w.shared.onDraw = [&](int32_t monitor) {
        if (monitor == 1 && w.shared.now - begin >= 1700) pause();
      };
    }
    w.RunFor(12000, [&](uint32_t elapsed) {
      if (!inTransition && elapsed >= 1700) pause();
      if (pausedAt && w.shared.now - pausedAt >= 5000 && w.run.Paused) {
        w.run.Paused = false;
        resumedAt = w.shared.now;
      }
    });
    ASSERT_NE(resumedAt, 0u);
    const uint32_t held = resumedAt - pausedAt;
    auto at = [&](uint32_t t) { return t - begin; };
    // The time from a to b without the pause when it lies between them.
    auto without = [&](uint32_t a, uint32_t b) {
      return at(a) <= at(pausedAt) && at(b) >= at(resumedAt) ? b - a - held : b - a;
    };
    uint32_t anchor = 0;
    bool first = true;
    for (const Change& c : w.shared.changes) {
      EXPECT_FALSE(at(c.start) > at(pausedAt) && at(c.start) < at(resumedAt)) << "a change while paused at " << at(c.start);
      if (c.monitor == 0) {
        if (!first) {
          EXPECT_GE(without(anchor, c.start), 1000u);
          EXPECT_LE(without(anchor, c.start), 1040u);
        }
        first = false;
        anchor = c.end;
        continue;
      }
      EXPECT_GE(without(anchor, c.start), 500u);
      EXPECT_LE(without(anchor, c.start), 540u);
    }
    EXPECT_GE(w.Of(1).size(), 4u);
  }
}

}  // namespace
}  // namespace kelv
