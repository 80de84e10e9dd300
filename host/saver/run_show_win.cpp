#include "saver/run_show_win.hpp"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "catalogue/pic_list.hpp"
#include "catalogue/size_filter.hpp"
#include "common/exception.hpp"
#include "common/random.hpp"
#include "common/test_trace.hpp"
#include "crash/report_text.hpp"
#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"
#include "saver/effect_guard_win.hpp"
#include "saver/monitor_list.hpp"
#include "saver/monitor_screen_win.hpp"
#include "saver/process_trace_win.hpp"
#include "saver/run_wait_services_win.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/test_failure.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/compose_history.hpp"
#include "show/display_order.hpp"
#include "show/show_effects.hpp"

namespace kelv {

namespace {

// The effect modules and the presentation are the process's: they serve the one run
// whose show set them up last. Their C callbacks carry no context, so they find that
// show here.
std::atomic<RunShow*> g_activeShow{nullptr};
PresentationListener g_observer;

class HostWaitServices final : public RunWaitServices {
public:
  HostWaitServices(SaverRun& run, RunShow& show) : RunWaitServices(run), show_(show) {}
  int64_t Now() override { return show_.ClockNow(); }
  void Present() override { show_.Present(); }
  void UnlockSurface() override { UnlockScreen(); }
  void LockSurface() override { LockScreen(); }

private:
  RunShow& show_;
};

int32_t KELV_CDECL HostWait(float fraction, int32_t /*instance*/) {
  // Runs inside an effect module's frame: nothing may leave it as a C++ exception.
  try {
    RunShow* show = g_activeShow.load();
    return show ? show->Wait(fraction) : 0;
  } catch (const Exception& e) {
    ReportActiveEffectFailure(e.message(), e.className(), e.raiseAddress());
  } catch (const std::exception& e) {
    ReportActiveEffectFailure(e.what(), "Exception", nullptr);
  } catch (...) {
    ReportActiveEffectFailure("Unknown failure in Wait", "Exception", nullptr);
  }
}

void ActiveSurfaceMoved(void* bits, int32_t pitch) {
  if (RunShow* show = g_activeShow.load()) show->SurfaceMoved(bits, pitch);
}

void ActiveFellBack() {
  if (RunShow* show = g_activeShow.load()) show->FellBack();
}

TEffectSetup BaseSetupRecord(std::atomic<int32_t>& stop) {
  TEffectSetup r{};
  r.size = sizeof(TEffectSetup);
  r.flags = KELV_SETUP_HOST_HEAP;
  r.stopFlag = reinterpret_cast<volatile int32_t*>(&stop);
  r.wait = &HostWait;
  r.getMem = &HostGetMem;
  r.freeMem = &HostFreeMem;
  r.reallocMem = &HostReallocMem;
  r.instance = 0;
  return r;
}

std::string ModuleText(const EffectModule& m) {
  return std::string(m.descriptor.name ? m.descriptor.name : "") + " " + VersionWordText(m.descriptor.moduleVersion);
}

void CallSetup(EffectModule& m, TEffectSetup& record) {
  if (!m.descriptor.setup) return;
  EffectCallContext context;
  context.text = "Plugin: " + ModuleText(m) + " - setup";
  context.library = m.library;
  GuardedCall(context, [&] { m.descriptor.setup(&record); });
}

const EffectModule* ModuleOf(const EffectEntry& entry) {
  std::vector<EffectModule>& modules = EffectModules();
  return entry.module < modules.size() ? &modules[entry.module] : nullptr;
}

KelvRunEffectProc EntryOf(const EffectModule& m, int32_t group) {
  if (!m.descriptor.groupEntries || group >= m.descriptor.groupCount) return nullptr;
  return m.descriptor.groupEntries[group];
}

// The integration tests' trace (see common/test_trace.hpp): with KELVORA_TEST_TRACE set,
// one line per transition names the effect the show picked:
//   effect=<module file> <group>.<effect> <effect name>
void TraceTransition(const EffectModule& m, const EffectEntry& entry) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  const TEffectModule& d = m.descriptor;
  const char* name = "";
  if (d.effectNames && d.effectNames[entry.group] && d.effectNames[entry.group][entry.effect])
    name = d.effectNames[entry.group][entry.effect];
  AppendTraceLine(path, "effect=" + m.state.fileName + " " + std::to_string(entry.group) + "." +
                            std::to_string(entry.effect) + " " + name);
}

int64_t Micros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// After a transition, with the trace on: how many frames reached the screen in how long,
// how much of that the presenting took (the rest is the effect's drawing and waits), and
// the process's handle, GDI and USER object counts, which grow over a long run when
// something leaks:
//   frames=<count> ms=<transition> present_ms=<presenting> handles=<n> gdi=<n> user=<n>
void TraceFrames(int32_t frames, int64_t micros, int64_t presentMicros) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  AppendTraceLine(path, "frames=" + std::to_string(frames) + " ms=" + std::to_string(micros / 1000) +
                            " present_ms=" + std::to_string(presentMicros / 1000) +
                            ProcessCountsText(ReadProcessCounts()));
}

