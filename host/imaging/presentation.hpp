// Presentation: gets the screen image onto the display, either by copying the screen
// bitmap to the saver window (plain path) or through an exclusive full-screen DirectDraw
// surface that the effects draw into directly. Any DirectDraw trouble silently switches
// the run back to the plain path.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/native_handles.hpp"
#include "imaging/bitmap.hpp"

namespace kelv {

// The run presents through DirectDraw. Set by the saver's set-up before
// SetupPresentation; cleared for good by any DirectDraw failure.
inline std::atomic<bool> UseDirectDraw{false};

// Told when the locked surface memory differs from the memory last told (the effect
// modules then get the new pointer and pitch), and when DirectDraw is given up during a
// run (the effects then draw into the screen bitmap again and their timing restarts).
struct PresentationListener {
  void (*surfaceMoved)(void* bits, int32_t pitch) = nullptr;
  void (*fellBack)() = nullptr;
};
void SetPresentationListener(const PresentationListener& listener);

// Remembers the window and the screen bitmap and, when UseDirectDraw is set, takes the
// display in exclusive full-screen mode with a 32-bit off-screen surface holding a copy
// of the screen bitmap. Failures leave the plain path.
void SetupPresentation(NativeWindow window, TBitmap& screen);
// Makes the surface memory available to the effects (DirectDraw path only).
void LockScreen();
void UnlockScreen();
// Shows the current screen image.
void PresentFrame(NativeDC windowDC);
// Shows a finished picture without a transition. `ending` skips the window copy of the
// plain path (the run is stopping).
void ShowPicture(NativeDC windowDC, TBitmap& picture, bool ending);
// The window's paint (plain path only): copies the screen bitmap unless the show thread
// is presenting or releasing at that moment. False when it drew nothing.
bool PaintScreen(NativeDC windowDC);
// Unlocks, returns the display to GDI and releases the surfaces and the DirectDraw object.
void ReleasePresentation();

// The memory the effects draw into: the locked surface's, or null when not locked.
void* LockedSurfaceBits();
int32_t LockedSurfacePitch();
// The off-screen surface is used because the primary surface could not be locked.
bool DrawingToPrimary();

// What to do with the primary surface's pixel format.
struct FormatVerdict {
  enum Kind { Usable, GiveUp, Report } kind = Usable;
  std::string reportText;  // for Report: the text of the exception to raise
};
// Only 32-bit RGB with the masks 0xFF0000, 0xFF00, 0xFF is usable. Another 32-bit format
// is given up silently, except when `draw` (a random integer 0..99) is 0: then it is
// reported so that such displays show up in the crash reports.
FormatVerdict CheckSurfaceFormat(uint32_t bitCount, uint32_t flags, uint32_t redMask,
                                 uint32_t greenMask, uint32_t blueMask, int draw);

}  // namespace kelv
