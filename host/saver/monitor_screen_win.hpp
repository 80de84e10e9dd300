// One of the other monitors of a show on every monitor: its window (the cover window over
// it), its own screen and next bitmaps at its size, its screen history, navigation flags,
// choice of effects and effect clock, and the show machine that composes for its shape.
// Its effects run on its own instance of each module (instance = its index); the one show
// thread drives it with the primary (MonitorWall). It presents through GDI.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>

#include "common/owners_win.hpp"
#include "imaging/bitmap.hpp"
#include "saver/monitor_list.hpp"
#include "show/compose_history.hpp"
#include "show/motion_stay.hpp"
#include "show/show_effects.hpp"
#include "show/show_machine.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {

class SaverRun;

class MonitorScreen final : public ShowPlatform {
public:
  // `index`: 1 for the first monitor after the primary, and so on. The desktop under the
  // monitor is captured into its screen bitmap at once.
  MonitorScreen(SaverRun& run, int32_t index, const MonitorRect& rect);
  ~MonitorScreen() override;
  MonitorScreen(const MonitorScreen&) = delete;
  MonitorScreen& operator=(const MonitorScreen&) = delete;

  // Its window exists: the screen shows on it from now on.
  void Attach(HWND window);
  HWND Window() const { return window_; }
  // The window's paint: the screen bitmap (main thread).
  void Paint(HDC dc);
  // The effect's Wait while this monitor's effect runs.
  int32_t Wait(float fraction);

  int32_t Index() const { return index_; }
  TBitmap* Screen() { return screen_.get(); }
  TBitmap* Next() { return next_.get(); }
  const EffectTableState& Table() const { return table_; }
  EffectClock& Clock() { return clock_; }
  ShowMachine& Machine() { return machine_; }
  ShowNavigation& Navigation() { return nav_; }
  ScreenHistory& History() { return history_; }

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
  void LockSurface() override {}
  void UnlockSurface() override {}
  void VisibilityCheck() override {}
  void ScreenShown(int32_t picture) override;
  bool StayFrame(int64_t shown, int32_t delay) override;
  void StayEnds() override;

private:
  SaverRun& run_;
  int32_t index_;
  MonitorRect rect_;
  HWND window_ = nullptr;
  win::WindowDC dc_;
  std::unique_ptr<TBitmap> screen_;
  std::unique_ptr<TBitmap> next_;
  // The show thread draws and presents while the main thread paints: one at a time on
  // the screen bitmap's device context.
  std::mutex drawLock_;
  EffectTableState table_;
  ShowNavigation nav_;
  ScreenHistory history_;
  EffectClock clock_;
  MotionStay motion_;  // this monitor's pan and zoom
  ShowMachine machine_;
};

}  // namespace kelv
