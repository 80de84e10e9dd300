// Presentation on Win32: the plain GDI copy and the exclusive full-screen DirectDraw path.
//
// Test seam: the environment variable KELV_DDRAW_LOCK_FAIL, read once by each
// SetupPresentation, makes surface locks fail without asking DirectDraw:
//   "primary"  the primary surface cannot be locked (the off-screen surface is used),
//   "all"      no surface can be locked (the run falls back to the plain path),
//   "lost"     every lock finds its surface lost (restored once, then the plain path).
#include <windows.h>
#include <ddraw.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/exception.hpp"
#include "common/owners_win.hpp"
#include "common/random.hpp"
#include "imaging/presentation.hpp"

namespace kelv {

namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

const GUID kIidDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
constexpr HRESULT kCantLock = static_cast<HRESULT>(0x887601B3);
constexpr HRESULT kSurfaceLost = static_cast<HRESULT>(0x887601C2);

enum class LockSeam { None, Primary, All, Lost };

struct State {
  HWND window = nullptr;
  TBitmap* screen = nullptr;
  win::ComPtr<IDirectDraw2> directDraw;
  win::ComPtr<IDirectDrawSurface> primary;
  win::ComPtr<IDirectDrawSurface> offscreen;
  bool drawToPrimary = true;
  bool locked = false;
  IDirectDrawSurface* lockedSurface = nullptr;  // primary or offscreen while locked
  void* bits = nullptr;
  int32_t pitch = 0;
  void* lastTold = nullptr;
  LockSeam seam = LockSeam::None;
  PresentationListener listener;
  // The show thread presents and releases; the window's paint on the main thread reads
  // the screen bitmap too. The paint only ever tries the lock, so it never waits for the
  // show thread (which may be waiting for the main thread inside DirectDraw).
  std::recursive_mutex lock;
};

State& S() {
  // Never destroyed: the DirectDraw objects are given back by ReleasePresentation alone,
  // never by the process's static clean-up.
  static State& state = *new State;
  return state;
}

// "DDraw.dll" is loaded once, when first needed, and stays loaded for the process.
DirectDrawCreateFn DirectDrawCreateEntry() {
  static DirectDrawCreateFn entry = [] {
    HMODULE lib = LoadLibraryA("DDraw.dll");
    return lib ? reinterpret_cast<DirectDrawCreateFn>(
                     reinterpret_cast<void*>(GetProcAddress(lib, "DirectDrawCreate")))
               : nullptr;
  }();
  return entry;
}

LockSeam ReadLockSeam() {
  const char* value = std::getenv("KELV_DDRAW_LOCK_FAIL");
  if (!value) return LockSeam::None;
  if (std::strcmp(value, "primary") == 0) return LockSeam::Primary;
  if (std::strcmp(value, "all") == 0) return LockSeam::All;
  if (std::strcmp(value, "lost") == 0) return LockSeam::Lost;
  return LockSeam::None;
}

HRESULT LockSurface(IDirectDrawSurface* surface, DDSURFACEDESC& desc) {
  State& s = S();
  if (s.seam == LockSeam::Lost) return kSurfaceLost;
  if (s.seam == LockSeam::All || (s.seam == LockSeam::Primary && surface == s.primary.get())) return kCantLock;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  return surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
}

void ReleaseAll() {
  State& s = S();
  UnlockScreen();
  if (s.directDraw) s.directDraw->FlipToGDISurface();
  // The surfaces go before the DirectDraw object that made them.
  s.offscreen.reset();
  s.primary.reset();
  s.directDraw.reset();
  s.lastTold = nullptr;
}

// Gives DirectDraw up for the rest of the run.
void FallBack() {
  ReleaseAll();
  UseDirectDraw = false;
  if (S().listener.fellBack) S().listener.fellBack();
}

// DirectDraw object, exclusive full-screen mode, primary surface, its pixel format and
// the off-screen surface; false when DirectDraw cannot be used.
bool CreateSurfaces(HWND window, int32_t width, int32_t height) {
  State& s = S();
  DirectDrawCreateFn create = DirectDrawCreateEntry();
  if (!create) return false;
  win::ComPtr<IDirectDraw> first;
  if (FAILED(create(nullptr, first.put(), nullptr)) || !first) return false;
  HRESULT hr = first->QueryInterface(kIidDirectDraw2, reinterpret_cast<void**>(s.directDraw.put()));
  first.reset();  // only the second interface is kept
  if (FAILED(hr) || !s.directDraw) return false;
  if (FAILED(s.directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))) return false;

  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(s.directDraw->CreateSurface(&desc, s.primary.put(), nullptr)) || !s.primary) return false;

  DDPIXELFORMAT format{};
  static_assert(sizeof(DDPIXELFORMAT) == 32);
  format.dwSize = sizeof format;
  if (FAILED(s.primary->GetPixelFormat(&format))) return false;
  const FormatVerdict verdict =
      CheckSurfaceFormat(format.dwRGBBitCount, format.dwFlags, format.dwRBitMask, format.dwGBitMask,
                         format.dwBBitMask, static_cast<int>(RandomReal() * 100));
  if (verdict.kind == FormatVerdict::Report) {
    FallBack();
    throw Exception(verdict.reportText);
  }
  if (verdict.kind == FormatVerdict::GiveUp) return false;

  desc = DDSURFACEDESC{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 32;
  desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
  desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
  desc.ddpfPixelFormat.dwBBitMask = 0xFF;
  if (FAILED(s.directDraw->CreateSurface(&desc, s.offscreen.put(), nullptr)) || !s.offscreen) return false;
  return true;
}

