// Where a picture goes in a target bitmap: the crop window, then either an unscaled
// placement or a scaled one (through the resampler or the system's plain stretch). The
// composition draws whole pictures with it and the incremental resize repeats it for
// pictures that arrive row by row, so that both put every picture in the same place.
#pragma once

#include <cstdint>

namespace kelv {

// "Resize" setting values.
enum : int32_t { ResizeQuick = 0, ResizeGood = 1, ResizeBest = 2 };

struct PicturePlacement {
  // The source window (picture coordinates, display orientation).
  int32_t windowX = 0;
  int32_t windowY = 0;
  int32_t windowW = 0;
  int32_t windowH = 0;
  // Window size / target size per axis, single precision.
  float scaleX = 0.0f;
  float scaleY = 0.0f;
  // The window is exactly the target's size: copied 1:1 to (0, 0).
  bool exactFit = false;
  // Scaled to dest*; otherwise copied unscaled (copyX, copyY, destW, destH of the
  // picture to destX, destY).
  bool scaled = false;
  // Scaled with the resampler (quality Good or Best, not a tiny picture being enlarged,
  // window and destination at least 11 pixels each way); else the plain stretch.
  bool resample = false;
  int32_t filter = 0;
  // Unscaled and larger than the target in at least one direction (only with Shrink
  // off): the visible part is the window's first columns/rows or its centre part.
  bool overflow = false;
  int32_t copyX = 0;
  int32_t copyY = 0;
  int32_t destX = 0;
  int32_t destY = 0;
  int32_t destW = 0;
  int32_t destH = 0;
};

struct PlacementOptions {
  bool shrink = true;
  bool enlarge = false;
  bool randomPos = false;
  bool crop = false;
  int32_t quality = ResizeGood;
};

// The rectangle of the target a placed picture covers; whatever the target has outside
// it is bars. Empty (width or height 0) when nothing is drawn.
struct PlacedArea {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The area of the target of targetW x targetH that a placement draws, clipped to the
// target.
PlacedArea CoveredArea(const PicturePlacement& p, int32_t targetW, int32_t targetH);

// The placement of a picture of pictureW x pictureH (both at least 1) in a target of
// targetW x targetH (both at least 1). `random` gives the uniform reals in [0, 1) of a
// random position (x first, then y); it is called only with randomPos and an unscaled
// placement that has room to move.
PicturePlacement PlacePicture(int32_t targetW, int32_t targetH, const PlacementOptions& options,
                              int32_t pictureW, int32_t pictureH, double (*random)());

}  // namespace kelv
