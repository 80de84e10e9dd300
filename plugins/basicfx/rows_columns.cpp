// Groups 2 (Wipe), 5 (Veil) and 6 (Interlace): effects that work a row or a column per
// step and call Wait after each.
#include "basicfx/effects.hpp"

namespace kelv::basicfx {
namespace {

using fx::StepFraction;

// 1 - i / n, with a single step (n = 0) complete at once.
double Remaining(double i, double n) { return n > 0 ? 1.0 - i / n : 1.0; }


}  // namespace

void RunWipe(fx::EffectRun& run, int32_t effect) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  switch (effect) {
    case 0:  // Top-Bottom
      for (int32_t y = 0; y < h; ++y) {
        run.RevealRow(y);
        if (run.Step(StepFraction(y, h - 1))) return;
      }
      break;
    case 1:  // Bottom-Top
      for (int32_t y = h - 1; y >= 0; --y) {
        run.RevealRow(y);
        if (run.Step(Remaining(y, h - 1))) return;
      }
      break;
    case 2:  // Left-Right
      for (int32_t x = 0; x < w; ++x) {
        run.RevealColumn(x);
        if (run.Step(StepFraction(x, w - 1))) return;
      }
      break;
    default:  // Right-Left
      for (int32_t x = w - 1; x >= 0; --x) {
        run.RevealColumn(x);
        if (run.Step(Remaining(x, w - 1))) return;
      }
      break;
  }
}

// Two passes over the halves of a checkerboard of single pixels. A row (or column) left
// over by an odd size is revealed in the second pass, so the run ends on the whole picture.
void RunVeil(fx::EffectRun& run, int32_t effect) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  if (effect == 0) {  // Left Right: column by column
    for (int32_t x = 0; x < w; ++x) {
      for (int32_t y = x & 1; y < (h / 2) * 2; y += 2) run.Reveal(x, y);
      if (run.Step(FirstHalf(x, w - 1))) return;
    }
    for (int32_t x = w - 1; x >= 0; --x) {
      for (int32_t y = 1 - (x & 1); y < (h / 2) * 2; y += 2) run.Reveal(x, y);
      if (h & 1) run.Reveal(x, h - 1);
      if (run.Step(SecondHalf(x, w - 1))) return;
    }
  } else {  // Top Bottom: row by row
    for (int32_t y = 0; y < h; ++y) {
      uint32_t* s = run.ScreenRow(y);
      const uint32_t* n = run.NextRow(y);
      for (int32_t x = y & 1; x < (w / 2) * 2; x += 2) s[x] = n[x];
      if (run.Step(FirstHalf(y, h - 1))) return;
    }
    for (int32_t y = h - 1; y >= 0; --y) {
      uint32_t* s = run.ScreenRow(y);
      const uint32_t* n = run.NextRow(y);
      for (int32_t x = 1 - (y & 1); x < (w / 2) * 2; x += 2) s[x] = n[x];
      if (w & 1) s[w - 1] = n[w - 1];
      if (run.Step(SecondHalf(y, h - 1))) return;
    }
  }
}

// Rows (or columns) in pairs fill from opposite ends; with an odd size the last row (or
// column) fills along with the even ones.
void RunInterlace(fx::EffectRun& run, int32_t effect) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  if (effect == 0) {  // Horizontal
    for (int32_t x = 0; x < w; ++x) {
      for (int32_t i = 0; i < h / 2; ++i) {
        run.Reveal(x, 2 * i);
        run.Reveal(w - 1 - x, 2 * i + 1);
      }
      if (h & 1) run.Reveal(x, h - 1);
      if (run.Step(StepFraction(x, w - 1))) return;
    }
  } else {  // Vertical
    for (int32_t y = 0; y < h; ++y) {
      uint32_t* top = run.ScreenRow(y);
      const uint32_t* nextTop = run.NextRow(y);
      uint32_t* bottom = run.ScreenRow(h - 1 - y);
      const uint32_t* nextBottom = run.NextRow(h - 1 - y);
      for (int32_t i = 0; i < w / 2; ++i) {
        top[2 * i] = nextTop[2 * i];
        bottom[2 * i + 1] = nextBottom[2 * i + 1];
      }
      if (w & 1) top[w - 1] = nextTop[w - 1];
      if (run.Step(StepFraction(y, h - 1))) return;
    }
  }
}

}  // namespace kelv::basicfx
