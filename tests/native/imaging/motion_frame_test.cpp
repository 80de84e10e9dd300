// A moving picture's frame: only its placed rectangle of the screen changes, the window of
// exactly the source is the source itself, whole-pixel windows give the source's pixels,
// a half-pixel offset mixes neighbours evenly, and a rectangle reaching beyond the screen
// is clipped.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/motion_frame.hpp"

namespace kelv {
namespace {

struct Image {
  int32_t w, h;
  std::vector<uint32_t> px;
  Image(int32_t width, int32_t height, uint32_t fill) : w(width), h(height), px(size_t(width) * height, fill) {}
  uint32_t& At(int32_t x, int32_t y) { return px[size_t(y) * w + x]; }
  PixelView View() { return {reinterpret_cast<uint8_t*>(px.data()), w, h}; }
};

Image Pattern(int32_t w, int32_t h) {
  Image s(w, h, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) s.At(x, y) = uint32_t(x * 7 + y * 13) & 0xFF | uint32_t(x * 3) << 8 & 0xFF00 | 0x80u << 16 | uint32_t(y) << 24;
  return s;
}

TEST(MotionFrame, WritesOnlyItsRectangleAndReproducesWholePixelWindows) {
  struct Case {
    const char* name;
    PlacedArea rect;
    int32_t sw, sh;
    SourceWindow window;
    int32_t offsetX, offsetY;  // the source pixel expected at the rectangle's corner
  };
  const Case cases[] = {
      {"identity", {10, 5, 40, 30}, 40, 30, {0, 0, 40, 30}, 0, 0},
      {"whole-pixel offset in a larger source", {0, 0, 40, 30}, 46, 34, {3, 2, 40, 30}, 3, 2},
      {"clipped at the screen's right and bottom", {50, 40, 40, 30}, 40, 30, {0, 0, 40, 30}, 0, 0},
      {"clipped at the left and top", {-7, -3, 40, 30}, 40, 30, {0, 0, 40, 30}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image screen(64, 48, 0xDEADBEEF);
    Image source = Pattern(c.sw, c.sh);
    MotionFrameRenderer r;
    r.Draw(screen.View(), c.rect, source.px.data(), c.sw, c.sh, c.window);
    for (int32_t y = 0; y < screen.h; ++y)
      for (int32_t x = 0; x < screen.w; ++x) {
        const bool inside = x >= c.rect.left && x < c.rect.left + c.rect.width && y >= c.rect.top &&
                            y < c.rect.top + c.rect.height;
        const uint32_t want =
            inside ? source.At(x - c.rect.left + c.offsetX, y - c.rect.top + c.offsetY) : 0xDEADBEEF;
        ASSERT_EQ(screen.At(x, y), want) << x << "," << y;
      }
  }
}

TEST(MotionFrame, SubPixelWindowsMixNeighboursAndZoomStaysInsideTheSource) {
  // Columns alternate 0 and 200 in every byte: half a pixel to the right gives 100 inside.
  Image source(20, 10, 0);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 20; ++x) source.At(x, y) = x % 2 ? 0xC8C8C8C8u : 0;
  Image screen(19, 10, 0);
  MotionFrameRenderer r;
  r.Draw(screen.View(), {0, 0, 19, 10}, source.px.data(), 20, 10, {0.5, 0, 19, 10});
  for (int32_t x = 0; x < 19; ++x) EXPECT_EQ(screen.At(x, 4), 0x64646464u) << x;

  // A zoomed window of a gradient: every value lies between the window's edge values.
  Image ramp(100, 100, 0);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x) ramp.At(x, y) = uint32_t(x * 2) | uint32_t(y * 2) << 8;
  Image out(100, 100, 0);
  r.Draw(out.View(), {0, 0, 100, 100}, ramp.px.data(), 100, 100, {10.25, 3.5, 100 / 1.15, 100 / 1.15});
  uint32_t lastX = 0;
  for (int32_t x = 0; x < 100; ++x) {
    const uint32_t b = out.At(x, 50) & 0xFF;
    EXPECT_GE(b, 20u);
    EXPECT_LE(b, 198u);
    EXPECT_GE(b, lastX) << "the ramp stays monotone";
    lastX = b;
  }
}

}  // namespace
}  // namespace kelv
