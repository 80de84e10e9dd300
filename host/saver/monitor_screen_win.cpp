#include "saver/monitor_screen_win.hpp"

#include <chrono>

#include "common/random.hpp"
#include "plugins/plugin_host.hpp"
#include "saver/run_wait_services_win.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/test_failure.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/display_order.hpp"

namespace kelv {

namespace {

int64_t Micros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The pacing of this monitor's transition; it presents on its own window through GDI.
class MonitorWaitServices final : public RunWaitServices {
public:
  MonitorWaitServices(SaverRun& run, MonitorScreen& screen) : RunWaitServices(run), screen_(screen) {}
  int64_t Now() override { return run_.Show.ClockNow(); }
  void Present() override { screen_.Present(); }
  void UnlockSurface() override {}
  void LockSurface() override {}

private:
  MonitorScreen& screen_;
};

std::unique_ptr<TBitmap> ShowBitmap(int32_t width, int32_t height, bool randomPos) {
  const Settings& s = TheSettings();
  std::unique_ptr<TBitmap> b = TBitmap::Create(width, height);
  b->Shrink = true;
  b->Enlarge = s.Enlarge;
  b->Crop = s.crop;
  b->RandomPos = randomPos;
  return b;
}

}  // namespace

MonitorScreen::MonitorScreen(SaverRun& run, int32_t index, const MonitorRect& rect)
    : run_(run),
      index_(index),
      rect_(rect),
      table_(TheEffectTable()),
      machine_(*this, EffectModules(), table_, nav_, run, TheSettings().Delay) {
  const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  screen_ = ShowBitmap(width, height, false);
  next_ = ShowBitmap(width, height, TheSettings().RandomPos);
  history_.Reset();
  nav_.Reset();
  // The desktop under this monitor as it was: its first transition starts from it.
  win::WindowDC desktop(nullptr);
  BitBlt(static_cast<HDC>(screen_->DC), 0, 0, width, height, desktop.get(), rect.left, rect.top, SRCCOPY);
  GdiFlush();
}

MonitorScreen::~MonitorScreen() {
  const std::lock_guard<std::mutex> guard(drawLock_);
  dc_.reset();
}

void MonitorScreen::Attach(HWND window) {
  window_ = window;
  dc_ = win::WindowDC(window);
  Present();
}

void MonitorScreen::Paint(HDC dc) {
  const std::lock_guard<std::mutex> guard(drawLock_);
  if (!run_.Stopping() && screen_)
    BitBlt(dc, 0, 0, screen_->Width, screen_->Height, static_cast<HDC>(screen_->DC), 0, 0, SRCCOPY);
}

int32_t MonitorScreen::Wait(float fraction) {
  MonitorWaitServices services(run_, *this);
  return clock_.Wait(fraction, services);
}

int32_t MonitorScreen::Compose() {
  run_.Show.Deal().BeginScreen(index_);
  ComposeScreen(*next_, run_, history_, &run_.Show.Deal(), motion_.Keeper(TheSettings().Motion),
                run_.Show.Meanwhile());
  return TheDisplayOrder().current;
}

void MonitorScreen::CopyScreenToNext() { FitInto(*next_, *screen_); }

void MonitorScreen::CutToNext() {
  {
    const std::lock_guard<std::mutex> guard(drawLock_);
    FitInto(*screen_, *next_);
  }
  Present();
}

void MonitorScreen::PreStep(int32_t index) { run_.Show.PreStepFor(this, index); }

void MonitorScreen::RunEffect(int32_t index, bool raiseTestFailure) {
  run_.Show.RunEffectFor(this, index, raiseTestFailure);
}

void MonitorScreen::RaiseTestFailure() { kelv::RaiseTestFailure(); }

void MonitorScreen::Present() {
  const int64_t start = Micros();
  {
    const std::lock_guard<std::mutex> guard(drawLock_);
    if (!dc_ || run_.Stopping()) return;
    BitBlt(dc_.get(), 0, 0, screen_->Width, screen_->Height, static_cast<HDC>(screen_->DC), 0, 0, SRCCOPY);
    GdiFlush();
  }
  run_.WakeMainLoop();
  run_.Show.CountFrame(Micros() - start);
}

void MonitorScreen::ScreenShown(int32_t picture) {
  if (motion_.Take(RandomReal)) {
    // The frames redraw only the picture's rectangle; the rest is the screen as shown.
    const std::lock_guard<std::mutex> guard(drawLock_);
    FitInto(*screen_, *next_);
  }
  run_.Show.Deal().Shown(index_);
  TraceShownScreen(index_, picture);
}

bool MonitorScreen::StayFrame(int64_t shown, int32_t delay) {
  {
    const std::lock_guard<std::mutex> guard(drawLock_);
    if (!motion_.Frame(PixelView{static_cast<uint8_t*>(screen_->Bits), screen_->Width, screen_->Height}, shown,
                       delay, Micros()))
      return false;
  }
  Present();
  return true;
}

void MonitorScreen::StayEnds() {
  const MotionStay::Summary moved = motion_.End(Micros());
  if (moved.frames == 0) return;
  TraceMotion(index_, moved);
  // An in-place effect comes next (nothing new was composed): it works on the next
  // bitmap as the picture on screen, which is now the last frame.
  if (!nav_.nextPrepared && !nav_.composing) FitInto(*next_, *screen_);
}

}  // namespace kelv
