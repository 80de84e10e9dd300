#include "show/monitor_wall.hpp"

#include "show/run_flags.hpp"
#include "show/show_machine.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {

MonitorWall::MonitorWall(ShowPlatform& clock, RunFlags& run, const int32_t& delay)
    : clock_(clock), run_(run), delay_(delay) {}

void MonitorWall::Add(ShowMachine& machine, ShowNavigation& navigation, ScreenHistory& history) {
  monitors_.push_back(Monitor{&machine, &navigation, &history, false});
}

void MonitorWall::Start() {
  for (Monitor& m : monitors_) m.armed = false;
}

uint32_t MonitorWall::Offset(int32_t k, int32_t n, int32_t delay) {
  if (n <= 0 || k <= 0 || delay <= 0) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(delay) * k / n);
}

void MonitorWall::HoldWhilePaused() {
  if (!run_.Paused || run_.EffectPreview) return;
  const uint32_t start = clock_.Ticks();
  while (!run_.Stopping() && run_.Paused) clock_.Sleep(kPauseSlice);
  const uint32_t held = clock_.Ticks() - start;
  for (Monitor& m : monitors_) m.machine->SetShowStart(m.machine->ShowStart() + held);
}

void MonitorWall::StepMonitor(int32_t index) {
  Monitor& m = monitors_[static_cast<size_t>(index)];
  // A follower changes once per change of the primary, or for a navigation step.
  const bool navigating = m.nav->stepPending;
  ShowMachine& machine = *m.machine;
  if (index > 0 && !m.armed && !navigating) {
    // Its screen stays until the primary's next change: it goes on moving meanwhile.
    machine.Stay();
    return;
  }
  const int64_t shown = static_cast<uint32_t>(clock_.Ticks() - machine.ShowStart());
  const int32_t before = machine.Changes();
  const int64_t pausedBefore = run_.ChangesPausedMs.load();
  machine.Step();
  // A transition that stood still while paused held every other monitor's clock as long.
  if (const int64_t held = run_.ChangesPausedMs.load() - pausedBefore; held > 0) {
    for (size_t k = 0; k < monitors_.size(); ++k)
      if (static_cast<int32_t>(k) != index)
        monitors_[k].machine->SetShowStart(monitors_[k].machine->ShowStart() + static_cast<uint32_t>(held));
  }
  if (machine.Changes() == before) return;

  const bool timed = !navigating && shown > delay_ && (index > 0 || before > 0);
  if (timed && changeStarted) changeStarted(index, shown - delay_);
  if (index > 0) {
    m.armed = false;
    return;
  }
  // The primary changed: each follower is due its share of the delay after it.
  const int32_t n = Count();
  for (int32_t k = 1; k < n; ++k) {
    Monitor& f = monitors_[static_cast<size_t>(k)];
    f.armed = true;
    f.machine->SetShowStart(machine.ShowStart() + Offset(k, n, delay_) - static_cast<uint32_t>(delay_));
  }
}

void MonitorWall::Pass() {
  for (int32_t m = 0; m < Count(); ++m) {
    if (run_.EndRequested) return;
    HoldWhilePaused();
    StepMonitor(m);
  }
}

bool MonitorWall::Finished() const {
  if (run_.EndRequested) return true;
  if (!run_.Stopping()) return false;
  for (const Monitor& m : monitors_)
    if (m.nav->stepPending) return false;
  return true;
}

void MonitorWall::Run() {
  do {
    bool moving = false;
    for (const Monitor& m : monitors_) moving = moving || m.machine->Moving();
    clock_.Sleep(moving ? kMovingPassSleep : kShowPassSleep);
    Pass();
    clock_.VisibilityCheck();
  } while (!Finished());
}

void MonitorWall::Stay() {
  for (Monitor& m : monitors_) m.machine->Stay();
}

void MonitorWall::StepNext(std::atomic<int32_t>& stop, std::mutex& lock) {
  // One thread drives every monitor: while one composes nothing else runs, and its screen
  // is finished first (a stop would cut it short), as with a single monitor.
  bool composing = false;
  for (const Monitor& m : monitors_) composing = composing || m.nav->composing;
  std::atomic<int32_t> unused{0};
  for (Monitor& m : monitors_) kelv::StepNext(*m.nav, *m.history, composing ? unused : stop, lock);
}

void MonitorWall::StepPrevious(std::atomic<int32_t>& stop, std::mutex& lock) {
  for (Monitor& m : monitors_) kelv::StepPrevious(*m.nav, *m.history, stop, lock);
}

int32_t MonitorWall::LastSeenPicture() const {
  return monitors_.empty() ? -1 : monitors_.front().machine->LastSeenPicture();
}

}  // namespace kelv
