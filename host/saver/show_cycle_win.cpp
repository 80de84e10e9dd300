// The show cycle on Win32: timing from the high-resolution counter (or the tick count),
// the calls into the effect modules inside their guards, and the passes of the show thread.
#include <windows.h>

#include <string>
#include <vector>

#include "common/exception.hpp"
#include "common/test_trace.hpp"
#include "crash/report_entry.hpp"
#include "crash/report_text.hpp"
#include "imaging/presentation.hpp"
#include "show/compose.hpp"
#include "show/compose_history.hpp"
#include "show/display_order.hpp"
#include "show/run_flags.hpp"
#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"
#include "saver/effect_guard_win.hpp"
#include "saver/run_state.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/show_cycle.hpp"
#include "saver/test_failure.hpp"
#include "settings/settings.hpp"
#include "show/show_effects.hpp"
#include "show/show_machine.hpp"
#include "show/show_navigation.hpp"
#include "show/show_wait.hpp"

namespace kelv {

namespace {

// ---- time ------------------------------------------------------------------------
int64_t g_ticksPerMs = 0;  // 0: no high-resolution counter, the tick count is used

int64_t NowMs() {
  if (g_ticksPerMs > 0) {
    LARGE_INTEGER counter;
    if (QueryPerformanceCounter(&counter)) return counter.QuadPart / g_ticksPerMs;
  }
  return static_cast<int64_t>(GetTickCount64());
}

// ---- run state of the cycle ------------------------------------------------------
EffectClock g_clock;
std::vector<void*> g_targets;    // per effect module: the surface it draws into

// Drawing done on the show thread into the window may be held back until the window's
// own thread looks at its messages again (so it is on some systems): a posted message
// wakes the main loop after every frame.
void PushToScreen() {
  GdiFlush();
  WakeMainLoop();
}

void PresentOnScreen() {
  PresentFrame(static_cast<HDC>(WindowDC));
  PushToScreen();
}

class HostWaitServices final : public WaitServices {
public:
  int64_t Now() override { return NowMs(); }
  void Sleep(int32_t ms) override { ::Sleep(static_cast<DWORD>(ms)); }
  bool Stopped() override { return StopRequested.load() != 0; }
  bool Paused() override { return kelv::Paused.load(); }
  void ClearPaused() override { kelv::Paused = false; }
  bool EffectPreview() override { return kelv::EffectPreview; }
  int32_t Duration() override { return TheSettings().Convert; }
  void SetDuration(int32_t ms) override { TheSettings().Convert = ms; }
  int32_t PendingDuration() override { return PendingEffectDuration.load(); }
  void Present() override { PresentOnScreen(); }
  void UnlockSurface() override { UnlockScreen(); }
  void LockSurface() override { LockScreen(); }
};

int32_t KELV_CDECL HostWait(float fraction, int32_t /*instance*/) {
  // Runs inside an effect module's frame: nothing may leave it as a C++ exception.
  try {
    HostWaitServices services;
    return g_clock.Wait(fraction, services);
  } catch (const Exception& e) {
    ReportActiveEffectFailure(e.message(), e.className(), e.raiseAddress());
  } catch (const std::exception& e) {
    ReportActiveEffectFailure(e.what(), "Exception", nullptr);
  } catch (...) {
    ReportActiveEffectFailure("Unknown failure in Wait", "Exception", nullptr);
  }
}

// ---- effect modules ---------------------------------------------------------------
TEffectSetup BaseSetupRecord() {
  TEffectSetup r{};
  r.size = sizeof(TEffectSetup);
  r.flags = KELV_SETUP_HOST_HEAP;
  r.stopFlag = reinterpret_cast<volatile int32_t*>(&StopRequested);
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

// Only the drawing target changed (the DirectDraw surface moved, or DirectDraw was given
// up and the effects draw into the screen bitmap again).
void RetargetModules(void* bits, int32_t stride) {
  std::vector<EffectModule>& modules = EffectModules();
  g_targets.resize(modules.size(), nullptr);
  for (size_t i = 0; i < modules.size(); ++i) {
    if (!modules[i].state.enabled) continue;
    TEffectSetup record = BaseSetupRecord();
    record.screenBits = bits;
    record.screenStride = stride;
    CallSetup(modules[i], record);
    g_targets[i] = bits;
  }
}

PresentationListener g_observer;

void SurfaceMoved(void* bits, int32_t pitch) {
  RetargetModules(bits, pitch);
  if (g_observer.surfaceMoved) g_observer.surfaceMoved(bits, pitch);
}

void FellBack() {
  if (ScreenBitmap) RetargetModules(ScreenBitmap->Bits, ScreenBitmap->Width * 4);
  g_clock.Restart(NowMs());
  if (g_observer.fellBack) g_observer.fellBack();
}

const EffectModule* ModuleOf(const EffectEntry& entry) {
  std::vector<EffectModule>& modules = EffectModules();
  return entry.module < modules.size() ? &modules[entry.module] : nullptr;
}

KelvRunEffectProc EntryOf(const EffectModule& m, int32_t group) {
  if (!m.descriptor.groupEntries || group >= m.descriptor.groupCount) return nullptr;
  return m.descriptor.groupEntries[group];
}

uint8_t FlagsOf(int32_t index) {
  const EffectTableState& t = TheEffectTable();
  if (index < 0 || index >= t.Count()) return 0;
  return EffectFlagsOf(EffectModules(), t.entries[index]);
}

// The pre-step of the effect at `index` (text A on failure).
void PreStep(int32_t index) {
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

// The integration tests' trace (see common/test_trace.hpp): with KELVORA_TEST_TRACE set, one
// line per transition names the effect the show picked:
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

// Prepare, clock restart and the run of the effect at `index` (text B on failure); the
// test failure is raised here too, so it is reported as a failure of the running effect.
void RunTransition(int32_t index, bool raiseTestFailure) {
  const EffectEntry entry = TheEffectTable().entries[index];
  const EffectModule* m = ModuleOf(entry);
  KelvRunEffectProc run = m ? EntryOf(*m, entry.group) : nullptr;
  void* target = ScreenBitmap ? ScreenBitmap->Bits : nullptr;
  if (UseDirectDraw && entry.module < g_targets.size() && g_targets[entry.module]) target = g_targets[entry.module];
  EffectCallContext context;
  context.text = m ? RunFailureText(m->descriptor.name ? m->descriptor.name : "", m->descriptor.moduleVersion,
                                    entry.group, entry.effect, reinterpret_cast<const void*>(run),
                                    NextBitmap ? NextBitmap->Bits : nullptr, target)
                   : std::string("Plugin: ?");
  context.library = m ? m->library : nullptr;
  const uint8_t flags = FlagsOf(index);
  if (m) TraceTransition(*m, entry);
  GuardedCall(context, [&] {
    if (run && (flags & KELV_FX_PREPARE)) run(KELV_FX_COMMAND_PREPARE + entry.effect, 0);
    g_clock.Restart(NowMs());
    if (run) run(entry.effect, 0);
    if (raiseTestFailure) RaiseTestFailure();
  });
}

// The show cycle's hands on Win32: the display order and composition into NextBitmap,
// the window and the presentation, the effect modules.
class Win32ShowPlatform final : public ShowPlatform {
public:
  uint32_t Ticks() override { return GetTickCount(); }
  void Sleep(int32_t ms) override { ::Sleep(static_cast<DWORD>(ms)); }
  int32_t Compose() override {
    if (NextBitmap) ComposeScreen(*NextBitmap);
    return TheDisplayOrder().current;
  }
  void CopyScreenToNext() override {
    if (NextBitmap && ScreenBitmap) FitInto(*NextBitmap, *ScreenBitmap);
  }
  void CutToNext() override {
    if (!NextBitmap) return;
    ShowPicture(static_cast<HDC>(WindowDC), *NextBitmap, false);
    PushToScreen();
  }
  void PreStep(int32_t index) override { kelv::PreStep(index); }
  void RunEffect(int32_t index, bool raiseTestFailure) override { RunTransition(index, raiseTestFailure); }
  void RaiseTestFailure() override { kelv::RaiseTestFailure(); }
  void Present() override { PresentOnScreen(); }
  void LockSurface() override {
    if (UseDirectDraw) LockScreen();
  }
  void UnlockSurface() override { UnlockScreen(); }
  void VisibilityCheck() override { kelv::VisibilityCheck(); }
};

ShowMachine& Machine() {
  static Win32ShowPlatform platform;
  static ShowMachine machine(platform, EffectModules(), TheEffectTable(), TheNavigation(),
                             ShowSignals{StopRequested, EndRequested, Paused, TestFailureRequested},
                             ShowTiming{&TheSettings().Delay, EffectPreview});
  return machine;
}

}  // namespace

void SetPresentationObserver(const PresentationListener& observer) { g_observer = observer; }

void StartShowCycle() {
  if (!EffectPreview) BuildEffectTable(EffectModules(), TheEffectTable());
  StartDisplayOrderRun();
  TheHistory().Reset();
  TheNavigation().Reset();
  Machine().Start();
  SaverRunActive = true;
}

void SetUpEffectModules() {
  LARGE_INTEGER frequency;
  g_ticksPerMs = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart / 1000 : 0;
  InstallEffectGuard();
  SetPresentationListener(PresentationListener{&SurfaceMoved, &FellBack});

  std::vector<EffectModule>& modules = EffectModules();
  g_targets.assign(modules.size(), nullptr);
  if (!ScreenBitmap || !NextBitmap) return;
  for (size_t i = 0; i < modules.size(); ++i) {
    if (!modules[i].state.enabled) continue;
    TEffectSetup record = BaseSetupRecord();
    record.width = ScreenBitmap->Width;
    record.height = ScreenBitmap->Height;
    record.nextBits = NextBitmap->Bits;
    record.screenBits = ScreenBitmap->Bits;
    record.screenStride = ScreenBitmap->Width * 4;
    CallSetup(modules[i], record);
    g_targets[i] = ScreenBitmap->Bits;
  }
}

void ChooseFirstEffects() { Machine().ChooseFirst(); }

void ShowFirstScreen() {
  if (!UseDirectDraw || !ScreenBitmap) return;
  ShowPicture(static_cast<HDC>(WindowDC), *ScreenBitmap, false);
  LockScreen();
  PresentFrame(static_cast<HDC>(WindowDC));
  UnlockScreen();
}

void ShowStepNext() { StepNext(TheNavigation(), TheHistory(), StopRequested, NavLock); }
void ShowStepPrevious() { StepPrevious(TheNavigation(), TheHistory(), StopRequested, NavLock); }
void RunShowCycle() { Machine().Run(); }
int32_t LastSeenPicture() { return Machine().LastSeenPicture(); }

}  // namespace kelv
