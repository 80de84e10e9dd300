#include "saver/run_show_win.hpp"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "catalogue/size_filter.hpp"
#include "common/exception.hpp"
#include "common/test_trace.hpp"
#include "crash/report_text.hpp"
#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"
#include "saver/effect_guard_win.hpp"
#include "saver/process_trace_win.hpp"
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

class HostWaitServices final : public WaitServices {
public:
  HostWaitServices(SaverRun& run, RunShow& show) : run_(run), show_(show) {}
  int64_t Now() override { return show_.ClockNow(); }
  void Sleep(int32_t ms) override { ::Sleep(static_cast<DWORD>(ms)); }
  bool Stopped() override { return run_.Stopping(); }
  bool Paused() override { return run_.Paused.load(); }
  void ClearPaused() override { run_.Paused = false; }
  bool EffectPreview() override { return run_.EffectPreview; }
  int32_t Duration() override { return TheSettings().Convert; }
  void SetDuration(int32_t ms) override { TheSettings().Convert = ms; }
  int32_t PendingDuration() override { return run_.PendingEffectDuration.load(); }
  void Present() override { show_.Present(); }
  void UnlockSurface() override { UnlockScreen(); }
  void LockSurface() override { LockScreen(); }

private:
  SaverRun& run_;
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

RunShow::RunShow(SaverRun& run)
    : run_(run), machine_(*this, EffectModules(), TheEffectTable(), nav_, run, TheSettings().Delay) {}

RunShow::~RunShow() {
  RunShow* self = this;
  g_activeShow.compare_exchange_strong(self, nullptr);
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
  SaverRunActive = true;
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

void RunShow::StepNext() { kelv::StepNext(nav_, TheHistory(), run_.StopRequested, run_.NavLock); }
void RunShow::StepPrevious() { kelv::StepPrevious(nav_, TheHistory(), run_.StopRequested, run_.NavLock); }

uint8_t RunShow::FlagsOf(int32_t index) const {
  const EffectTableState& t = TheEffectTable();
  if (index < 0 || index >= t.Count()) return 0;
  return EffectFlagsOf(EffectModules(), t.entries[index]);
}

int32_t RunShow::Compose() {
  if (run_.NextBitmap) ComposeScreen(*run_.NextBitmap, run_);
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
void RunShow::PreStep(int32_t index) {
  const EffectEntry entry = TheEffectTable().entries[index];
  const EffectModule* m = ModuleOf(entry);
  if (!m) return;
  KelvRunEffectProc run = EntryOf(*m, entry.group);
  if (!run) return;
  EffectCallContext context;
  context.text = PreStepFailureText(m->descriptor.name ? m->descriptor.name : "", m->descriptor.moduleVersion,
                                    entry.group, entry.effect);
  context.preStep = true;
  context.library = m->library;
  GuardedCall(context, [&] { run(KELV_FX_COMMAND_PRE_STEP + entry.effect, 0); });
}

// Prepare, clock restart and the run of the effect at `index` (the failure text adds the
// entry, next-picture and drawing-target addresses); the test failure is raised here too,
// so it is reported as a failure of the running effect.
void RunShow::RunEffect(int32_t index, bool raiseTestFailure) {
  const EffectEntry entry = TheEffectTable().entries[index];
  const EffectModule* m = ModuleOf(entry);
  KelvRunEffectProc run = m ? EntryOf(*m, entry.group) : nullptr;
  void* target = run_.ScreenBitmap ? run_.ScreenBitmap->Bits : nullptr;
  if (UseDirectDraw && entry.module < targets_.size() && targets_[entry.module]) target = targets_[entry.module];
  EffectCallContext context;
  context.text = m ? RunFailureText(m->descriptor.name ? m->descriptor.name : "", m->descriptor.moduleVersion,
                                    entry.group, entry.effect, reinterpret_cast<const void*>(run),
                                    run_.NextBitmap ? run_.NextBitmap->Bits : nullptr, target)
                   : std::string("Plugin: ?");
  context.library = m ? m->library : nullptr;
  const uint8_t flags = FlagsOf(index);
  TraceFirstPicture(firstPictureTraced_);
  if (m) TraceTransition(*m, entry);
  framesPresented_ = 0;
  presentMicros_ = 0;
  int64_t started = 0;
  GuardedCall(context, [&] {
    if (run && (flags & KELV_FX_PREPARE)) run(KELV_FX_COMMAND_PREPARE + entry.effect, 0);
    clock_.Restart(ClockNow());
    started = Micros();
    if (run) run(entry.effect, 0);
    if (raiseTestFailure) kelv::RaiseTestFailure();
  });
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
