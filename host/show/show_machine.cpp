#include "show/show_machine.hpp"

#include <algorithm>

#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"
#include "show/show_effects.hpp"
#include "show/run_flags.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {

ShowMachine::ShowMachine(ShowPlatform& platform, const std::vector<EffectModule>& modules,
                         EffectTableState& table, ShowNavigation& navigation, RunFlags& run,
                         const int32_t& delay)
    : platform_(platform), modules_(modules), table_(table), nav_(navigation), run_(run), delay_(delay) {}

uint8_t ShowMachine::Flags(int32_t index) const {
  if (index < 0 || index >= table_.Count()) return 0;
  return EffectFlagsOf(modules_, table_.entries[static_cast<size_t>(index)]);
}

void ShowMachine::Start() {
  runsSinceBuild_ = 0;
  composed_ = -1;
  changes_ = 0;
  moving_ = false;
  seen_ = -1;
  showStart_ = platform_.Ticks() - kFirstScreenDue;
}

void ShowMachine::ComposeNext() { composed_ = platform_.Compose(); }

// A cut: the prepared screen is on display from now on.
void ShowMachine::ShowPrepared() {
  platform_.CutToNext();
  seen_ = composed_;
  platform_.ScreenShown(composed_);
}

void ShowMachine::ClearInterrupt() {
  run_.StopRequested = 0;
  // RequestEnd raises the end flag before the stop flag: seen here, the stop is put back.
  if (run_.EndRequested) run_.StopRequested = 1;
}

void ShowMachine::ChooseFirst() {
  bool composed = true;
  if (table_.Count() == 0) {
    ComposeNext();
  } else {
    ChooseFirstPair(modules_, table_);
    if (!(Flags(table_.curEffect) & KELV_FX_KEEPS_PICTURE)) {
      ComposeNext();
    } else {
      // The in-place effect works on what is on screen: the captured desktop.
      platform_.CopyScreenToNext();
      composed_ = seen_;
      composed = false;
    }
  }
  // Only a newly composed screen counts as prepared: the arrow keys step over it.
  nav_.nextPrepared = composed;
  showStart_ = platform_.Ticks() - kFirstScreenDue;
}

void ShowMachine::Transition() {
  const int32_t e = table_.curEffect;
  // The pre-step of an effect runs one change ahead of its own run.
  if (!table_.allInPlace && (Flags(table_.nextEffect) & KELV_FX_PRE_STEP)) platform_.PreStep(table_.nextEffect);
  if (table_.allInPlace && (Flags(e) & KELV_FX_PRE_STEP)) platform_.PreStep(e);
  // Only in-place effects: the new picture comes by a cut, then the effect animates it.
  if (table_.allInPlace && runsSinceBuild_ > 0) ShowPrepared();
  platform_.LockSurface();
  nav_.changing = true;
  platform_.RunEffect(e, run_.TestFailureRequested.exchange(false));
  ++runsSinceBuild_;
  // A transition cut short by a stop leaves the old screen partly drawn: the next screen
  // counts as seen only when its transition ran to the end.
  if (!run_.Stopping()) {
    platform_.Present();
    seen_ = composed_;
    nav_.changing = false;
    platform_.ScreenShown(composed_);
  }
  platform_.UnlockSurface();
}

void ShowMachine::PrepareFollowingScreen() {
  nav_.composing = true;
  bool composed = true;
  if (table_.Count() == 0) {
    ComposeNext();
  } else {
    AdvanceEffects(modules_, table_);
    // An in-place effect gets no new picture: the next bitmap keeps the picture on screen.
    if (table_.allInPlace || !(Flags(table_.curEffect) & KELV_FX_KEEPS_PICTURE)) ComposeNext();
    else composed = false;
  }
  nav_.composing = false;
  nav_.nextPrepared = composed;
}

void ShowMachine::Step() {
  if (run_.EndRequested) return;

  // The delay clock stands still while paused.
  if (run_.Paused && !run_.EffectPreview) {
    const uint32_t elapsed = platform_.Ticks() - showStart_;
    while (!run_.Stopping() && run_.Paused) platform_.Sleep(kPauseSlice);
    showStart_ = platform_.Ticks() - elapsed;
  }
  // Without any effect no transition ever runs: the test failure is raised at once.
  if (table_.Count() == 0 && run_.TestFailureRequested.exchange(false)) platform_.RaiseTestFailure();

  const int64_t shown = static_cast<uint32_t>(platform_.Ticks() - showStart_);
  if (shown <= delay_ && !nav_.stepPending) {
    moving_ = platform_.StayFrame(shown, delay_);
    return;
  }
  moving_ = false;
  platform_.StayEnds();

  // The screen for a navigation step: the prepared one, or one composed now when nothing
  // is prepared (an in-place effect came next, or a transition was cut short).
  const bool prepared = nav_.nextPrepared;
  if (nav_.stepPending) {
    ClearInterrupt();
    nav_.nextPrepared = false;
    if (!(nav_.keepPrepared && prepared)) ComposeNext();
  }

  // A navigation step changes the screen at once, without an effect. Another arrow key
  // that arrived meanwhile leaves the step pending for the next pass.
  const bool skip = nav_.stepPending;
  if (!(nav_.stepPending && run_.Stopping())) nav_.stepPending = false;
  nav_.keepPrepared = false;
  nav_.nextPrepared = false;

  nav_.changing = false;
  if (table_.Count() == 0 || skip) ShowPrepared();
  else Transition();

  // The delay counts from the end of the change.
  showStart_ = platform_.Ticks();
  ++changes_;

  // A stop ends the cycle, unless it only interrupted the change for a step.
  if (run_.Stopping()) {
    if (!nav_.stepPending || run_.EndRequested) return;
    ClearInterrupt();
  }
  PrepareFollowingScreen();
}

void ShowMachine::Stay() {
  if (run_.EndRequested || run_.Stopping()) {
    moving_ = false;
    return;
  }
  const int64_t shown = static_cast<uint32_t>(platform_.Ticks() - showStart_);
  moving_ = platform_.StayFrame(std::min<int64_t>(shown, delay_), delay_);
}

bool ShowMachine::Finished() const { return run_.EndRequested || (run_.Stopping() && !nav_.stepPending); }

void ShowMachine::Run() {
  do {
    platform_.Sleep(moving_ ? kMovingPassSleep : kShowPassSleep);
    Step();
    platform_.VisibilityCheck();
  } while (!Finished());
}

}  // namespace kelv
