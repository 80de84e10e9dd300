#include "show/motion_path.hpp"

#include <algorithm>

namespace kelv {

namespace {

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

}  // namespace

MotionPath RandomMotionPath(double (*random)()) {
  MotionPath p;
  p.zoomOut = random() < 0.5;
  p.zoom = 1.05 + (kMotionMaxZoom - 1.05) * random();
  p.panX = random();
  p.panY = random();
  return p;
}

double EaseMotion(double progress) {
  const double t = Clamp01(progress);
  return t * t * (3.0 - 2.0 * t);
}

double ZoomAt(const MotionPath& path, double progress) {
  const double e = EaseMotion(progress);
  const double zoom = std::clamp(path.zoom, 1.0, kMotionMaxZoom);
  // A stay starts on the composed still (zoom 1), so zooming out means zooming in first:
  // the zoom peaks at the middle and comes back to 1 by the end, at zero speed there too.
  const double amount = path.zoomOut ? 4.0 * e * (1.0 - e) : e;
  return 1.0 + (zoom - 1.0) * amount;
}

MotionView ViewAt(const MotionPath& path, double progress, int32_t sourceW, int32_t sourceH) {
  const double e = EaseMotion(progress);
  const double size = 1.0 / ZoomAt(path, progress);  // the view's share of each side
  // Where the view sits within the room the zoom leaves (0: left or top, 1: right or
  // bottom): from the centre toward the pan point.
  const double ax = 0.5 + (Clamp01(path.panX) - 0.5) * e;
  const double ay = 0.5 + (Clamp01(path.panY) - 0.5) * e;
  MotionView v;
  v.w = sourceW * size;
  v.h = sourceH * size;
  v.x = (sourceW - v.w) * ax;
  v.y = (sourceH - v.h) * ay;
  return v;
}

}  // namespace kelv
