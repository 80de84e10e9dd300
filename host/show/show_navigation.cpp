#include "show/show_navigation.hpp"

#include "show/compose_history.hpp"

namespace kelv {

ShowNavigation& TheNavigation() {
  static ShowNavigation nav;
  return nav;
}

void StepNext(ShowNavigation& nav, ScreenHistory& history, std::atomic<int32_t>& stop, std::mutex& lock) {
  // Going forward from inside the history replays the screens after the replay position.
  if (history.current.load() != history.replay.load()) history.replaying = true;
  std::lock_guard<std::mutex> guard(lock);
  nav.keepPrepared = true;
  nav.stepPending = true;
  // A running transition is cut short or the delay ends; while composing the show thread
  // finishes the screen first.
  if (!nav.composing) stop = 1;
}

void StepPrevious(ShowNavigation& nav, ScreenHistory& history, std::atomic<int32_t>& stop, std::mutex& lock) {
  int32_t p = history.replay.load();
  const bool prepared = nav.nextPrepared.load();
  if ((p <= 1 || (prepared && p <= 2)) && !history.full) return;
  p -= 2;
  // The prepared screen is in the history already and counts as well.
  if (prepared) p -= 1;
  else if (!nav.composing) nav.keepPrepared = true;
  p = ScreenHistory::Wrap(p);
  if (history.replaying && p == history.current.load()) {
    // Walked all the way round the ring: nothing older is left.
    history.replay = ScreenHistory::Wrap(history.current.load() + 1);
    return;
  }
  history.replay = p;
  history.replaying = true;
  std::lock_guard<std::mutex> guard(lock);
  nav.stepPending = true;
  stop = 1;
}

}  // namespace kelv
