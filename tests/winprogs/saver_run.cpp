// Drives saver runs for the Wine tests, with the input settings given on the command line
// (name=value: DDraw, StopKey, ArrowKeys, MouseMove, pmon, Enlarge, crop):
//   saver_run /s [settings]            a full-screen run
//   saver_run /p <handle> [settings]   a preview inside the given window
//   saver_run /hosted <ms> [settings]  a preview inside a window of this program, which
//                                      hides that window after <ms>
//   saver_run /dialog <runs> [settings]
//       <runs> previews started the way the settings dialog starts them, one after the
//       other inside a host window of this program; each ends when the host window is
//       hidden. Prints the GDI object and thread counts after each run and exits 1 when
//       the last run ends with more than the first two did.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/program_settings.hpp"
#include "imaging/presentation.hpp"
#include "saver/run_saver.hpp"
#include "saver/run_show_win.hpp"
#include "saver/saver_run_win.hpp"
#include "settings/settings.hpp"

namespace {

void ApplySetting(const char* arg) {
  const char* eq = std::strchr(arg, '=');
  if (!eq) return;
  const std::string name(arg, eq);
  const int value = std::atoi(eq + 1);
  kelv::Settings& s = kelv::TheSettings();
  if (name == "DDraw") s.DDraw = value != 0;
  else if (name == "StopKey") s.StopKey = value;
  else if (name == "ArrowKeys") s.ArrowKeys = value != 0;
  else if (name == "MouseMove") s.MouseMove = value != 0;
  else if (name == "pmon") s.pmon = value != 0;
  else if (name == "Enlarge") s.Enlarge = value != 0;
  else if (name == "crop") s.crop = value != 0;
}

// The number of GDI objects of this process. GetGuiResources first; where the system
// does not count (it answers 0), the process's GDI handle table is counted instead.
struct GdiHandleEntry {
  uint64_t object;
  uint32_t owner;
  uint16_t unique;
  uint8_t type;
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);

long CountGdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted) return static_cast<long>(counted);
  auto* teb = reinterpret_cast<uint8_t*>(NtCurrentTeb());
  auto* peb = *reinterpret_cast<uint8_t**>(teb + (sizeof(void*) == 8 ? 0x60 : 0x30));
  auto* table = *reinterpret_cast<GdiHandleEntry**>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
  if (!table) return -1;
  long n = 0;
  for (int i = 0; i < 65536; ++i)
    if (table[i].type != 0) ++n;
  return n;
}

long CountThreads() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 e{};
  e.dwSize = sizeof e;
  long n = 0;
  for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
    if (e.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snap);
  return n;
}

// Tells the test which presentation path the run took: once the first locked frame was
// presented or DirectDraw was given up (or, on the plain path, a second after set-up).
std::atomic<bool> g_presentationEvent{false};

DWORD WINAPI ReportPresentation(void* param) {
  const kelv::SaverRun& run = *static_cast<kelv::SaverRun*>(param);
  for (int i = 0; i < 600 && (!run.SaverWindow.load() || run.PaintSuppressed); ++i) Sleep(50);
  for (int i = 0; i < 400 && kelv::UseDirectDraw && !g_presentationEvent; ++i) Sleep(50);
  Sleep(kelv::UseDirectDraw ? 200 : 1000);
  std::printf("presentation: ddraw=%d primary=%d\n", kelv::UseDirectDraw.load() ? 1 : 0,
              kelv::DrawingToPrimary() ? 1 : 0);
  // The moves the system reported while the window appeared have been counted by now.
  std::printf("mouse countdown: %d\n", run.MouseMoveCountdown.load());
  std::fflush(stdout);
  return 0;
}

void SurfaceMoved(void* bits, int32_t pitch) {
  std::printf("surface locked: pitch %d%s\n", pitch, bits ? "" : " (no memory)");
  std::fflush(stdout);
  g_presentationEvent = true;
}

