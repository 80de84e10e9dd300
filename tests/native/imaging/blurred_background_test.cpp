// The blurred background in a picture's bars: a solid picture gives its own colour,
// darkened, everywhere around it; the background is the picture enlarged to cover the
// cell (its centre band, not the whole picture squeezed in), has no hard edges, and the
// picture's own pixels stay exactly as they were placed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/blurred_background.hpp"

namespace kelv {
namespace {

struct Cell {
  int32_t w, h;
  std::vector<uint32_t> px;  // blue, green, red, 0
  Cell(int32_t width, int32_t height) : w(width), h(height), px(size_t(width) * height, 0) {}
  uint32_t& At(int32_t x, int32_t y) { return px[size_t(y) * w + x]; }
  PixelView View() { return {reinterpret_cast<uint8_t*>(px.data()), w, h}; }
  bool Inside(const PlacedArea& a, int32_t x, int32_t y) const {
    return x >= a.left && x < a.left + a.width && y >= a.top && y < a.top + a.height;
  }
  template <class F>
  void Paint(const PlacedArea& a, F colour) {
    for (int32_t y = a.top; y < a.top + a.height; ++y)
      for (int32_t x = a.left; x < a.left + a.width; ++x) At(x, y) = colour(x - a.left, y - a.top);
  }
};

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return b | g << 8 | r << 16; }
uint32_t Shaded(uint32_t c) { return (c * kBackgroundShade + 128) / 256; }
uint32_t Shaded(uint32_t r, uint32_t g, uint32_t b) { return Rgb(Shaded(r), Shaded(g), Shaded(b)); }
int Channel(uint32_t p, int c) { return static_cast<int>(p >> (8 * c) & 0xFF); }

TEST(BlurredBackground, SolidPictureGivesItsOwnColourDarkenedAllAround) {
  struct Case {
    int32_t w, h;
    PlacedArea area;
  };
  const Case cases[] = {
      {192, 108, {58, 0, 76, 108}},   // portrait on a landscape cell: bars left and right
      {108, 192, {0, 66, 108, 60}},   // landscape on a portrait cell: bars above and below
      {200, 150, {70, 50, 60, 45}},   // a small picture in the middle: bars all around
      {200, 150, {0, 0, 100, 150}},   // placed at the cell's left edge
      {200, 150, {131, 97, 1, 1}},    // one pixel
      {3, 2, {1, 0, 1, 2}},           // a cell smaller than one small pixel
      {1367, 769, {400, 0, 567, 769}},  // odd sizes
  };
  const uint32_t colours[][3] = {{200, 100, 40}, {255, 255, 255}, {1, 2, 3}, {0, 0, 0}};
  for (const Case& c : cases) {
    for (const auto& rgb : colours) {
      Cell cell(c.w, c.h);
      const uint32_t colour = Rgb(rgb[0], rgb[1], rgb[2]);
      cell.Paint(c.area, [&](int32_t, int32_t) { return colour; });
      DrawBlurredBackground(cell.View(), c.area);
      const uint32_t want = Shaded(rgb[0], rgb[1], rgb[2]);
      for (int32_t y = 0; y < c.h; ++y)
        for (int32_t x = 0; x < c.w; ++x)
          ASSERT_EQ(cell.At(x, y), cell.Inside(c.area, x, y) ? colour : want)
              << c.w << "x" << c.h << " at " << x << "," << y << " colour " << std::hex << colour;
    }
  }
}

TEST(BlurredBackground, CoversTheCellSmoothlyAndLeavesThePictureAlone) {
  // A portrait picture in a landscape cell (bars left and right). Enlarged to cover the
  // 960 x 540 cell, its 304 columns become the cell's width and only its middle 171 rows
  // show: the top quarter (green) lies outside that band and must not show, the left
  // half is red and the right half blue, and inside the picture there is noise with hard
  // edges.
  const PlacedArea area{328, 0, 304, 540};
  Cell cell(960, 540);
  std::mt19937 gen(5);
  cell.Paint(area, [&](int32_t x, int32_t y) {
    if (y < 135) return Rgb(0, 255, 0);
    if (y >= 200 && y < 340 && x >= 100 && x < 200) return static_cast<uint32_t>(gen() & 0x00FF00FF);
    return x < 152 ? Rgb(220, 0, 0) : Rgb(0, 0, 220);
  });
  const std::vector<uint32_t> placed = cell.px;
  DrawBlurredBackground(cell.View(), area);

  int steepest = 0;
  for (int32_t y = 0; y < cell.h; ++y) {
    for (int32_t x = 0; x < cell.w; ++x) {
      const uint32_t p = cell.At(x, y);
      if (cell.Inside(area, x, y)) {
        ASSERT_EQ(p, placed[size_t(y) * cell.w + x]) << "picture pixel " << x << "," << y;
        continue;
      }
      ASSERT_EQ(Channel(p, 1), 0) << "green from outside the covering band at " << x << "," << y;
      ASSERT_EQ(p >> 24, 0u);
      // Neighbours in the background differ by little: no hard edge anywhere.
      for (auto [nx, ny] : {std::pair{x + 1, y}, std::pair{x, y + 1}}) {
        if (nx >= cell.w || ny >= cell.h || cell.Inside(area, nx, ny)) continue;
        for (int c = 0; c < 3; ++c) steepest = std::max(steepest, std::abs(Channel(p, c) - Channel(cell.At(nx, ny), c)));
      }
    }
  }
  EXPECT_LE(steepest, 3);
  // Far from the noise each half shows on its own side, darkened (a picture squeezed
  // in, or mirrored, would put other colours there).
  EXPECT_EQ(cell.At(5, 270), Shaded(220, 0, 0));
  EXPECT_EQ(cell.At(5, 3), Shaded(220, 0, 0));
  EXPECT_EQ(cell.At(954, 270), Shaded(0, 0, 220));
  EXPECT_EQ(cell.At(954, 536), Shaded(0, 0, 220));
}

TEST(BlurredBackground, NothingToDoWithoutBars) {
  Cell cell(64, 48);
  std::mt19937 gen(9);
  for (uint32_t& p : cell.px) p = gen() & 0x00FFFFFF;
  const std::vector<uint32_t> before = cell.px;
  for (const PlacedArea& a : {PlacedArea{0, 0, 64, 48}, PlacedArea{-5, -5, 80, 60}, PlacedArea{0, 0, 0, 48},
                              PlacedArea{10, 10, 20, 0}, PlacedArea{70, 0, 10, 48}}) {
    DrawBlurredBackground(cell.View(), a);
    ASSERT_EQ(cell.px, before) << a.left << "," << a.top << " " << a.width << "x" << a.height;
  }
  DrawBlurredBackground(PixelView{}, PlacedArea{0, 0, 1, 1});
}

}  // namespace
}  // namespace kelv
