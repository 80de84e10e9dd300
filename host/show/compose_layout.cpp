#include "show/compose_layout.hpp"

#include <algorithm>

#include "common/random.hpp"
#include "settings/settings.hpp"

namespace kelv {

int32_t ChooseScreenCount(const Settings& s) {
  if (s.Screens != 0) return s.Screens;
  const int32_t k = std::clamp<int32_t>(s.RandomScreensCount, 0, static_cast<int32_t>(s.RandomScreens.size()));
  // The settings require at least one allowed count; a damaged value falls back to one
  // picture per screen instead of reading outside the list.
  if (k == 0) return 1;
  if (s.Random1often && 10.0 * RandomReal() < 8.0) return s.RandomScreens[0];
  const int64_t index = Round((k - 1 - 0.001) * RandomReal());
  return s.RandomScreens[static_cast<size_t>(std::clamp<int64_t>(index, 0, k - 1))];
}

int32_t GridSide(int32_t count) {
  for (int32_t g = 2; g <= 10; ++g) {
    if (g * g == count) return g;
  }
  return 0;
}

std::vector<CellRect> ScreenCells(int32_t count, int32_t width, int32_t height) {
  std::vector<CellRect> cells;
  // 64-bit products: a screen edge times the grid side stays exact for any bitmap size.
  const int64_t w = width;
  const int64_t h = height;
  if (const int32_t g = GridSide(count)) {
    cells.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const int32_t c = i % g;
      const int32_t r = i / g;
      cells.push_back({static_cast<int32_t>(w * c / g), static_cast<int32_t>(h * r / g),
                       static_cast<int32_t>(w * (c + 1) / g - 1),
                       static_cast<int32_t>(h * (r + 1) / g - 1)});
    }
  } else if (count == 2) {
    for (int32_t i = 0; i < 2; ++i) {
      cells.push_back({0, static_cast<int32_t>(h * i / 2), width - 1,
                       static_cast<int32_t>(h * (i + 1) / 2 - 1)});
    }
  }
  return cells;
}

}  // namespace kelv