// With the trace on, once per run: when the first picture's change begins, counted from
// the creation of the process (the start-up figure of a large catalogue).
void TraceFirstPicture(bool& traced) {
  if (traced) return;
  traced = true;
  const std::string& path = TestTracePath();
  if (!path.empty()) AppendTraceLine(path, "first picture ms=" + std::to_string(MillisSinceProcessStart()));
}

}  // namespace

void SetPresentationObserver(const PresentationListener& observer) { g_observer = observer; }

// With the trace on (see common/test_trace.hpp), in a show on every monitor:
//   shown monitor=<N> index=<global index> file=<path>   a monitor's new screen is up
//   late monitor=<N> ms=<milliseconds>                    a timed change started so late
// Monitor 0 is the primary, the others follow in the order the system lists them.
void TraceShownScreen(int32_t monitor, int32_t picture) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  const TPicList& catalogue = TheCatalogue();
  const std::string file =
      picture >= 0 && picture < catalogue.PictureCount() ? catalogue.PictureName(picture) : std::string();
  AppendTraceLine(path, "shown monitor=" + std::to_string(monitor) + " index=" + std::to_string(picture) +
                            " file=" + file);
}

// With the trace on, when a moving screen's stay ends: the frames it got, the time from
// its first frame to its last and the size they were drawn from (the other monitors name
// themselves).
//   motion frames=<count> ms=<milliseconds> source=<width>x<height> [monitor=<N>]
void TraceMotion(int32_t monitor, const MotionStay::Summary& moved) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  AppendTraceLine(path, "motion frames=" + std::to_string(moved.frames) + " ms=" + std::to_string(moved.micros / 1000) +
                            " source=" + std::to_string(moved.sourceWidth) + "x" + std::to_string(moved.sourceHeight) +
                            (monitor > 0 ? " monitor=" + std::to_string(monitor) : std::string()));
}

void TraceChangeLate(int32_t monitor, int64_t lateMs) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  AppendTraceLine(path, "late monitor=" + std::to_string(monitor) + " ms=" + std::to_string(lateMs));
}

RunShow::RunShow(SaverRun& run)
    : run_(run), machine_(*this, EffectModules(), TheEffectTable(), nav_, run, TheSettings().Delay) {}

RunShow::~RunShow() {
  RunShow* self = this;
  g_activeShow.compare_exchange_strong(self, nullptr);
  ReleaseMonitors();
}

int64_t RunShow::ClockNow() const {
  if (ticksPerMs_ > 0) {
    LARGE_INTEGER counter;
    if (QueryPerformanceCounter(&counter)) return counter.QuadPart / ticksPerMs_;
  }
  return static_cast<int64_t>(GetTickCount64());
}

void RunShow::PushToScreen() {
  GdiFlush();
  run_.WakeMainLoop();
}

void RunShow::Start() {
  firstPictureTraced_ = false;
  if (!run_.EffectPreview) BuildEffectTable(EffectModules(), TheEffectTable());
  StartDisplayOrderRun();
  TheHistory().Reset();
  nav_.Reset();
  machine_.Start();
  ReleaseMonitors();
  deal_.Reset(0);
  SaverRunActive = true;
}

void RunShow::AddMonitor(const MonitorRect& rect) {
  const std::lock_guard<std::mutex> guard(monitorsLock_);
  monitors_.push_back(std::make_unique<MonitorScreen>(run_, static_cast<int32_t>(monitors_.size()) + 1, rect));
  monitorCount_ = static_cast<int32_t>(monitors_.size());
  // From the primary's first screen on, the pictures are dealt to every monitor.
  deal_.Reset(monitorCount_ + 1);
}

