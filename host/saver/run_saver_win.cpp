// One saver run on Win32: set-up, the main thread's message loop and the end of the run.
#include <windows.h>

#include <string>

#include "common/exception.hpp"
#include "common/test_trace.hpp"
#include "crash/app_mode.hpp"
#include "crash/report_entry.hpp"
#include "imaging/presentation.hpp"
#include "saver/process_trace_win.hpp"
#include "saver/run_links.hpp"
#include "saver/run_saver.hpp"
#include "saver/saver_run_win.hpp"
#include "settings/settings.hpp"

namespace kelv {

namespace {

DWORD WINAPI ShowThreadMain(void* run) {
  static_cast<SaverRun*>(run)->ShowThreadBody();
  return 0;
}

}  // namespace

SaverRun::SaverRun(HWND parent, const RunOptions& options) : Show(*this), options_(options) {
  RunParent = parent;
  FullScreen = parent == nullptr;
  DialogPreview = options.dialogPreview;
  EffectPreview = options.effectPreview;
  ScreenRect = RunRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

SaverRun::~SaverRun() { WaitForShowThread(); }

void SaverRun::WaitForShowThread() {
  if (!ShowThread) return;
  // The show thread's last steps send WM_CLOSE to the saver window, which this (the
  // window's) thread must answer while it waits.
  const DWORD until = GetTickCount() + 10000;
  HANDLE thread = ShowThread.get();
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_SENDMESSAGE) != WAIT_OBJECT_0 &&
         static_cast<int32_t>(until - GetTickCount()) > 0) {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ShowThread.reset();
}

// The run's flags and counters at its start.
void SaverRun::StartRun() {
  if (!DialogPreview && options_.loadSettings) options_.loadSettings();
  Show.Start();
  ShowFinished = false;
  StopRequested = 0;
  EndRequested = false;
  PaintSuppressed = true;
  WallpaperDone = true;
  MouseMoveCountdown = kMouseMovesToEnd;
  LastMousePos = 0;
  MonitorOffPause = false;
  TestFailureArmed = false;
  TestFailureRequested = false;
  if (FullScreen) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 1, nullptr, 0);
    ShowCursor(FALSE);
  }
  Paused = false;
}

HWND SaverRun::CreateSaverWindow() {
  const bool registered = RegisterSaverClass();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND window;
  // The window's procedure finds this run through the creation parameter.
  if (FullScreen) {
    window = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, kSaverWindowTitle,
                             WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, ScreenRect.left,
                             ScreenRect.top, ScreenRect.width, ScreenRect.height, nullptr, nullptr, instance, this);
  } else {
    window = CreateWindowExA(0, kSaverClassName, kSaverWindowTitle,
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_MAXIMIZE, ScreenRect.left, ScreenRect.top,
                             ScreenRect.width, ScreenRect.height, RunParent, nullptr, instance, this);
  }
  if (window) {
    if (FullScreen) SetForegroundWindow(window);
    return window;
  }
  const DWORD error = GetLastError();
  if (RunParent && !IsWindow(RunParent)) {
    // The display settings closed their preview before the saver could start in it.
    run_links::StatsCleanEnd();
    ExitProcess(0);
  }
  throw EOSError("Get Handle in ImageCreate failed, Error = " + std::to_string(error) + ", " +
                 std::to_string(reinterpret_cast<uintptr_t>(RunParent)) + ", " + (registered ? "1" : "0"));
}

// The desktop as it was becomes the first screen image.
void SaverRun::CaptureDesktop() {
  RunRect area = ScreenRect;
  if (!FullScreen) area = RunRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  std::unique_ptr<TBitmap> capture = TBitmap::Create(area.width, area.height);
  {
    win::WindowDC screen(nullptr);
    BitBlt(static_cast<HDC>(capture->DC), 0, 0, area.width, area.height, screen.get(), area.left, area.top,
           SRCCOPY);
  }
  FitInto(*ScreenBitmap, *capture);  // the screen bitmap shrinks (a preview's capture)
}

