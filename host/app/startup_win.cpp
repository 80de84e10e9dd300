#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/mode_dispatch.hpp"
#include "app/pending_modes.hpp"
#include "app/program_settings.hpp"
#include "app/startup.hpp"
#include "common/exception.hpp"
#include "common/test_trace.hpp"
#include "crash/app_mode.hpp"
#include "crash/hooks.hpp"
#include "crash/report_entry.hpp"
#include "plugins/plugin_system.hpp"
#include "saver/run_saver.hpp"
#include "settings/registry.hpp"
#include "stats/run_stats.hpp"

namespace kelv {

namespace {

std::string EnvironmentText(const char* name) {
  char buffer[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// Test seam for the integration tests: when KELVORA_TEST_FAULT is set, the chosen mode
// fails at its start instead of running, so the tests can watch the guards and hooks:
//   "exception"  raises a kelv::Exception ("Test failure")
//   "foreign"    throws an object of another class (std::runtime_error)
//   "access"     writes to address 0x10 (an access violation)
// Nothing else reads the variable; without it the modes run normally.
void RaiseTestFaultIfAsked() {
  const std::string fault = EnvironmentText("KELVORA_TEST_FAULT");
  if (fault.empty()) return;
  if (fault == "exception") throw Exception("Test failure");
  if (fault == "foreign") throw std::runtime_error("Test failure");
  if (fault == "access") {
    volatile uintptr_t address = 0x10;  // volatile: the compiler must not see through it
    *reinterpret_cast<volatile int*>(address) = 1;
  }
}

// A mode guard: failures of the program's own exception class go to the crash report
// (which ends the process); anything else passes on to the unhandled-exception procedure.
template <typename Mode>
void RunGuarded(Mode mode) {
  try {
    RaiseTestFaultIfAsked();
    mode();
  } catch (const Exception& e) {
    ReportModeFailure(e.message(), e.className(), e.raiseAddress(),
                      AppMode.load() | AppModeModeGuard);
  }
}

// The arguments after the program name, split by the C run-time exactly as the
// platform splits a program's command line ("/p 1234" gives two, "/c:1234" one).
std::vector<std::string> ProgramArguments() {
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i] ? __argv[i] : "");
  return args;
}

}  // namespace

int RunProgram() {
  StartTick = GetTickCount();
  InstallCrashHooks();
  StatsStart();
  // The plug-in load may end the program itself (an input module too old for this host, no
  // memory manager): that end is orderly too, so the next start must not count a dead run.
  // The crash report builds its module table when it reports, so it needs no refresh hook.
  SetPluginHostHooks({.cleanEnd = &StatsCleanEnd, .modulesChanged = nullptr});

  const CommandLine cmd = ParseCommandLine(ProgramArguments());
  const std::string& tracePath = TestTracePath();
  AppendTraceLine(tracePath, CommandLineTraceLine(cmd));

  const ModeAction action = ResolveMode(cmd, SystemRegistry(), [](uintptr_t handle) {
    return IsWindow(reinterpret_cast<HWND>(handle)) != FALSE;
  });
  AppendTraceLine(tracePath, std::string("dispatch=") + ModeActionName(action));

  switch (action) {
    case ModeAction::SettingsDialog:
      RunGuarded([] { RunSettingsDialogMode(); });
      break;
    case ModeAction::Preview:
      RunGuarded([&] { RunSaver(cmd.parentWindow, &LoadProgramSettings); });
      break;
    case ModeAction::FullScreen:
      RunGuarded([] { RunSaver(0, &LoadProgramSettings); });
      break;
    case ModeAction::ChangePassword:
      // No guard here: a failure reaches the unhandled-exception procedure.
      RaiseTestFaultIfAsked();
      RunPasswordChangeMode(cmd.paramText);
      break;
    case ModeAction::None:
      break;
  }
  StatsCleanEnd();
  return 0;
}

}  // namespace kelv
