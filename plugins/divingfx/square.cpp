// "Square out" and "Square in": rectangle outlines in the picture's proportions.
#include <algorithm>

#include "divingfx/diving.hpp"

namespace kelv::divingfx {
namespace {

// The outline of columns x0 .. x1 and rows y0 .. y1; sides outside the picture are left
// out and the others are cut at its border.
void Outline(fx::EffectRun& run, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
  const int32_t w = run.Width(), h = run.Height();
  const int32_t left = std::max(x0, 0), right = std::min(x1, w - 1);
  const int32_t top = std::max(y0, 0), bottom = std::min(y1, h - 1);
  if (left > right || top > bottom) return;
  if (y0 >= 0 && y0 < h) run.RevealSpan(y0, left, right - left + 1);
  if (y1 != y0 && y1 >= 0 && y1 < h) run.RevealSpan(y1, left, right - left + 1);
  for (int32_t y = top; y <= bottom; ++y) {
    if (x0 >= 0 && x0 < w) run.Reveal(x0, y);
    if (x1 != x0 && x1 >= 0 && x1 < w) run.Reveal(x1, y);
  }
}

}  // namespace

void RunSquare(fx::EffectRun& run, bool inward) {
  const int32_t w = run.Width(), h = run.Height();
  const int32_t hw = w / 2 - 1, hh = h / 2 - 1;
  const bool wide = w > h;
  const int32_t n = wide ? hw : hh;
  for (int32_t i = 0; i <= n; ++i) {
    // The shorter side grows in proportion; a half-size of 0 allows only the one step
    // i = 0, which needs no proportion.
    int32_t dx, dy;
    if (wide) {
      dx = i;
      dy = hw > 0 ? static_cast<int32_t>(int64_t{i} * hh / hw) : 0;
    } else {
      dx = hh > 0 ? static_cast<int32_t>(int64_t{i} * hw / hh) : 0;
      dy = i;
    }
    if (inward)
      Outline(run, dx, w - 1 - dx, dy, h - 1 - dy);
    else
      Outline(run, hw - dx, w / 2 + dx, hh - dy, h / 2 + dy);
    // The last outline's Wait(1) comes after the completion.
    if (i < n && run.Step(static_cast<double>(i) / n)) return;
  }
  if (run.Stopped()) return;
  Complete(run);
}

}  // namespace kelv::divingfx
