#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <functional>

#include "common/random.hpp"
#include "common/version.hpp"
#include "crash/app_mode.hpp"
#include "crash/capture.hpp"
#include "crash/capture_win.hpp"
#include "crash/machine_facts.hpp"
#include "crash/report_driver.hpp"
#include "crash/report_path.hpp"
#include "crash/report_platform.hpp"
#include "crash/report_text.hpp"
#include "imaging/presentation.hpp"
#include "settings/registry.hpp"
#include "stats/run_stats.hpp"

namespace kelv {

namespace {

// How long a full-screen run waits for the browser start to end: 500 ms rounds, 15 s.
constexpr int kBrowserWaitRounds = 30;

// Runs one step of the report; a step that fails leaves `marker` (or nothing) behind.
template <typename Step>
void Guarded(Step step) {
  try {
    step();
  } catch (...) {
  }
}

bool IsNtFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::string AppDataFolder() {
  std::string folder;
  Guarded([&] {
    if (auto key = SystemRegistry().Open(Hive::CurrentUser, kShellFoldersKey, KeyAccess::Read))
      folder = ReadStringValue(*key, "AppData").value_or(std::string());
  });
  if (folder.empty()) {
    char path[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path))) folder = path;
  }
  return folder;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Creates every missing folder of the path.
void CreateFolderPath(const std::string& folder) {
  for (size_t pos = folder.find_first_of("\\/", 3); ; pos = folder.find_first_of("\\/", pos + 1)) {
    CreateDirectoryA(folder.substr(0, pos).c_str(), nullptr);
    if (pos == std::string::npos) break;
  }
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  // Created anew: a report never keeps the tail of an older, longer file.
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    DWORD written = 0;
    ok = WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) && written > 0;
    done += written;
  }
  ok = CloseHandle(file) && ok;
  return ok;
}

ReportFacts GatherFacts(const ReportRequest& request) {
  ReportFacts f;
  f.message = request.message;
  f.className = request.className;
  f.address = reinterpret_cast<uintptr_t>(request.address);
  f.mode = request.mode;
  f.appVersion = VersionWordText(kProgramVersionWord);
  f.extraLine = request.extraLine;
  f.codePage = GetACP();  // every text of the report is in the program's code page
  Guarded([&] { f.systemText = SystemTextNow(); });
  f.processorText = "failed";
  Guarded([&] { f.processorText = ProcessorTextNow(); });
  Guarded([&] { f.memoryText = MemoryTextNow(); });
  Guarded([&] { f.errstat = StatsSummary(); });
  f.worktime = static_cast<uint32_t>(GetTickCount() - StartTick);
  f.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  f.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  // The direct-surface presentation always draws through an off-screen buffer.
  f.directDraw = UseDirectDraw.load();
  f.backBuffer = f.directDraw;
  const HMODULE main = GetModuleHandleA(nullptr);
  f.instanceIsZero = main == nullptr;
  f.mainModule = reinterpret_cast<uintptr_t>(main);

  CaptureState& capture = TheCapture();
  // The stack at raise time or at the fault is what tells where it failed; only when
  // nothing was captured then is the report's own stack taken.
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  RtlCaptureContext(&context);
  if (capture.stackTraceText == "no") {
    capture.stackTraceText = "failed3";
    Guarded([&] { capture.stackTraceText = StackTraceFromContext(context, BuildModuleTable()); });
  }
  if (capture.rawStackText == "no" || capture.registersText == "no") {
    Guarded([&] {
      if (capture.rawStackText == "no") capture.rawStackText = "failed2";
      if (capture.registersText == "no") capture.registersText = "failed2";
      if (capture.rawStackText == "failed2") capture.rawStackText = RawStackFrom(StackPointerOf(context));
      if (capture.registersText == "failed2") capture.registersText = RegistersFromContext(context);
    });
  }
  f.registersText = capture.registersText;
  f.exceptionCode = capture.exceptionCode;
  f.accessKind = capture.accessKind;
  f.dataAddress = capture.dataAddress;
  f.frameValue = capture.frameValue;
  f.stackTraceText = capture.stackTraceText;
  f.rawStackText = capture.rawStackText;
  if (f.directDraw) {
    f.processesText = "erlist";
    Guarded([&] { f.processesText = ProcessListTextNow(); });
  }
  return f;
}

// "explorer.exe" with the report, on the normal desktop (a full-screen run may be on the
// screen-saver desktop). Null when it could not be started.
HANDLE OpenInBrowser(const std::string& path) {
  std::string commandLine = "explorer.exe \"" + path + "\"";
  char desktop[] = "Default";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktop;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

void MakeReportAndEnd(const ReportRequest& request) {
  const ReportFacts facts = GatherFacts(request);
  const std::string text = BuildReportText(facts);

  const std::string folder = AppDataFolder() + "\\Kelvora";
  const std::string path = ChooseReportPath(folder, FileExists, [] { return RandomReal(); });
  if (!FileExists(path)) CreateFolderPath(folder);
  // A copy goes to the error output, where there is one (test runs, consoles).
  WriteErrorOutput(text);
  if (!WriteWholeFile(path, text)) EndProcessNow(kReportExitCode);

  Guarded([] { ReleasePresentation(); });
  const bool nt = IsNtFamily();
  if ((request.mode & AppModeFullScreenRun) && !nt) {
    char title[256];
    const HWND foreground = GetForegroundWindow();
    if (foreground && GetWindowTextA(foreground, title, sizeof title) > 0 && std::strstr(title, "Kelvora"))
      PostMessageA(foreground, WM_CLOSE, 0, 0);
  }
  Guarded([] { StatsRecordCrash(); });

  if (const HANDLE browser = OpenInBrowser(path)) {
    const bool fullScreenOnly = (request.mode & AppModeFullScreenRun) &&
                                !(request.mode & (AppModeSettingsDialog | AppModePreviewRun));
    if (fullScreenOnly && nt) {
      // Bounded: a browser start that never ends (no browser registered) must not keep
      // the failed saver alive for good.
      DWORD code = 0;
      for (int i = 0; i < kBrowserWaitRounds && GetExitCodeProcess(browser, &code) && code == STILL_ACTIVE; ++i)
        Sleep(500);
    }
    CloseHandle(browser);
  }
  EndProcessNow(kReportExitCode);
}

}  // namespace kelv
