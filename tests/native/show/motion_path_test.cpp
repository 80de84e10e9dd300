// The path of a picture's view while it stays: the view never leaves the picture, starts
// as the whole picture, moves with zero speed at both ends and never turns back (the
// zoom of a zoom-out path turns once, at the middle).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imaging/bitmap.hpp"
#include "show/motion_path.hpp"
#include "show/motion_scene.hpp"

namespace kelv {
namespace {

struct Shape {
  int32_t w, h;
};

std::vector<MotionPath> Paths() {
  std::vector<MotionPath> paths;
  for (bool out : {false, true})
    for (double zoom : {1.0, 1.05, 1.1, kMotionMaxZoom})
      for (double px : {0.0, 0.3, 1.0})
        for (double py : {0.0, 0.5, 1.0}) paths.push_back(MotionPath{zoom, out, px, py});
  // Values from outside the ranges are held to them.
  paths.push_back(MotionPath{3.0, false, -2.0, 7.0});
  paths.push_back(MotionPath{0.5, true, 2.0, -1.0});
  return paths;
}

const Shape kShapes[] = {{1920, 1080}, {1, 1}, {3840, 2160}, {640, 1080}, {1600, 7}, {333, 517}};

TEST(MotionPath, ViewStaysInsideTheSourceAndStartsAsTheWholePicture) {
  for (const Shape& s : kShapes) {
    for (const MotionPath& path : Paths()) {
      const MotionView first = ViewAt(path, 0.0, s.w, s.h);
      EXPECT_EQ(first.x, 0.0);
      EXPECT_EQ(first.y, 0.0);
      EXPECT_EQ(first.w, s.w);
      EXPECT_EQ(first.h, s.h);
      EXPECT_EQ(ViewAt(path, -0.5, s.w, s.h).w, s.w) << "progress before the stay is its start";
      for (int k = 0; k <= 200; ++k) {
        const double t = k / 200.0 * 1.2;  // beyond 1: the stay outlasted its delay
        const MotionView v = ViewAt(path, t, s.w, s.h);
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " zoom " << path.zoom << " t " << t);
        EXPECT_GE(v.x, 0.0);
        EXPECT_GE(v.y, 0.0);
        EXPECT_LE(v.x + v.w, s.w + 1e-9);
        EXPECT_LE(v.y + v.h, s.h + 1e-9);
        // Same zoom on both axes (the picture keeps its shape), never below 1/1.15.
        EXPECT_NEAR(v.w / s.w, v.h / s.h, 1e-12);
        EXPECT_GE(v.w, s.w / kMotionMaxZoom - 1e-9);
      }
    }
  }
}

TEST(MotionPath, EasingHasZeroSpeedAtBothEndsAndProgressNeverTurnsBack) {
  const double h = 1e-6;
  EXPECT_EQ(EaseMotion(0.0), 0.0);
  EXPECT_EQ(EaseMotion(1.0), 1.0);
  EXPECT_LT((EaseMotion(h) - EaseMotion(0)) / h, 1e-5);
  EXPECT_LT((EaseMotion(1) - EaseMotion(1 - h)) / h, 1e-5);
  EXPECT_GT(EaseMotion(0.5) - EaseMotion(0.5 - h), h);  // it does move in between
  for (const MotionPath& path : Paths()) {
    const Shape s{1920, 1080};
    MotionView last = ViewAt(path, 0.0, s.w, s.h);
    double lastZoom = ZoomAt(path, 0.0);
    // Speed at the ends: the view moves by far less than a pixel in the first and last
    // thousandth of the stay.
    const MotionView near0 = ViewAt(path, 1e-3, s.w, s.h);
    const MotionView end = ViewAt(path, 1.0, s.w, s.h);
    const MotionView near1 = ViewAt(path, 1 - 1e-3, s.w, s.h);
    EXPECT_LT(std::abs(near0.x - last.x) + std::abs(near0.w - last.w), 0.01);
    EXPECT_LT(std::abs(near1.x - end.x) + std::abs(near1.y - end.y) + std::abs(near1.w - end.w), 0.01);
    const double mid = ZoomAt(path, 0.5);
    for (int k = 1; k <= 400; ++k) {
      const double t = k / 400.0;
      const MotionView v = ViewAt(path, t, s.w, s.h);
      const double z = ZoomAt(path, t);
      SCOPED_TRACE(testing::Message() << "zoom " << path.zoom << " out " << path.zoomOut << " t " << t);
      if (!path.zoomOut || t <= 0.5) EXPECT_GE(z, lastZoom - 1e-12);
      else EXPECT_LE(z, lastZoom + 1e-12);
      if (path.zoomOut) EXPECT_LE(z, mid + 1e-12);
      // Without the zoom's turn, the view's corner moves one way on each axis.
      if (!path.zoomOut) {
        const double cx = v.x + v.w / 2, lx = last.x + last.w / 2;
        const double cy = v.y + v.h / 2, ly = last.y + last.h / 2;
        const double dirX = std::min(std::max(path.panX, 0.0), 1.0) - 0.5;
        const double dirY = std::min(std::max(path.panY, 0.0), 1.0) - 0.5;
        EXPECT_GE((cx - lx) * dirX, -1e-9);
        EXPECT_GE((cy - ly) * dirY, -1e-9);
      }
      last = v;
      lastZoom = z;
    }
    if (path.zoomOut) EXPECT_NEAR(ZoomAt(path, 1.0), 1.0, 1e-12);
    else EXPECT_NEAR(ZoomAt(path, 1.0), std::min(std::max(path.zoom, 1.0), kMotionMaxZoom), 1e-12);
  }
}

TEST(MotionPath, RandomPathsCoverBothDirectionsAndStayInRange) {
  static uint32_t state = 12345;
  auto next = [] {
    state = state * 1664525u + 1013904223u;
    return state / 4294967296.0;
  };
  int outs = 0;
  for (int i = 0; i < 200; ++i) {
    const MotionPath p = RandomMotionPath(+next);
    EXPECT_GE(p.zoom, 1.05);
    EXPECT_LE(p.zoom, kMotionMaxZoom);
    EXPECT_GE(p.panX, 0.0);
    EXPECT_LT(p.panX, 1.0);
    outs += p.zoomOut;
  }
  EXPECT_GT(outs, 50);
  EXPECT_LT(outs, 150);
}

// A scene's frames: the first is the composed screen to the byte, later ones change only
// the picture's rectangle, and the caption drawn over the picture stays where it was.
TEST(MotionPath, SceneStartsOnTheComposedScreenAndKeepsTheCaptionStill) {
  const int32_t w = 64, h = 48;
  std::vector<uint32_t> screen(size_t(w) * h, 0x00101010);  // bars
  const PlacedArea area{8, 4, 48, 40};
  for (int32_t y = area.top; y < area.top + area.height; ++y)
    for (int32_t x = area.left; x < area.left + area.width; ++x) screen[size_t(y) * w + x] = uint32_t(x * 5) | uint32_t(y * 3) << 8;
  const PixelView view{reinterpret_cast<uint8_t*>(screen.data()), w, h};
  MotionScene scene;
  scene.KeepPicture(view, area);
  // The caption: a white line inside the picture and one in the bar below it.
  for (int32_t x = 20; x < 40; ++x) screen[size_t(40) * w + x] = 0xFFFFFF;
  for (int32_t x = 20; x < 40; ++x) screen[size_t(46) * w + x] = 0xFFFFFF;
  scene.KeepCaption(view);
  ASSERT_TRUE(scene.Kept());
  const std::vector<uint32_t> composed = screen;
  scene.SetPath(MotionPath{kMotionMaxZoom, false, 1.0, 0.0});

  std::vector<uint32_t> frame(size_t(w) * h, 0);
  const PixelView frameView{reinterpret_cast<uint8_t*>(frame.data()), w, h};
  frame = composed;
  scene.Draw(frameView, 0.0);
  EXPECT_EQ(frame, composed);
  scene.Draw(frameView, 0.7);
  int changed = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool inside = x >= area.left && x < area.left + area.width && y >= area.top && y < area.top + area.height;
      const bool caption = (y == 40 || y == 46) && x >= 20 && x < 40;
      if (!inside || caption) ASSERT_EQ(frame[size_t(y) * w + x], composed[size_t(y) * w + x]) << x << "," << y;
      else changed += frame[size_t(y) * w + x] != composed[size_t(y) * w + x];
    }
  EXPECT_GT(changed, area.width * area.height / 2) << "the picture moved";
  EXPECT_EQ(scene.Frames(), 2);

