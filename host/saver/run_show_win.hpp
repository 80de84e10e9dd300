// The show of one saver run on Win32: the show cycle's platform (the tick count, the
// display order and composition into the next bitmap, the window and the presentation),
// the effect modules' set-up and calls inside their guards, and the pacing clock the
// modules call back through Wait.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "imaging/presentation.hpp"
#include "show/show_machine.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {

class SaverRun;
struct EffectEntry;
struct EffectModule;

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
  void RunCycle() { machine_.Run(); }
  // The arrow-key handlers (main thread).
  void StepNext();
  // The next screen is composed and waiting in the next bitmap; the show thread is
  // composing it (the wallpaper step then takes the screen itself).
  bool NextPrepared() const { return nav_.nextPrepared; }
  bool Composing() const { return nav_.composing; }
  bool Changing() const { return nav_.changing; }
  void StepPrevious();
  // The last picture of the last screen the user has seen (-1: none), for the resume point.
  int32_t LastSeenPicture() const { return machine_.LastSeenPicture(); }

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

  // The effect clock's time: the high-resolution counter in milliseconds when there is
  // one, else the tick count.
  int64_t ClockNow() const;

private:
  void RetargetModules(void* bits, int32_t stride);
  uint8_t FlagsOf(int32_t index) const;
  // Drawing done on the show thread may be held back until the window's thread looks at
  // its messages again (so it is on some systems): the main loop is woken after a frame.
  void PushToScreen();

  SaverRun& run_;
  ShowNavigation nav_;
  ShowMachine machine_;
  EffectClock clock_;
  int64_t ticksPerMs_ = 0;       // 0: no high-resolution counter, the tick count is used
  std::vector<void*> targets_;   // per effect module: the surface it draws into
  // For the test trace: frames presented during the running transition and the time
  // they took (microseconds).
  int32_t framesPresented_ = 0;
  int64_t presentMicros_ = 0;
  bool firstPictureTraced_ = false;  // the trace's "first picture" line is written
};

// Told after the show has handled a moved drawing surface or the fall-back from DirectDraw
// (the show holds the presentation's own listener slot). For the test programs.
void SetPresentationObserver(const PresentationListener& observer);

}  // namespace kelv
