// The path a still picture's view takes while it stays on the screen with "Motion" on: a
// slow zoom of up to 1.15 together with a pan toward a random point, eased at both ends.
// The view is a rectangle inside the picture's placed rectangle (in the kept source's
// pixels), so no bar appears where the still picture had none and no picture edge comes
// into view; at progress 0 it is the whole picture, so the first frame of a stay is the
// composed screen itself.
#pragma once

#include <cstdint>

namespace kelv {

inline constexpr double kMotionMaxZoom = 1.15;

// One picture's path, drawn once per stay.
struct MotionPath {
  double zoom = 1.0;     // the largest zoom of the stay, 1 ... kMotionMaxZoom
  bool zoomOut = false;  // out: the zoom comes back to 1 by the end of the stay
  double panX = 0.5;     // the point the view drifts toward, 0 ... 1 across the picture
  double panY = 0.5;
};

// The part of the source (sourceW x sourceH pixels) the screen shows; x, y of its top
// left corner, all in source pixels (fractions: sub-pixel positions).
struct MotionView {
  double x = 0, y = 0, w = 0, h = 0;
};

// A path from the process's generator: a zoom in or out, a zoom between 1.05 and the
// largest one (a smaller one would barely move) and a point anywhere in the picture.
MotionPath RandomMotionPath(double (*random)());

// Progress 0 ... 1 eased: zero speed at both ends, rising in between (smoothstep).
double EaseMotion(double progress);

// The zoom at `progress` (clamped to 0 ... 1).
double ZoomAt(const MotionPath& path, double progress);

// The view of the source at `progress` (clamped to 0 ... 1); always inside the source.
MotionView ViewAt(const MotionPath& path, double progress, int32_t sourceW, int32_t sourceH);

}  // namespace kelv
