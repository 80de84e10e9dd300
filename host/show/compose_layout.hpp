// The geometry of a composed screen: how many pictures the next screen shows and where
// each cell lies in the next-picture bitmap.
#pragma once

#include <cstdint>
#include <vector>

namespace kelv {

struct Settings;

// The picture count of a new screen from "Screens", "RandomScreens" and "Random1often".
// Draws one or two random reals for a random count, none for a fixed one.
int32_t ChooseScreenCount(const Settings& settings);

// One cell: inclusive pixel rectangle of the screen.
struct CellRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left + 1; }
  int32_t Height() const { return bottom - top + 1; }
};

// The grid side g of a count laid out as g x g cells (4, 9, ..., 100), or 0.
int32_t GridSide(int32_t count);

// The cells of a screen of width x height for `count` pictures: a g x g grid for the
// square counts from 4 to 100, the top and bottom half for 2, and no cells (the picture
// takes the whole screen) for any other count.
std::vector<CellRect> ScreenCells(int32_t count, int32_t width, int32_t height);

}  // namespace kelv
