// The show cycle's state machine: when the next change is due, what a change does
// (navigation step, cut or transition), which screen is composed next and which screen
// the user has seen. It drives the platform through a small interface (time, sleep,
// composing, the screen, the effect modules), so that every rule of the cycle can be
// checked with a fake clock; the Win32 side keeps only the thread, the window and the
// presentation.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace kelv {

struct EffectModule;
struct EffectTableState;
struct ShowNavigation;
struct RunFlags;

// 48 hours: the first screen's display time is taken as long over, so the first change
// starts as soon as the first screen is composed.
inline constexpr uint32_t kFirstScreenDue = 172'800'000u;
inline constexpr int32_t kShowPassSleep = 30;  // ms between passes of the show thread
// ms between passes while the screen moves: frames at most every 10 ms.
inline constexpr int32_t kMovingPassSleep = 10;

// What the show cycle asks of the platform.
class ShowPlatform {
public:
  virtual ~ShowPlatform() = default;
  // The system tick count (milliseconds, wrapping at 2^32) and a sleep.
  virtual uint32_t Ticks() = 0;
  virtual void Sleep(int32_t ms) = 0;
  // Composes the next screen into the next bitmap and returns the global index of the
  // last picture chosen for it (-1 when none was).
  virtual int32_t Compose() = 0;
  // The next bitmap takes the picture on screen (an in-place effect works on it).
  virtual void CopyScreenToNext() = 0;
  // The next bitmap becomes the screen content and is shown, without an effect.
  virtual void CutToNext() = 0;
  // The pre-step of the table's effect `index`, inside its failure guard.
  virtual void PreStep(int32_t index) = 0;
  // Prepare (when the effect asks for it), the effect clock's restart and the run of the
  // table's effect `index`, inside its failure guard; with `raiseTestFailure` the crash
  // report's test failure is raised inside the same guard after the run.
  virtual void RunEffect(int32_t index, bool raiseTestFailure) = 0;
  // The test failure outside any effect (there is no effect to run).
  virtual void RaiseTestFailure() = 0;
  // Shows the screen bitmap; the drawing surface's lock (DirectDraw only).
  virtual void Present() = 0;
  virtual void LockSurface() = 0;
  virtual void UnlockSurface() = 0;
  // After every pass: a hidden window or parent ends the run.
  virtual void VisibilityCheck() = 0;
  // A new screen is complete on display (after its cut or its whole transition); `picture`
  // is its last picture.
  virtual void ScreenShown(int32_t /*picture*/) {}
  // While the screen stays, once per pass: its next frame, `shown` ms into a stay of
  // `delay` ms. True when the screen moves (the passes then come more often); a still
  // screen (the default) draws nothing.
  virtual bool StayFrame(int64_t /*shown*/, int32_t /*delay*/) { return false; }
  // The screen's stay is over: a change begins, from what is on the screen now.
  virtual void StayEnds() {}
};

class ShowMachine {
public:
  // `delay` is the "Delay" setting (ms a screen stays after its change), read at every pass.
  ShowMachine(ShowPlatform& platform, const std::vector<EffectModule>& modules, EffectTableState& table,
              ShowNavigation& navigation, RunFlags& run, const int32_t& delay);

  // The start of a run: nothing run since the table was built, nothing seen.
  void Start();
  // The first effects and the first screen (during the run's set-up).
  void ChooseFirst();
  // One pass of the cycle.
  void Step();
  // A pass that changes nothing: the screen's next frame while it stays (a monitor that
  // waits for its turn to change).
  void Stay();
  // The show thread's loop: passes until Finished().
  void Run();
  // A stop stands and no navigation step waits, or the run ends for good.
  bool Finished() const;

  // The last picture of the last screen the user has seen (-1: only the desktop).
  int32_t LastSeenPicture() const { return seen_.load(); }

  // When the current screen's display time began; a change is due once "Delay" has passed
  // since. Several monitors' machines are kept in step through it.
  uint32_t ShowStart() const { return showStart_; }
  void SetShowStart(uint32_t ticks) { showStart_ = ticks; }
  // The changes made so far (cuts and transitions, whole or cut short).
  int32_t Changes() const { return changes_; }
  // The screen moved at the last pass.
  bool Moving() const { return moving_; }

private:
  uint8_t Flags(int32_t index) const;
  void ComposeNext();
  void ShowPrepared();
  // Clears the navigation's interrupt; an end requested meanwhile stands.
  void ClearInterrupt();
  void Transition();
  void PrepareFollowingScreen();

  ShowPlatform& platform_;
  const std::vector<EffectModule>& modules_;
  EffectTableState& table_;
  ShowNavigation& nav_;
  RunFlags& run_;
  const int32_t& delay_;

  uint32_t showStart_ = 0;       // when the current screen's display time began
  int32_t runsSinceBuild_ = 0;   // transitions run since the effect table was built
  int32_t composed_ = -1;        // last picture of the screen in the next bitmap
  int32_t changes_ = 0;
  bool moving_ = false;
  std::atomic<int32_t> seen_{-1};
};

}  // namespace kelv