  // With the larger copy the loader made: the first frame is still the composed screen,
  // the deepest zoom shows the copy's own pixels 1:1 (here its top left corner), and the
  // caption stays on top.
  std::shared_ptr<TBitmap> larger = TBitmap::Create(area.width * 9 / 8, area.height * 9 / 8);
  for (int32_t y = 0; y < larger->Height; ++y)
    for (int32_t x = 0; x < larger->Width; ++x) larger->Pixel(x, y) = uint32_t(x * 7) | uint32_t(y * 11) << 16;
  std::vector<uint32_t> still = composed;
  for (int32_t x = 20; x < 40; ++x) still[size_t(40) * w + x] = 0x00404040;  // the picture under the caption
  for (int32_t x = 20; x < 40; ++x) still[size_t(46) * w + x] = 0x00101010;
  MotionScene deep;
  deep.KeepPicture(PixelView{reinterpret_cast<uint8_t*>(still.data()), w, h}, area, larger);
  deep.KeepCaption(view);
  deep.SetPath(MotionPath{1.125, false, 0.0, 0.0});
  EXPECT_EQ(deep.SourceWidth(), larger->Width);
  frame = composed;
  deep.Draw(frameView, 0.0);
  EXPECT_EQ(frame, composed);
  deep.Draw(frameView, 1.0);
  for (int32_t y = 0; y < area.height; ++y)
    for (int32_t x = 0; x < area.width; ++x) {
      const bool caption = area.top + y == 40 && area.left + x >= 20 && area.left + x < 40;
      const uint32_t want = caption ? 0xFFFFFF : larger->Pixel(x, y);
      ASSERT_EQ(frame[size_t(area.top + y) * w + area.left + x], want) << x << "," << y;
    }

  // The stay's progress runs from the first frame to the end of the delay.
  EXPECT_EQ(scene.Progress(1000, 5000), 0.0);
  EXPECT_DOUBLE_EQ(scene.Progress(3000, 5000), 0.5);
  EXPECT_EQ(scene.Progress(9000, 5000), 1.0);
  scene.Release();
  EXPECT_FALSE(scene.Kept());
  // Composing took longer than the delay: the motion is over before it starts.
  EXPECT_EQ(scene.Progress(6000, 5000), 1.0);
}

}  // namespace
}  // namespace kelv
