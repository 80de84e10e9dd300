// Layout of the dialogs: positions and sizes are given in 96-dpi units and scaled to the
// screen's logical dpi, rounded to the nearest pixel with ties to even (112.5 gives 112).
#pragma once

#include <cstdint>
#include <span>

namespace kelv::ui {

// round(value × dpi / 96), ties to even.
int32_t ScaleToScreenAt(int32_t value, int32_t dpi);
// round(value × 96 / dpi), ties to even; a dpi of 0 or less leaves the value alone.
int32_t ScaleTo96At(int32_t value, int32_t dpi);

// A control's rectangle in its parent's pixels.
struct PixelRect {
  int32_t left, top, right, bottom;
};

// How far to the right a control whose caption does not fit its box may grow: up to the
// nearest window beside it (one that shares rows with it and starts right of the box's
// middle), less `gap`, and never past `parentRight`. Windows that start further left
// overlap the box itself: they take turns with it by design (they are not shown together)
// and do not limit it. The answer is never left of the box's own right edge: the box
// keeps its place and at least its size.
int32_t CaptionRightLimit(const PixelRect& box, std::span<const PixelRect> others, int32_t parentRight,
                          int32_t gap);

}  // namespace kelv::ui
