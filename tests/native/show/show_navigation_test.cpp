// The arrow keys against the screen history: what the right arrow asks for, how far the
// left arrow goes back at the start, in the middle and around the full ring of 101.
#include <gtest/gtest.h>

#include "show/compose_history.hpp"
#include "show/show_navigation.hpp"

namespace kelv {
namespace {

struct Nav {
  ShowNavigation nav;
  ScreenHistory history;
  std::atomic<int32_t> stop{0};
  std::mutex lock;

  Nav() { history.Reset(); }
  void Next() { StepNext(nav, history, stop, lock); }
  void Previous() { StepPrevious(nav, history, stop, lock); }
  // The show thread composes a new screen and has it prepared.
  void Compose() {
    history.SetCell(0);
    history.Record(static_cast<int32_t>(history.current.load()));
    history.FinishScreen(1);
    nav.nextPrepared = true;
  }
  // The show thread performs a pending step (the cut) and composes the following screen.
  void PerformStep() {
    stop = 0;
    nav.nextPrepared = false;
    if (!nav.keepPrepared) {
      history.FinishScreen(1);
    }
    nav.stepPending = false;
    nav.keepPrepared = false;
    Compose();
  }
};

TEST(ShowNavigation, RightArrowShowsThePreparedScreenAndCutsTheTransition) {
  Nav n;
  n.Compose();
  n.Next();
  EXPECT_TRUE(n.nav.stepPending);
  EXPECT_TRUE(n.nav.keepPrepared);
  EXPECT_EQ(n.stop, 1);
  EXPECT_FALSE(n.history.replaying);
  // While composing the show thread finishes the screen first: no stop.
  Nav busy;
  busy.nav.composing = true;
  busy.Next();
  EXPECT_TRUE(busy.nav.stepPending);
  EXPECT_EQ(busy.stop, 0);
}

TEST(ShowNavigation, LeftArrowWithNothingBeforeDoesNothing) {
  Nav n;
  n.Previous();
  EXPECT_FALSE(n.nav.stepPending);
  n.Compose();  // first screen prepared, not shown yet
  n.Previous();
  EXPECT_FALSE(n.nav.stepPending);
  n.Next();
  n.PerformStep();  // first screen shown, second prepared
  n.Previous();
  EXPECT_FALSE(n.nav.stepPending);
  EXPECT_EQ(n.stop, 0);
}

TEST(ShowNavigation, LeftArrowReplaysTheScreenBeforeTheOneShown) {
  Nav n;
  n.Compose();
  for (int i = 0; i < 3; ++i) {
    n.Next();
    n.PerformStep();
  }
  // Screens 0, 1, 2 were shown, 3 is prepared: back to 1.
  n.Previous();
  EXPECT_TRUE(n.nav.stepPending);
  EXPECT_EQ(n.stop, 1);
  EXPECT_TRUE(n.history.replaying);
  EXPECT_EQ(n.history.replay, 1);
  // Right arrow from inside the history replays forward.
  Nav m;
  m.Compose();
  m.history.replay = 0;
  m.Next();
  EXPECT_TRUE(m.history.replaying);
}

TEST(ShowNavigation, WalkingBackStopsAfterTheWholeRing) {
  Nav n;
  n.Compose();
  for (int i = 0; i < 150; ++i) {
    n.Next();
    n.PerformStep();
  }
  ASSERT_TRUE(n.history.full);
  // Each left arrow goes one screen further back (p - 2 when nothing is prepared), until
  // the ring has been walked all the way round.
  n.nav.nextPrepared = false;
  int steps = 0;
  for (int i = 0; i < 200; ++i) {
    n.nav.stepPending = false;
    n.stop = 0;
    const int32_t before = n.history.replay;
    n.Previous();
    if (!n.nav.stepPending) {
      EXPECT_EQ(n.history.replay, ScreenHistory::Wrap(n.history.current + 1));
      break;
    }
    ++steps;
    // The show thread replays the screen at p and moves the replay position on.
    n.history.replay = ScreenHistory::Wrap(n.history.replay + 1);
    EXPECT_EQ(n.history.replay, ScreenHistory::Wrap(before - 1));
  }
  EXPECT_GE(steps, 99);
  EXPECT_LE(steps, 100);
}

}  // namespace
}  // namespace kelv
