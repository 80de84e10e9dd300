// "Circle" and "Random Circle", out and in: rings of growing or shrinking radius in steps
// of 1/sqrt(2), each drawn as eight symmetric arcs of an octant.
#include <algorithm>
#include <cmath>

#include "divingfx/diving.hpp"

namespace kelv::divingfx {
namespace {

// The points (i, j) of the octant 0 <= i <= r / sqrt(2), j = trunc(sqrt(r^2 - i^2)).
template <class Plot>
void Octant(double r, Plot plot) {
  const int32_t last = static_cast<int32_t>(r / std::sqrt(2.0));
  for (int32_t i = 0; i <= last; ++i) {
    const int32_t j = i < r ? static_cast<int32_t>(std::sqrt(r * r - static_cast<double>(i) * i)) : 0;
    plot(i, j);
  }
}

// Runs the radius from 0 to rm ("out") or from rm to 0 ("in"), drawing `ring` for each
// radius and calling Wait after it. False when the stop flag ended the run.
template <class Ring>
bool Rings(fx::EffectRun& run, bool inward, int32_t rm, Ring ring) {
  if (!inward) {
    for (double r = 0.0;;) {
      ring(r);
      r += kRadiusStep;
      if (r > rm) return true;
      if (run.Step(r / rm)) return false;
    }
  }
  for (double r = rm;;) {
    ring(r);
    if (r <= 0.0) return true;
    r = std::max(0.0, r - kRadiusStep);
    if (run.Step(1.0 - r / rm)) return false;
  }
}

int32_t Distance(int32_t dx, int32_t dy) {
  return static_cast<int32_t>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));
}

}  // namespace

// Centred rings: the left and upper halves around (hw, hh), the right and lower halves
// mirrored about W div 2 and H div 2. Each arc point is drawn only where both of its
// offsets fit their half-size, so the rings work on every aspect (a picture that is not
// wider than high included) and never leave the picture.
void RunCircle(fx::EffectRun& run, bool inward) {
  const int32_t w = run.Width(), h = run.Height();
  const int32_t hw = w / 2 - 1, hh = h / 2 - 1;
  const int32_t mx = w / 2, my = h / 2;
  const int32_t rm = Distance(hw, hh);
  const bool done = Rings(run, inward, rm, [&](double r) {
    Octant(r, [&](int32_t i, int32_t j) {
      if (i <= hw && j <= hh) {
        run.Reveal(hw - i, hh - j);
        run.Reveal(mx + i, hh - j);
        run.Reveal(hw - i, my + j);
        run.Reveal(mx + i, my + j);
      }
      if (j <= hw && i <= hh) {
        run.Reveal(hw - j, hh - i);
        run.Reveal(mx + j, hh - i);
        run.Reveal(hw - j, my + i);
        run.Reveal(mx + j, my + i);
      }
    });
  });
  if (done) Complete(run);
}

// Rings around a random point (x0, y0), the mirrored halves starting at x0 + 1 and
// y0 + 1, up to the distance of the farthest corner; points outside are skipped.
void RunRandomCircle(fx::EffectRun& run, bool inward) {
  const int32_t w = run.Width(), h = run.Height();
  const int32_t x0 = static_cast<int32_t>((w - 1) * run.RandomReal());
  const int32_t y0 = static_cast<int32_t>((h - 1) * run.RandomReal());
  const int32_t left = x0, right = w - 1 - x0, top = y0, bottom = h - 1 - y0;
  const int32_t rm = std::max({Distance(left, top), Distance(right, top),
                               Distance(left, bottom), Distance(right, bottom)});
  const bool done = Rings(run, inward, rm, [&](double r) {
    Octant(r, [&](int32_t i, int32_t j) {
      RevealInside(run, x0 - i, y0 - j);
      RevealInside(run, x0 + 1 + i, y0 - j);
      RevealInside(run, x0 - i, y0 + 1 + j);
      RevealInside(run, x0 + 1 + i, y0 + 1 + j);
      RevealInside(run, x0 - j, y0 - i);
      RevealInside(run, x0 + 1 + j, y0 - i);
      RevealInside(run, x0 - j, y0 + 1 + i);
      RevealInside(run, x0 + 1 + j, y0 + 1 + i);
    });
  });
  if (done) Complete(run);
}

}  // namespace kelv::divingfx
