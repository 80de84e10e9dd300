// "Spiral out" and "Spiral in": a radial segment of the band width turning around the
// centre while its outer end moves by one band per turn.
#include <algorithm>
#include <cmath>

#include "divingfx/diving.hpp"

namespace kelv::divingfx {
namespace {

constexpr double kTurn = 6.283185307179586;

// The band: a tenth of the shorter side (the height of a landscape picture), at least
// one pixel so that the angle steps stay finite on tiny pictures.
int32_t Band(int32_t w, int32_t h) { return std::max(1, std::min(w, h) / 10); }

// The segment at angle theta from radius rc down to rc - b, points outside skipped.
void Segment(fx::EffectRun& run, int32_t cx, int32_t cy, double theta, double rc, int32_t b) {
  const double c = std::cos(theta), s = std::sin(theta);
  for (double rho = rc; rho >= rc - b; rho -= kRadiusStep)
    RevealInside(run, cx + static_cast<int32_t>(c * rho), cy + static_cast<int32_t>(s * rho));
}

}  // namespace

void RunSpiral(fx::EffectRun& run, bool inward) {
  const int32_t w = run.Width(), h = run.Height();
  const int32_t hw = w / 2 - 1, hh = h / 2 - 1;
  const int32_t b = Band(w, h);
  const int32_t rm = static_cast<int32_t>(std::sqrt(static_cast<double>(hw) * hw + static_cast<double>(hh) * hh)) + b;
  double theta = 0.0;
  if (!inward) {
    double base = 0.0, step = (1.0 / b) / std::sqrt(2.0), rc = 0.0;
    for (;;) {
      Segment(run, hw, hh, theta, rc, b);
      theta += step;
      if (theta >= kTurn) {
        base += b;
        theta = 0.0;
        step = (1.0 / (b + base)) / std::sqrt(2.0);
      }
      rc = b * theta / kTurn + base;
      if (rc > rm) break;
      if (run.Step(rc / rm)) return;
    }
  } else {
    double base = rm, step = (1.0 / rm) / std::sqrt(2.0), rc = rm;
    for (;;) {
      Segment(run, hw, hh, theta, rc, b);
      if (theta >= kTurn) {
        base -= b;
        theta = 0.0;
        // The last turn may bring the base to 0 or below; its angle step stays finite.
        step = (1.0 / (base > 0.0 ? base : b)) / std::sqrt(2.0);
      }
      rc = base - b * theta / kTurn;
      theta += step;
      if (rc < 0.0) break;
      if (run.Step(1.0 - rc / rm)) return;
    }
  }
  Complete(run);
}

}  // namespace kelv::divingfx
