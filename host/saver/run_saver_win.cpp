// One saver run on Win32: set-up, the main thread's message loop and the end of the run.
#include <windows.h>

#include <string>

#include "common/exception.hpp"
#include "crash/app_mode.hpp"
#include "crash/report_entry.hpp"
#include "imaging/presentation.hpp"
#include "saver/run_links.hpp"
#include "saver/run_saver.hpp"
#include "saver/run_state.hpp"
#include "saver/saver_run_win.hpp"
#include "settings/settings.hpp"
#include "show/run_flags.hpp"

namespace kelv {

namespace {

DWORD g_mainThreadId = 0;

// Steps 1 and 2 of the set-up: the run's flags and counters.
void StartRun(void (*loadSettings)()) {
  if (!DialogPreview && loadSettings) loadSettings();
  run_links::StartShowState();
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

HWND CreateSaverWindow(HWND parent) {
  const bool registered = RegisterSaverClass();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND window;
  if (FullScreen) {
    window = CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, kSaverWindowTitle,
                             WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, ScreenRect.left,
                             ScreenRect.top, ScreenRect.width, ScreenRect.height, nullptr, nullptr,
                             instance, nullptr);
  } else {
    window = CreateWindowExA(0, kSaverClassName, kSaverWindowTitle,
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_MAXIMIZE, ScreenRect.left,
                             ScreenRect.top, ScreenRect.width, ScreenRect.height, parent, nullptr,
                             instance, nullptr);
  }
  if (window) {
    if (FullScreen) SetForegroundWindow(window);
    return window;
  }
  const DWORD error = GetLastError();
  if (parent && !IsWindow(parent)) {
    // The display settings closed their preview before the saver could start in it.
    run_links::StatsCleanEnd();
    ExitProcess(0);
  }
  throw EOSError("Get Handle in ImageCreate failed, Error = " + std::to_string(error) + ", " +
                 std::to_string(reinterpret_cast<uintptr_t>(parent)) + ", " + (registered ? "1" : "0"));
}

// The desktop as it was becomes the first screen image.
void CaptureDesktop() {
  RunRect area = ScreenRect;
  if (!FullScreen) area = RunRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  std::unique_ptr<TBitmap> capture = TBitmap::Create(area.width, area.height);
  HDC screenDC = GetDC(nullptr);
  BitBlt(static_cast<HDC>(capture->DC), 0, 0, area.width, area.height, screenDC, area.left, area.top, SRCCOPY);
  ReleaseDC(nullptr, screenDC);
  FitInto(*ScreenBitmap, *capture);  // the screen bitmap shrinks (a preview's capture)
}

// Everything up to the show: returns normally after a failed window DC too (the show
// thread then ends the run at its first check).
void SetUpSteps(HWND parent, void (*loadSettings)()) {
  AppMode |= FullScreen ? AppModeFullScreenRun : AppModePreviewRun;
  RunParent = parent;
  StartRun(loadSettings);

  StopRequested = 0;
  if (FullScreen) {
    run_links::CreateCoverWindows();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  HWND window = CreateSaverWindow(parent);
  SaverWindow = window;

  WindowDC = GetDC(window);
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
  run_links::SetUpEffectModules();

  StopRequested = 0;
  UpdateWindow(window);
  ShowWindow(window, SW_SHOW);
  BitBlt(static_cast<HDC>(WindowDC), 0, 0, ScreenBitmap->Width, ScreenBitmap->Height,
         static_cast<HDC>(ScreenBitmap->DC), 0, 0, SRCCOPY);

  SetupPresentation(window, *ScreenBitmap);
  PaintSuppressed = false;
  run_links::ChooseFirstEffects();
  WallpaperDone = false;
}

void SetUpRun(HWND parent, void (*loadSettings)()) {
  try {
    SetUpSteps(parent, loadSettings);
  } catch (const Exception& e) {
    ReportModeFailure(e.message(), e.className(), e.raiseAddress(), AppMode);
  }
  DWORD id = 0;
  ShowThread = CreateThread(nullptr, 65536, ShowThreadMain, nullptr, 0, &id);
}

}  // namespace

void WakeMainLoop() {
  if (g_mainThreadId) PostThreadMessageA(g_mainThreadId, WM_NULL, 0, 0);
}

void RunSaver(uintptr_t parentWindow, void (*loadSettings)()) {
  HWND parent = reinterpret_cast<HWND>(parentWindow);
  g_mainThreadId = GetCurrentThreadId();
  FullScreen = parent == nullptr;
  ScreenRect = RunRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SetUpRun(parent, loadSettings);

  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) break;
    if (got != -1) {
      HWND dialog = static_cast<HWND>(SettingsDialogWindow.load());
      const bool consumed = msg.hwnd != SaverWindow.load() && dialog && IsWindow(dialog) &&
                            !FullScreen && IsDialogMessageA(dialog, &msg);
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

void EndRun() {
  PaintSuppressed = true;
  ShowFinished = false;
  ReleasePresentation();
  HWND window = static_cast<HWND>(SaverWindow.load());
  if (WindowDC) ReleaseDC(window, static_cast<HDC>(WindowDC));
  WindowDC = nullptr;
  if (window && IsWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
  if (ShowThread) CloseHandle(static_cast<HANDLE>(ShowThread));
  ShowThread = nullptr;
  NextBitmap.reset();
  ScreenBitmap.reset();
  run_links::FreeRandomOrder();
  if (FullScreen) {
    run_links::CloseCoverWindows();
    ShowCursor(TRUE);
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    run_links::SaveResumePosition();
  }
  if (!DialogPreview) {
    run_links::WriteCatalogueIfChanged();
    run_links::FreeCatalogueFontsAndPlugins();
    run_links::StatsCleanEnd();
    ExitProcess(0);
  }
}

}  // namespace kelv
