// The window's paint on the main thread against the show thread's presentation: the paint
// draws the screen bitmap while a run presents it, nothing once the run released it, and
// never a bitmap that is being freed.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "imaging/bitmap.hpp"
#include "imaging/presentation.hpp"

namespace kelv {
namespace {

TEST(PresentationWin, PaintAndReleaseExcludeEachOther) {
  UseDirectDraw = false;
  HDC windowDC = CreateCompatibleDC(nullptr);
  HBITMAP canvas = CreateCompatibleBitmap(windowDC, 64, 64);
  HGDIOBJ old = SelectObject(windowDC, canvas);

  std::unique_ptr<TBitmap> screen = TBitmap::Create(64, 64);
  SetupPresentation(nullptr, *screen);
  EXPECT_TRUE(PaintScreen(windowDC));
  ReleasePresentation();
  EXPECT_FALSE(PaintScreen(windowDC));  // the bitmap is about to be freed
  screen.reset();

  // The show thread sets up, presents and releases runs while the main thread paints.
  std::atomic<bool> done{false};
  std::thread show([&] {
    for (int run = 0; run < 300; ++run) {
      std::unique_ptr<TBitmap> bitmap = TBitmap::Create(64, 64);
      SetupPresentation(nullptr, *bitmap);
      PresentFrame(windowDC);
      ReleasePresentation();
      bitmap.reset();
    }
    done = true;
  });
  int paints = 0;
  while (!done) paints += PaintScreen(windowDC) ? 1 : 0;
  show.join();
  EXPECT_GE(paints, 0);
  EXPECT_FALSE(PaintScreen(windowDC));

  SelectObject(windowDC, old);
  DeleteObject(canvas);
  DeleteDC(windowDC);
}

}  // namespace
}  // namespace kelv