void RunShow::StartMonitors(const std::vector<HWND>& windows) {
  if (monitors_.empty()) return;
  for (size_t k = 0; k < monitors_.size(); ++k) {
    MonitorScreen& m = *monitors_[k];
    m.Attach(k < windows.size() ? windows[k] : nullptr);
    m.Machine().Start();
    std::vector<EffectModule>& modules = EffectModules();
    for (size_t i = 0; i < modules.size(); ++i) {
      if (!modules[i].state.enabled) continue;
      // The monitor's own instance of the module, set up for its bitmaps.
      TEffectSetup record = BaseSetupRecord(run_.StopRequested);
      record.width = m.Screen()->Width;
      record.height = m.Screen()->Height;
      record.nextBits = m.Next()->Bits;
      record.screenBits = m.Screen()->Bits;
      record.screenStride = m.Screen()->Width * 4;
      record.instance = m.Index();
      CallSetup(modules[i], record);
    }
  }
  wall_ = std::make_unique<MonitorWall>(*this, run_, TheSettings().Delay);
  wall_->Add(machine_, nav_, TheHistory());
  for (auto& m : monitors_) wall_->Add(m->Machine(), m->Navigation(), m->History());
  wall_->changeStarted = &TraceChangeLate;
  wall_->Start();
  for (auto& m : monitors_) m->Machine().ChooseFirst();
}

void RunShow::ReleaseMonitors() {
  wall_.reset();
  motion_.Release();
  const std::lock_guard<std::mutex> guard(monitorsLock_);
  monitorCount_ = 0;
  monitors_.clear();
}

bool RunShow::PaintMonitor(HWND window, HDC dc) {
  const std::lock_guard<std::mutex> guard(monitorsLock_);
  for (auto& m : monitors_)
    if (m->Window() == window) return m->Paint(dc), true;
  return false;
}

void RunShow::CountFrame(int64_t micros) {
  presentMicros_ += micros;
  ++framesPresented_;
}

void RunShow::RunCycle() {
  if (wall_) wall_->Run();
  else machine_.Run();
}

void RunShow::TakeMotion() {
  motionOnScreen_ = false;
  if (!motion_.Take(RandomReal)) return;
  // The frames redraw only the picture's rectangle of the screen bitmap; the rest must be
  // the screen as shown (with DirectDraw the effect drew into the surface, not into it).
  if (run_.ScreenBitmap && run_.NextBitmap) FitInto(*run_.ScreenBitmap, *run_.NextBitmap);
}

bool RunShow::StayFrame(int64_t shown, int32_t delay) {
  TBitmap* screen = run_.ScreenBitmap.get();
  if (!screen || !motion_.Frame(PixelView{static_cast<uint8_t*>(screen->Bits), screen->Width, screen->Height},
                                 shown, delay, Micros()))
    return false;
  motionOnScreen_ = true;
  if (UseDirectDraw) ShowPicture(run_.WindowDC.get(), *screen, false);
  else PresentFrame(run_.WindowDC.get());
  PushToScreen();
  return true;
}

std::function<void()> RunShow::Meanwhile() {
  if (!TheSettings().Motion) return {};
  return [this] { MoveMeanwhile(); };
}

void RunShow::MoveMeanwhile() {
  if (run_.Stopping() || (run_.Paused && !run_.EffectPreview)) return;
  const int64_t now = Micros();
  if (now - lastMeanwhileMicros_ < int64_t{kMovingPassSleep} * 1000) return;
  lastMeanwhileMicros_ = now;
  // A frame that fails costs the frame, never the picture being composed.
  try {
    if (wall_) wall_->Stay();
    else machine_.Stay();
  } catch (...) {
  }
}

void RunShow::StayEnds() {
  if (const MotionStay::Summary moved = motion_.End(Micros()); moved.frames > 0) {
    TraceMotion(0, moved);
    // An in-place effect comes next (nothing new was composed): it works on the next
    // bitmap as the picture on screen, which is now the last frame, not the still.
    if (!nav_.nextPrepared && !nav_.composing && run_.NextBitmap && run_.ScreenBitmap)
      FitInto(*run_.NextBitmap, *run_.ScreenBitmap);
  }
}

