// The show on several monitors: one show machine per monitor (each with its own screens,
// history, navigation and choice of effects), driven in turn by the one show thread, so
// that the plug-ins are still called by one thread at a time. The monitors change one
// after the other: monitor k of N is due k/N of a delay after the primary's change, so the
// wall of screens changes one screen at a time. Pause holds every monitor; the arrow keys
// step every monitor; the resume point is the primary's picture.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kelv {

class ScreenHistory;
class ShowMachine;
class ShowPlatform;
struct RunFlags;
struct ShowNavigation;

class MonitorWall {
public:
  // `clock`: the time, the sleeps and the visibility check of the run (the primary's
  // platform); `delay` is the "Delay" setting, read at every pass.
  MonitorWall(ShowPlatform& clock, RunFlags& run, const int32_t& delay);

  // The monitors, the primary first.
  void Add(ShowMachine& machine, ShowNavigation& navigation, ScreenHistory& history);
  int32_t Count() const { return static_cast<int32_t>(monitors_.size()); }

  // The start of a run: only the primary is due; the others wait for its first change.
  void Start();
  // One pass over every monitor.
  void Pass();
  // The show thread's loop: passes until Finished().
  void Run();
  bool Finished() const;

  // The arrow keys (main thread): every monitor steps.
  // Every monitor's screen its next frame, with no change (while one of them composes).
  void Stay();
  void StepNext(std::atomic<int32_t>& stop, std::mutex& lock);
  void StepPrevious(std::atomic<int32_t>& stop, std::mutex& lock);

  // The primary's last picture seen, for the resume point.
  int32_t LastSeenPicture() const;

  // When monitor k of n is due after the primary's change: k/n of the delay.
  static uint32_t Offset(int32_t k, int32_t n, int32_t delay);

  // Told after each timed change (not the primary's first, nor a navigation step) how many
  // milliseconds after its due time it started.
  std::function<void(int32_t monitor, int64_t lateMs)> changeStarted;

private:
  struct Monitor {
    ShowMachine* machine;
    ShowNavigation* nav;
    ScreenHistory* history;
    bool armed;  // a follower's change of the primary's current round is still to come
  };
  // While paused every monitor's delay clock stands still.
  void HoldWhilePaused();
  void StepMonitor(int32_t m);

  ShowPlatform& clock_;
  RunFlags& run_;
  const int32_t& delay_;
  std::vector<Monitor> monitors_;
};

}  // namespace kelv
