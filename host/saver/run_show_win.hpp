// The show of one saver run on Win32: the show cycle's platform (the tick count, the
// display order and composition into the next bitmap, the window and the presentation),
// the effect modules' set-up and calls inside their guards, and the pacing clock the
// modules call back through Wait.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/presentation.hpp"
#include "show/monitor_wall.hpp"
#include "show/motion_stay.hpp"
#include "show/picture_deal.hpp"
#include "show/show_machine.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {

class MonitorScreen;
class SaverRun;
class TBitmap;
struct EffectEntry;
struct EffectModule;
struct EffectTableState;
struct MonitorRect;

class RunShow final : public ShowPlatform {
public:
  explicit RunShow(SaverRun& run);
  ~RunShow() override;
  RunShow(const RunShow&) = delete;
  RunShow& operator=(const RunShow&) = delete;

  // Start of a run: effect table (not for an effect preview), display order, history,
  // navigation flags and the machine.
  void Start();
  // Hands the screen bitmaps and the host's callbacks to every enabled effect module.
  void SetUpEffectModules();
  // The first effects and the first screen.
  void ChooseFirstEffects() { machine_.ChooseFirst(); }
  // The show thread's start: on the DirectDraw screen the captured desktop is put up once
  // through a locked frame, as the effects' frames will be (the effects learn the surface).
  void ShowFirstScreen();
  // The show thread's passes until the run stops.
  void RunCycle();
  // The arrow-key handlers (main thread).
  void StepNext();
  // The next screen is composed and waiting in the next bitmap; the show thread is
  // composing it (the wallpaper step then takes the screen itself).
  bool NextPrepared() const { return nav_.nextPrepared; }
  bool Composing() const { return nav_.composing; }
  bool Changing() const { return nav_.changing; }
  // The picture on the screen has moved: the screen bitmap holds the frame on display.
  // Read by the window's thread too (the wallpaper step of a lost focus or a close).
  bool MotionOnScreen() const { return motionOnScreen_.load(); }
  void StepPrevious();
  // The last picture of the last screen the user has seen (-1: none), for the resume point.
  int32_t LastSeenPicture() const { return machine_.LastSeenPicture(); }

  // Pictures on every monitor ("Monitors"): a screen of its own for each other monitor,
  // its desktop captured (before its window covers it). Then, once the windows exist,
  // each gets its window, its effect instances and its first screen, and one show thread
  // drives every monitor.
  void AddMonitor(const MonitorRect& rect);
  void StartMonitors(const std::vector<HWND>& windows);
  // The run's end: every monitor's screen, bitmaps and window DC go (their windows are
  // closed by then).
  void ReleaseMonitors();
  int32_t MonitorCount() const { return monitorCount_.load(); }
  // The paint of another monitor's window; false when the window is no monitor's screen.
  bool PaintMonitor(HWND window, HDC dc);

  // The effect calls of one monitor's screen (null: the primary's), on its own instance.
  void PreStepFor(MonitorScreen* monitor, int32_t index);
  void RunEffectFor(MonitorScreen* monitor, int32_t index, bool raiseTestFailure);
  // A frame presented on another monitor, for the frame count of the trace.
  void CountFrame(int64_t micros);
  // The monitors' deal of pictures from the one display order.
  PictureDeal& Deal() { return deal_; }

  // Called now and then while a screen is composed: the screens on display go on moving,
  // a frame at most every pass of a moving show. Nothing with "Motion" off: a still show
  // pays nothing for it between its decoded rows.
  std::function<void()> Meanwhile();

  // The effect modules' Wait callback for this run.
  int32_t Wait(float fraction);
  // The presentation moved the drawing surface or gave DirectDraw up.
  void SurfaceMoved(void* bits, int32_t pitch);
  void FellBack();

  // ShowPlatform
  uint32_t Ticks() override { return GetTickCount(); }
  void Sleep(int32_t ms) override { ::Sleep(static_cast<DWORD>(ms)); }
  int32_t Compose() override;
  void CopyScreenToNext() override;
  void CutToNext() override;
  void PreStep(int32_t index) override;
  void RunEffect(int32_t index, bool raiseTestFailure) override;
  void RaiseTestFailure() override;
  void Present() override;
  void LockSurface() override;
  void UnlockSurface() override;
  void VisibilityCheck() override;
  void ScreenShown(int32_t picture) override;
  bool StayFrame(int64_t shown, int32_t delay) override;
  void StayEnds() override;

  // The effect clock's time: the high-resolution counter in milliseconds when there is
  // one, else the tick count.
  int64_t ClockNow() const;

private:
  void RetargetModules(void* bits, int32_t stride);
  void MoveMeanwhile();
  // A new screen is up: the picture composed for it starts to move, on a path of its own.
  void TakeMotion();
  // Drawing done on the show thread may be held back until the window's thread looks at
  // its messages again (so it is on some systems): the main loop is woken after a frame.
  void PushToScreen();

  SaverRun& run_;
  ShowNavigation nav_;
  ShowMachine machine_;
  // Pictures on every monitor: the other monitors' screens and the wall that drives them
  // with the primary's machine. The lock keeps a paint from meeting the screens' release.
  std::vector<std::unique_ptr<MonitorScreen>> monitors_;
  std::mutex monitorsLock_;
  std::atomic<int32_t> monitorCount_{0};  // read by the windows' paint
  std::unique_ptr<MonitorWall> wall_;
  PictureDeal deal_;
  MonitorScreen* activeMonitor_ = nullptr;  // the monitor whose effect runs (null: primary)
  EffectClock clock_;
  // Pan and zoom ("Motion") of the primary's screen; the other monitors have their own.
  MotionStay motion_;
  std::atomic<bool> motionOnScreen_{false};
  int64_t lastMeanwhileMicros_ = 0;
  int64_t ticksPerMs_ = 0;       // 0: no high-resolution counter, the tick count is used
  std::vector<void*> targets_;   // per effect module: the surface it draws into
  // For the test trace: frames presented during the running transition and the time
  // they took (microseconds).
  int32_t framesPresented_ = 0;
  int64_t presentMicros_ = 0;
  bool firstPictureTraced_ = false;  // the trace's "first picture" line is written
};

// The integration tests' trace of a show on every monitor: a monitor's new screen is
// complete on it (after its cut or whole transition), and how late a timed change started.
void TraceShownScreen(int32_t monitor, int32_t picture);
void TraceChangeLate(int32_t monitor, int64_t lateMs);
void TraceMotion(int32_t monitor, const MotionStay::Summary& moved);

// Told after the show has handled a moved drawing surface or the fall-back from DirectDraw
// (the show holds the presentation's own listener slot). For the test programs.
void SetPresentationObserver(const PresentationListener& observer);

}  // namespace kelv
