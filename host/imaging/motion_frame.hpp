// One frame of a moving picture: a window of the kept source (sub-pixel position and
// size) resampled bilinearly into the picture's placed rectangle of the screen. Cheaper
// than the still picture's filters, so that a frame fits in a few milliseconds; the zoom
// never goes beyond 1.15, where bilinear looks no different while the picture moves.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/resample_placement.hpp"
#include "imaging/resampler.hpp"

namespace kelv {

// A window of the source in its pixels; x, y of the top left corner.
struct SourceWindow {
  double x = 0, y = 0, w = 0, h = 0;
};

// The placement of the copy of a placed picture its motion is drawn from: the same
// window of the picture, drawn to (0, 0) `zoom` times as large as the placed picture, so
// that the deepest zoom shows the picture's own detail and not an enlarged still. A
// shrunk picture gets no more than its window's own pixels. False where the still is kept
// instead: a picture placed unscaled or by the plain stretch, one cut off by the target's
// edges, or one the copy would not enlarge.
bool MotionSourcePlacement(const PicturePlacement& placed, int32_t targetW, int32_t targetH, double zoom,
                           PicturePlacement& larger);

// The tables and row buffers a frame needs, kept from frame to frame.
class MotionFrameRenderer {
public:
  // Draws `window` of `source` into `rect` of `screen` (clipped to the screen). A window
  // reaching beyond the source takes the source's edge pixels; every byte of a pixel is
  // interpolated (the fourth one too). A window of exactly the source's size at (0, 0),
  // with the source as large as the rectangle, copies the source unchanged.
  void Draw(PixelView screen, const PlacedArea& rect, const uint32_t* source, int32_t sourceW, int32_t sourceH,
            const SourceWindow& window);

private:
  void HorizontalRow(const uint32_t* sourceRow, uint32_t* out, int32_t width) const;

  std::vector<int32_t> columns_;  // first source column of each target column
  std::vector<uint16_t> xWeights_;  // the second column's weight, 0 ... 128
  std::vector<int16_t> wideWeights_;  // the same, four lanes per column (SSE2)
  std::vector<uint32_t> rowA_, rowB_;
};

}  // namespace kelv