// Everything up to the show: returns normally after a failed window DC too (the show
// thread then ends the run at its first check).
void SaverRun::SetUpSteps() {
  AppMode |= FullScreen ? AppModeFullScreenRun : AppModePreviewRun;
  StartRun();

  StopRequested = 0;
  // Pictures on every monitor: full-screen runs of the saver itself only (the settings
  // dialog's runs stay on the primary).
  const bool everyMonitor = FullScreen && !DialogPreview && TheSettings().Monitors;
  if (FullScreen) {
    if (everyMonitor) run_links::AddMonitorScreens(*this);
    run_links::CreateCoverWindows(*this);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  HWND window = CreateSaverWindow();
  SaverWindow = window;

  WindowDC = win::WindowDC(window);
  run_links::RecordRunWindow(window);
  RECT rect{};
  GetWindowRect(window, &rect);
  if (!FullScreen) ScreenRect = RunRect{0, 0, rect.right - rect.left, rect.bottom - rect.top};

  const Settings& settings = TheSettings();
  UseDirectDraw = FullScreen && settings.DDraw && !run_links::PasswordProtected();

  ScreenBitmap = TBitmap::Create(ScreenRect.width, ScreenRect.height);
  NextBitmap = TBitmap::Create(ScreenRect.width, ScreenRect.height);
  for (TBitmap* b : {ScreenBitmap.get(), NextBitmap.get()}) {
    b->Shrink = true;
    b->Enlarge = settings.Enlarge;
    b->Crop = settings.crop;
  }
  NextBitmap->RandomPos = settings.RandomPos;

  if (!WindowDC) {
    // Without a window DC nothing can be shown: end the run here instead of going on
    // with released bitmaps.
    EndRun();
    return;
  }

  CaptureDesktop();
  Show.SetUpEffectModules();

  StopRequested = 0;
  UpdateWindow(window);
  ShowWindow(window, SW_SHOW);
  BitBlt(WindowDC.get(), 0, 0, ScreenBitmap->Width, ScreenBitmap->Height, static_cast<HDC>(ScreenBitmap->DC), 0, 0,
         SRCCOPY);

  if (const std::string& trace = TestTracePath(); !trace.empty())
    AppendTraceLine(trace, "saver window ms=" + std::to_string(MillisSinceProcessStart()));

  SetupPresentation(window, *ScreenBitmap);
  PaintSuppressed = false;
  Show.ChooseFirstEffects();
  if (everyMonitor) run_links::StartMonitorScreens(*this);
  WallpaperDone = false;
}

void SaverRun::SetUpRun() {
  try {
    SetUpSteps();
  } catch (const Exception& e) {
    ReportModeFailure(e.message(), e.className(), e.raiseAddress(), AppMode);
  }
  DWORD id = 0;
  ShowThread.reset(CreateThread(nullptr, 65536, ShowThreadMain, this, 0, &id));
}

void SaverRun::WakeMainLoop() const {
  if (mainThreadId_) PostThreadMessageA(mainThreadId_, WM_NULL, 0, 0);
}

void SaverRun::Run() {
  mainThreadId_ = GetCurrentThreadId();
  SetUpRun();

  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) break;
    if (got != -1) {
      HWND dialog = options_.settingsDialog;
      const bool consumed = msg.hwnd != SaverWindow.load() && dialog && IsWindow(dialog) && !FullScreen &&
                            IsDialogMessageA(dialog, &msg);
      if (!consumed) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    if (ShowFinished && DialogPreview) break;
  }

  AppMode &= ~(AppModeFullScreenRun | AppModePreviewRun);
  if (ShowFinished) EndRun();
}

void SaverRun::EndRun() {
  PaintSuppressed = true;
  ShowFinished = false;
  ReleasePresentation();
  HWND window = SaverWindow.load();
  WindowDC.reset();
  if (window && IsWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
  // A run inside the settings dialog goes on living in the dialog's process: its show
  // thread is let finish before the bitmaps it may still touch go. Any other run ends
  // the process below.
  if (DialogPreview && ShowThread && GetCurrentThreadId() == mainThreadId_) WaitForShowThread();
  else ShowThread.reset();
  NextBitmap.reset();
  ScreenBitmap.reset();
  run_links::FreeRandomOrder();
  if (FullScreen) {
    run_links::CloseCoverWindows();
    Show.ReleaseMonitors();  // their windows are closed: nothing paints from them any more
    ShowCursor(TRUE);
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    run_links::SaveResumePosition(Show.LastSeenPicture());
  }
  if (!DialogPreview) {
    run_links::WriteCatalogueIfChanged(DialogPreview);
    run_links::FreeCatalogueFontsAndPlugins();
    run_links::StatsCleanEnd();
    ExitProcess(0);
  }
}

void RunSaver(uintptr_t parentWindow, void (*loadSettings)()) {
  RunOptions options;
  options.loadSettings = loadSettings;
  SaverRun run(reinterpret_cast<HWND>(parentWindow), options);
  run.Run();
}

}  // namespace kelv