// Copies a GDI bitmap into the off-screen surface through a surface DC.
void CopyToOffscreen(TBitmap& picture) {
  State& s = S();
  HDC dc = nullptr;
  HRESULT hr = s.offscreen->GetDC(&dc);
  if (hr == kSurfaceLost) {
    s.offscreen->Restore();
    hr = s.offscreen->GetDC(&dc);
  }
  if (FAILED(hr) || !dc) return;
  BitBlt(dc, 0, 0, picture.Width, picture.Height, picture.DC, 0, 0, SRCCOPY);
  s.offscreen->ReleaseDC(dc);
}

// The plain path: the screen bitmap copied to the window; false when there is nothing to
// copy or nowhere to copy it to.
bool CopyScreenToWindow(NativeDC windowDC) {
  const TBitmap* screen = S().screen;
  if (!screen || !screen->DC || !windowDC) return false;
  BitBlt(windowDC, 0, 0, screen->Width, screen->Height, screen->DC, 0, 0, SRCCOPY);
  return true;
}

void OffscreenToPrimary() {
  State& s = S();
  HRESULT hr = s.primary->Blt(nullptr, s.offscreen.get(), nullptr, DDBLT_WAIT, nullptr);
  if (hr == kSurfaceLost) {
    s.primary->Restore();
    s.primary->Blt(nullptr, s.offscreen.get(), nullptr, DDBLT_WAIT, nullptr);
  }
}

}  // namespace

void SetPresentationListener(const PresentationListener& listener) { S().listener = listener; }

void SetupPresentation(NativeWindow window, TBitmap& screen) {
  std::lock_guard<std::recursive_mutex> guard(S().lock);
  State& s = S();
  s.window = window;
  s.screen = &screen;
  s.drawToPrimary = true;
  s.locked = false;
  s.lastTold = nullptr;
  s.seam = ReadLockSeam();
  if (!UseDirectDraw) return;
  if (!CreateSurfaces(s.window, screen.Width, screen.Height)) {
    ReleaseAll();
    UseDirectDraw = false;
    return;
  }
  CopyToOffscreen(screen);
}

void LockScreen() {
  std::lock_guard<std::recursive_mutex> guard(S().lock);
  State& s = S();
  if (!UseDirectDraw || s.locked || !s.primary || !s.offscreen) return;
  IDirectDrawSurface* surface = s.drawToPrimary ? s.primary.get() : s.offscreen.get();
  DDSURFACEDESC desc;
  HRESULT hr = LockSurface(surface, desc);
  if (hr == kCantLock && s.drawToPrimary) {
    s.drawToPrimary = false;
    surface = s.offscreen.get();
    hr = LockSurface(surface, desc);
  }
  if (hr == kSurfaceLost) {
    surface->Restore();
    hr = LockSurface(surface, desc);
  }
  if (FAILED(hr)) {
    FallBack();
    return;
  }
  s.locked = true;
  s.lockedSurface = surface;
  s.bits = desc.lpSurface;
  s.pitch = desc.lPitch;
  if (s.bits != s.lastTold) {
    s.lastTold = s.bits;
    if (s.listener.surfaceMoved) s.listener.surfaceMoved(s.bits, s.pitch);
  }
}

void UnlockScreen() {
  std::lock_guard<std::recursive_mutex> guard(S().lock);
  State& s = S();
  if (!s.locked) return;
  if (s.lockedSurface) s.lockedSurface->Unlock(nullptr);
  s.locked = false;
  s.lockedSurface = nullptr;
  s.bits = nullptr;
}

void PresentFrame(NativeDC windowDC) {
  std::lock_guard<std::recursive_mutex> guard(S().lock);
  State& s = S();
  if (!UseDirectDraw) {
    CopyScreenToWindow(windowDC);
    return;
  }
  UnlockScreen();
  if (!s.drawToPrimary && s.primary && s.offscreen) OffscreenToPrimary();
  LockScreen();
}

void ShowPicture(NativeDC windowDC, TBitmap& picture, bool ending) {
  std::lock_guard<std::recursive_mutex> guard(S().lock);
  State& s = S();
  if (UseDirectDraw && s.offscreen && s.primary) {
    UnlockScreen();  // no GDI call may touch a locked surface
    CopyToOffscreen(picture);
    if (s.drawToPrimary) {
      OffscreenToPrimary();
    } else {
      PresentFrame(windowDC);
      UnlockScreen();
    }
    return;
  }
  if (!s.screen) return;
  if (&picture != s.screen) FitInto(*s.screen, picture);
  if (!ending) PresentFrame(windowDC);
}

void ReleasePresentation() {
  std::lock_guard<std::recursive_mutex> guard(S().lock);
  ReleaseAll();
  // The screen bitmap is freed after this; nothing may present it any more.
  S().screen = nullptr;
}

bool PaintScreen(NativeDC windowDC) {
  State& s = S();
  std::unique_lock<std::recursive_mutex> guard(s.lock, std::try_to_lock);
  // Busy: the show thread is presenting (it draws the whole screen) or releasing.
  if (!guard.owns_lock() || UseDirectDraw) return false;
  return CopyScreenToWindow(windowDC);
}

void* LockedSurfaceBits() { return S().locked ? S().bits : nullptr; }
int32_t LockedSurfacePitch() { return S().locked ? S().pitch : 0; }
bool DrawingToPrimary() { return S().drawToPrimary; }

}  // namespace kelv
