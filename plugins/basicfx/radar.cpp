// Group 0 (Radar): segments from the centre to the border points, swept clockwise.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "basicfx/effects.hpp"

namespace kelv::basicfx {
namespace {

constexpr double kPi = std::numbers::pi;

// The border points in clockwise order as seen on screen: the top edge left to right,
// the right edge top to bottom, the bottom edge right to left, the left edge bottom to
// top (corners appear on both of their edges). A sweep angle psi runs from 0 at the
// top-left diagonal clockwise; the diagonals cut the turn into the four edge sectors.
class Border {
public:
  Border(int32_t w, int32_t h)
      : w_(w), h_(h), cx_(w / 2), cy_(h / 2), alpha_(std::atan(static_cast<double>(h) / w)) {}

  uint32_t Count() const { return 2u * static_cast<uint32_t>(w_ + h_); }
  int32_t Cx() const { return cx_; }
  int32_t Cy() const { return cy_; }

  void At(uint32_t i, int32_t& x, int32_t& y) const {
    i %= Count();
    const uint32_t w = static_cast<uint32_t>(w_), h = static_cast<uint32_t>(h_);
    if (i < w) {
      x = static_cast<int32_t>(i), y = 0;
    } else if (i < w + h) {
      x = w_ - 1, y = static_cast<int32_t>(i - w);
    } else if (i < 2 * w + h) {
      x = w_ - 1 - static_cast<int32_t>(i - w - h), y = h_ - 1;
    } else {
      x = 0, y = h_ - 1 - static_cast<int32_t>(i - 2 * w - h);
    }
  }

  // The border point where the ray at sweep angle psi (0 <= psi < 2 pi) meets the edge
  // of its sector, clamped into the picture.
  uint32_t IndexAt(double psi) const {
    const double phi = psi - kPi + alpha_;  // screen angle, y downwards
    const double c = std::cos(phi), s = std::sin(phi);
    const uint32_t w = static_cast<uint32_t>(w_), h = static_cast<uint32_t>(h_);
    if (psi < kPi - 2 * alpha_) {  // top edge
      return Clamp(cx_ - cy_ * c / s, w_);
    } else if (psi < kPi) {  // right edge
      return w + Clamp(cy_ + (w_ - 1 - cx_) * s / c, h_);
    } else if (psi < 2 * kPi - 2 * alpha_) {  // bottom edge
      return w + h + (w - 1 - Clamp(cx_ + (h_ - 1 - cy_) * c / s, w_));
    }
    return 2 * w + h + (h - 1 - Clamp(cy_ - cx_ * s / c, h_));  // left edge
  }

  // Sweep angle of a border point, in [0, 2 pi).
  double AngleOf(int32_t x, int32_t y) const {
    double psi = std::atan2(static_cast<double>(y - cy_), static_cast<double>(x - cx_)) + kPi - alpha_;
    psi = std::fmod(psi, 2 * kPi);
    return psi < 0 ? psi + 2 * kPi : psi;
  }

private:
  static uint32_t Clamp(double v, int32_t size) {
    if (!(v >= 0)) return 0;  // also NaN
    return static_cast<uint32_t>(std::min(v, static_cast<double>(size - 1)));
  }

  int32_t w_, h_, cx_, cy_;
  double alpha_;
};

// The segment from the centre to (bx, by), stepping along its longer direction.
void DrawSegment(fx::EffectRun& run, int32_t cx, int32_t cy, int32_t bx, int32_t by) {
  const double m = bx == cx ? 10000.0 : static_cast<double>(by - cy) / (bx - cx);
  if (std::fabs(m) > 1) {
    for (int32_t y = std::min(cy, by); y <= std::max(cy, by); ++y) {
      const int32_t x = cx + static_cast<int32_t>((y - cy) / m);
      if (x >= 0 && x < run.Width()) run.Reveal(x, y);
    }
  } else {
    for (int32_t x = std::min(cx, bx); x <= std::max(cx, bx); ++x) {
      const int32_t y = cy + static_cast<int32_t>((x - cx) * m);
      if (y >= 0 && y < run.Height()) run.Reveal(x, y);
    }
  }
}

}  // namespace

void RunRadar(fx::EffectRun& run, int32_t effect) {
  const Border border(run.Width(), run.Height());
  const bool twin = effect == 1;
  const double total = twin ? kPi : 2 * kPi;
  double start = total * run.RandomReal() - 0.001;
  if (start < 0) start += 2 * kPi;
  const uint32_t first = border.IndexAt(start);
  const uint32_t half = border.Count() / 2;
  const uint32_t steps = twin ? half : border.Count();

  double swept = 0;
  for (uint32_t k = 0; k < steps; ++k) {
    int32_t bx, by;
    border.At(first + k, bx, by);
    DrawSegment(run, border.Cx(), border.Cy(), bx, by);
    if (twin) {
      int32_t ox, oy;
      border.At(first + k + half, ox, oy);
      DrawSegment(run, border.Cx(), border.Cy(), ox, oy);
    }
    // Angle swept so far, kept monotone: the first point may lie a hair before the
    // start angle, the last ones come back round to it.
    double d = border.AngleOf(bx, by) - start;
    if (d < 0) d += 2 * kPi;
    if (k == 0 && d > kPi) d = 0;
    if (d + kPi < swept) d += 2 * kPi;
    swept = std::clamp(d, swept, total);
    if (run.Step(swept / total)) return;
  }
  // The fan of truncated segments can miss single pixels between neighbouring rays;
  // the sweep ends on the complete next picture.
  run.RevealAll();
  run.Step(1.0);
}

}  // namespace kelv::basicfx