void RunShow::ScreenShown(int32_t picture) {
  TakeMotion();
  if (!wall_) return;
  deal_.Shown(0);
  TraceShownScreen(0, picture);
}

void RunShow::SetUpEffectModules() {
  LARGE_INTEGER frequency;
  ticksPerMs_ = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart / 1000 : 0;
  InstallEffectGuard();
  g_activeShow = this;
  SetPresentationListener(PresentationListener{&ActiveSurfaceMoved, &ActiveFellBack});

  std::vector<EffectModule>& modules = EffectModules();
  targets_.assign(modules.size(), nullptr);
  TBitmap* screen = run_.ScreenBitmap.get();
  TBitmap* next = run_.NextBitmap.get();
  if (!screen || !next) return;
  for (size_t i = 0; i < modules.size(); ++i) {
    if (!modules[i].state.enabled) continue;
    TEffectSetup record = BaseSetupRecord(run_.StopRequested);
    record.width = screen->Width;
    record.height = screen->Height;
    record.nextBits = next->Bits;
    record.screenBits = screen->Bits;
    record.screenStride = screen->Width * 4;
    CallSetup(modules[i], record);
    targets_[i] = screen->Bits;
  }
}

// Only the drawing target changed (the DirectDraw surface moved, or DirectDraw was given
// up and the effects draw into the screen bitmap again).
void RunShow::RetargetModules(void* bits, int32_t stride) {
  std::vector<EffectModule>& modules = EffectModules();
  targets_.resize(modules.size(), nullptr);
  for (size_t i = 0; i < modules.size(); ++i) {
    if (!modules[i].state.enabled) continue;
    TEffectSetup record = BaseSetupRecord(run_.StopRequested);
    record.screenBits = bits;
    record.screenStride = stride;
    CallSetup(modules[i], record);
    targets_[i] = bits;
  }
}

void RunShow::SurfaceMoved(void* bits, int32_t pitch) {
  RetargetModules(bits, pitch);
  if (g_observer.surfaceMoved) g_observer.surfaceMoved(bits, pitch);
}

void RunShow::FellBack() {
  if (run_.ScreenBitmap) RetargetModules(run_.ScreenBitmap->Bits, run_.ScreenBitmap->Width * 4);
  clock_.Restart(ClockNow());
  if (g_observer.fellBack) g_observer.fellBack();
}

int32_t RunShow::Wait(float fraction) {
  if (activeMonitor_) return activeMonitor_->Wait(fraction);
  HostWaitServices services(run_, *this);
  return clock_.Wait(fraction, services);
}

void RunShow::ShowFirstScreen() {
  if (!UseDirectDraw || !run_.ScreenBitmap) return;
  ShowPicture(run_.WindowDC.get(), *run_.ScreenBitmap, false);
  LockScreen();
  PresentFrame(run_.WindowDC.get());
  UnlockScreen();
}

void RunShow::StepNext() {
  if (wall_) wall_->StepNext(run_.StopRequested, run_.NavLock);
  else kelv::StepNext(nav_, TheHistory(), run_.StopRequested, run_.NavLock);
}
void RunShow::StepPrevious() {
  if (wall_) wall_->StepPrevious(run_.StopRequested, run_.NavLock);
  else kelv::StepPrevious(nav_, TheHistory(), run_.StopRequested, run_.NavLock);
}

int32_t RunShow::Compose() {
  MotionScene* keep = motion_.Keeper(TheSettings().Motion);
  if (run_.NextBitmap) {
    if (monitors_.empty()) {
      ComposeScreen(*run_.NextBitmap, run_, TheHistory(), nullptr, keep, Meanwhile());
    } else {
      deal_.BeginScreen(0);
      ComposeScreen(*run_.NextBitmap, run_, TheHistory(), &deal_, keep, Meanwhile());
    }
  }
  return TheDisplayOrder().current;
}

void RunShow::CopyScreenToNext() {
  if (run_.NextBitmap && run_.ScreenBitmap) FitInto(*run_.NextBitmap, *run_.ScreenBitmap);
}

