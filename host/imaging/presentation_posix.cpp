// Native stand-in for presentation: there is no display, so only the screen bitmap's
// content changes.
#include "imaging/presentation.hpp"

namespace kelv {

namespace {
TBitmap* g_screen = nullptr;
}

void SetPresentationListener(const PresentationListener&) {}
void SetupPresentation(NativeWindow, TBitmap& screen) {
  g_screen = &screen;
  UseDirectDraw = false;
}
void LockScreen() {}
void UnlockScreen() {}
void PresentFrame(NativeDC) {}
bool PaintScreen(NativeDC) { return false; }
void ShowPicture(NativeDC, TBitmap& picture, bool) {
  if (g_screen && g_screen != &picture) FitInto(*g_screen, picture);
}
void ReleasePresentation() { g_screen = nullptr; }
void* LockedSurfaceBits() { return nullptr; }
int32_t LockedSurfacePitch() { return 0; }
bool DrawingToPrimary() { return false; }

}  // namespace kelv