void FellBack() {
  std::printf("fell back to GDI\n");
  std::fflush(stdout);
  g_presentationEvent = true;
}

HWND CreateHost(const char* title, int x, int y, int w, int h, int stockBrush) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(stockBrush));
  wc.lpszClassName = "KelvTestPreviewHost";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, title, WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

HWND g_host = nullptr;

void CALLBACK HideHost(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ShowWindow(g_host, SW_HIDE);
}

int DialogPreviews(int runs) {
  g_host = CreateHost("Kelvora dialog host", 40, 40, 360, 280, GRAY_BRUSH);
  kelv::RunOptions options;
  options.dialogPreview = true;

  // The counting method must see objects come and go, or its numbers prove nothing.
  const long before = CountGdiObjects();
  HBRUSH probes[10];
  for (HBRUSH& b : probes) b = CreateSolidBrush(RGB(1, 2, 3));
  const long during = CountGdiObjects();
  for (HBRUSH b : probes) DeleteObject(b);
  std::printf("gdi count probe: %ld -> %ld -> %ld\n", before, during, CountGdiObjects());
  const bool countable = during - before == 10;

  // A leak grows with every run; the first runs may still fill the system's caches.
  long early[2] = {0, 0};
  bool grew = false;
  for (int i = 0; i < runs; ++i) {
    ShowWindow(g_host, SW_SHOW);
    UpdateWindow(g_host);
    SetTimer(nullptr, 0, 400, HideHost);
    const long threadsBefore = CountThreads();
    {
      kelv::SaverRun run(g_host, options);
      run.Run();
    }
    // The show thread ends right after the run has returned.
    for (int wait = 0; wait < 100 && CountThreads() > threadsBefore; ++wait) Sleep(20);
    const long now[2] = {CountGdiObjects(), CountThreads()};
    std::printf("run %d: gdi %ld threads %ld\n", i + 1, now[0], now[1]);
    for (int k = 0; k < 2; ++k) {
      if (i < 2 && now[k] > early[k]) early[k] = now[k];
      if (i == runs - 1 && now[k] > early[k]) grew = true;
    }
  }
  DestroyWindow(g_host);
  std::printf("%s\n", !countable ? "gdi objects not countable" : grew ? "resources grew" : "resources stable");
  std::fflush(stdout);
  return grew ? 1 : 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 2) return 2;
  const std::string mode = __argv[1];
  int first = 2;
  uintptr_t parent = 0;
  if (mode == "/p" || mode == "/dialog" || mode == "/hosted") {
    if (__argc < 3) return 2;
    parent = static_cast<uintptr_t>(std::strtoull(__argv[2], nullptr, 10));
    first = 3;
  }
  // The run's own settings load happens here first, so that the values given on the
  // command line are the ones the run sees.
  if (mode != "/dialog") kelv::LoadProgramSettings();
  for (int i = first; i < __argc; ++i) ApplySetting(__argv[i]);
  if (mode == "/dialog") return DialogPreviews(static_cast<int>(parent));
  kelv::PresentationListener listener;
  listener.surfaceMoved = SurfaceMoved;
  listener.fellBack = FellBack;
  kelv::SetPresentationListener(listener);
  kelv::SetPresentationObserver(listener);
  if (mode == "/hosted") {
    g_host = CreateHost("Kelvora preview host", 600, 400, 320, 240, WHITE_BRUSH);
    UpdateWindow(g_host);
    SetTimer(nullptr, 0, static_cast<UINT>(parent), HideHost);
    parent = reinterpret_cast<uintptr_t>(g_host);
  }
  // The settings were loaded above; the run does not load them again.
  kelv::SaverRun run(reinterpret_cast<HWND>(parent), kelv::RunOptions{});
  CloseHandle(CreateThread(nullptr, 0, ReportPresentation, &run, 0, nullptr));
  run.Run();
  return 0;
}