void RunShow::CutToNext() {
  if (!run_.NextBitmap) return;
  TraceFirstPicture(firstPictureTraced_);
  ShowPicture(run_.WindowDC.get(), *run_.NextBitmap, false);
  PushToScreen();
}

// The pre-step of the effect at `index` (the failure text names module, version, group
// and effect without the run's addresses).
void RunShow::PreStep(int32_t index) { PreStepFor(nullptr, index); }

void RunShow::PreStepFor(MonitorScreen* monitor, int32_t index) {
  const EffectTableState& table = monitor ? monitor->Table() : TheEffectTable();
  const int32_t instance = monitor ? monitor->Index() : 0;
  const EffectEntry entry = table.entries[index];
  const EffectModule* m = ModuleOf(entry);
  if (!m) return;
  KelvRunEffectProc run = EntryOf(*m, entry.group);
  if (!run) return;
  EffectCallContext context;
  context.text = PreStepFailureText(m->descriptor.name ? m->descriptor.name : "", m->descriptor.moduleVersion,
                                    entry.group, entry.effect);
  context.preStep = true;
  context.library = m->library;
  GuardedCall(context, [&] { run(KELV_FX_COMMAND_PRE_STEP + entry.effect, instance); });
}

// Prepare, clock restart and the run of the effect at `index` (the failure text adds the
// entry, next-picture and drawing-target addresses); the test failure is raised here too,
// so it is reported as a failure of the running effect.
void RunShow::RunEffect(int32_t index, bool raiseTestFailure) { RunEffectFor(nullptr, index, raiseTestFailure); }

void RunShow::RunEffectFor(MonitorScreen* monitor, int32_t index, bool raiseTestFailure) {
  const EffectTableState& table = monitor ? monitor->Table() : TheEffectTable();
  const int32_t instance = monitor ? monitor->Index() : 0;
  TBitmap* screen = monitor ? monitor->Screen() : run_.ScreenBitmap.get();
  TBitmap* next = monitor ? monitor->Next() : run_.NextBitmap.get();
  EffectClock& clock = monitor ? monitor->Clock() : clock_;
  const EffectEntry entry = table.entries[index];
  const EffectModule* m = ModuleOf(entry);
  KelvRunEffectProc run = m ? EntryOf(*m, entry.group) : nullptr;
  void* target = screen ? screen->Bits : nullptr;
  // DirectDraw serves the primary only.
  if (!monitor && UseDirectDraw && entry.module < targets_.size() && targets_[entry.module])
    target = targets_[entry.module];
  EffectCallContext context;
  context.text = m ? RunFailureText(m->descriptor.name ? m->descriptor.name : "", m->descriptor.moduleVersion,
                                    entry.group, entry.effect, reinterpret_cast<const void*>(run),
                                    next ? next->Bits : nullptr, target)
                   : std::string("Plugin: ?");
  context.library = m ? m->library : nullptr;
  const uint8_t flags = EffectFlagsOf(EffectModules(), entry);
  if (!monitor) TraceFirstPicture(firstPictureTraced_);
  if (m) TraceTransition(*m, entry);
  framesPresented_ = 0;
  presentMicros_ = 0;
  int64_t started = 0;
  // Wait and the presentation serve this monitor while its effect runs.
  activeMonitor_ = monitor;
  GuardedCall(context, [&] {
    if (run && (flags & KELV_FX_PREPARE)) run(KELV_FX_COMMAND_PREPARE + entry.effect, instance);
    clock.Restart(ClockNow());
    started = Micros();
    if (run) run(entry.effect, instance);
    if (raiseTestFailure) kelv::RaiseTestFailure();
  });
  activeMonitor_ = nullptr;
  if (m && started != 0) TraceFrames(framesPresented_, Micros() - started, presentMicros_);
}

void RunShow::RaiseTestFailure() { kelv::RaiseTestFailure(); }

void RunShow::Present() {
  const int64_t start = Micros();
  PresentFrame(run_.WindowDC.get());
  PushToScreen();
  presentMicros_ += Micros() - start;
  ++framesPresented_;
}

void RunShow::LockSurface() {
  if (UseDirectDraw) LockScreen();
}

void RunShow::UnlockSurface() { UnlockScreen(); }

void RunShow::VisibilityCheck() { run_.VisibilityCheck(); }

}  // namespace kelv
