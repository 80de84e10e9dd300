#include "ui/settings_dialog_win.hpp"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "crash/app_mode.hpp"
#include "plugins/plugin_host.hpp"
#include "stats/run_stats.hpp"
#include "ui/control_trace_win.hpp"
#include "ui/dpi_awareness_win.hpp"
#include "ui/message_guard_win.hpp"

namespace kelv::ui {

namespace {

// Sizes of the window's client area in 96-dpi units.
constexpr int32_t kWindowWidth = 609;
constexpr int32_t kClientHeight = 447;
constexpr int32_t kPreviewWidth = 320;
constexpr int32_t kPreviewHeight = 240;
constexpr int kProgramIconId = 500;

SettingsDialog* DialogOf(HWND window) {
  return reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool IsSettingsWindow(HWND window) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, kSettingsClassName) == 0;
}

LRESULT CALLBACK SettingsWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  SettingsDialog* dialog = DialogOf(window);
  if (!dialog) return DefWindowProcA(window, message, wParam, lParam);
  return GuardedMessage([&] { return dialog->HandleMessage(window, message, wParam, lParam); });
}

void PageChangedCallback(HWND tab) {
  if (SettingsDialog* dialog = SettingsDialog::Of(tab)) dialog->PageShown(tab);
}

bool RegisterSettingsClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSA cls{};
  cls.style = CS_HREDRAW | CS_VREDRAW;
  cls.lpfnWndProc = SettingsWndProc;
  cls.hInstance = Framework::Get().Instance();
  cls.hIcon = LoadIconA(cls.hInstance, MAKEINTRESOURCEA(kProgramIconId));
  cls.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  cls.lpszClassName = kSettingsClassName;
  registered = RegisterClassA(&cls) != 0;
  return registered;
}

}  // namespace

SettingsDialog::SettingsDialog(const SettingsHooks& hooks) : hooks_(hooks) {}

SettingsDialog* SettingsDialog::Of(HWND window) {
  HWND top = GetAncestor(window, GA_ROOT);
  return top && IsSettingsWindow(top) ? DialogOf(top) : nullptr;
}

PageChangeCallback SettingsPageCallback() { return PageChangedCallback; }

bool SettingsDialog::CreateMainWindow() {
  if (!RegisterSettingsClass()) {
    MessageBoxA(nullptr, "Register class failed:opt", nullptr, MB_OK);
    return false;
  }
  const int32_t width = ScaleToScreen(kWindowWidth);
  const int32_t height = ScaleToScreen(CaptionHeight() + kClientHeight);
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  const int32_t left = desktop.left + (desktop.right - desktop.left - width) / 2;
  const int32_t top = desktop.top + (desktop.bottom - desktop.top - height) / 2;
  window_ = CreateWindowExA(0, kSettingsClassName, kSettingsTitle, WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, left,
                            top, width, height, nullptr, nullptr, Framework::Get().Instance(), this);
  if (!window_) {
    MessageBoxA(nullptr, "WinCreate failed", nullptr, MB_OK);
    return false;
  }
  return true;
}

void SettingsDialog::Run() {
  AppMode |= AppModeSettingsDialog;
  LoadAllSettings(hooks_);
  highlightBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT)));
  shadowBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
  shadowPen_.reset(CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNSHADOW)));
  highlightPen_.reset(CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNHIGHLIGHT)));

  Framework& ui = Framework::Get();
  // Laid out once, at the system's dpi: on a monitor of another scale the system stretches
  // the dialog (and its small dialogs) rather than leaving it at its pixel size.
  DeclareSystemDpiAwareness();
  if (!CreateMainWindow()) return;
  StatsRecordWindow(window_, false);
  InitCommonControls();
  ui.Theme().Load();

  previewWidth_ = ScaleToScreen(kPreviewWidth);
  previewHeight_ = ScaleToScreen(kPreviewHeight);
  previewBitmap_ = TBitmap::Create(previewWidth_, previewHeight_);

  ui.Registry().SetCount(0);
  ui.CreateSharedFont();
  lastPageShown_ = -1;
  BuildControls();
  RefitCaptions(window_);
  previewDC_ = win::WindowDC(c_.picturePreview);
  FillControls();

  FocusControl(kIdTab);
  ShowWindow(window_, SW_SHOW);
  TraceControls(window_);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void SettingsDialog::ShowPageHelp() {
  const auto page = static_cast<int32_t>(SendMessageA(tabs_->Tab(), TCM_GETCURSEL, 0, 0));
  help_->Show(HelpTopicForPage(page), window_, TheSettings().HelpFile);
}

LRESULT SettingsDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_HSCROLL:
      OnTrackBarMoved(reinterpret_cast<HWND>(lParam));
      return 0;
    case kTreeBuiltMessage:
      OnTreeBuilt();
      return 0;
    case kPictureFilteredMessage:
      DropFilteredNode(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
      return 0;
    case WM_CLOSE:
      if (DeferIfPreviewing(window, message, wParam, lParam)) return 0;
      break;
    case WM_DESTROY:
      ReleaseDialog();
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_SETCURSOR:
      if (Framework::Get().ApplyBusyCursor()) return TRUE;
      break;
    case WM_HELP:
      ShowPageHelp();
      return TRUE;
    case WM_PAINTICON:
    case WM_VSCROLL:
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void SettingsDialog::SaveAndExit() {
  treeBuild_->RequestStop();  // it only reads the catalogue: the save need not wait
  ReadControls();
  SaveSettings(hooks_);
  ReleaseDialog();
}

void SettingsDialog::ReleaseDialog() {
  releasing_ = true;
  treeBuild_->RequestStop();
  // About a second; a worker still going then stops at its next node, which needs this
  // thread to answer its insertion: it is waited for, never cut off where it may hold a
  // lock.
  if (!treeBuild_->WaitIdle(101)) treeBuild_->WaitIdle();
  previewDC_.reset();
  previewBitmap_.reset();
  highlightBrush_.reset();
  shadowBrush_.reset();
  shadowPen_.reset();
  highlightPen_.reset();
  Framework& ui = Framework::Get();
  ui.ReleaseDrawingObjects();
  help_.reset();
  ui.Theme().Free();
  if (comInitialised_) CoUninitialize();
  UnloadPlugins();
  StatsCleanEnd();
  ExitProcess(0);
}

void RunSettingsDialog(const SettingsHooks& hooks) {
  // On the heap: the dialog holds the picture tree's table of folder slots.
  auto dialog = std::make_unique<SettingsDialog>(hooks);
  dialog->Run();
}

}  // namespace kelv::ui
