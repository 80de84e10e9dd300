// Groups 8 (Chess) and 9 (Rhomb): two passes that reveal the two halves of a pattern of
// squares or diamonds, row by row (vertical variants) or column by column (horizontal).
#include <algorithm>

#include "basicfx/effects.hpp"

namespace kelv::basicfx {
namespace {

bool IsVertical(int32_t effect) { return effect < 2; }
int32_t Divisor(int32_t effect) { return (effect & 1) ? 20 : 10; }

// Position inside a cell folded about the cell's middle.
int32_t Fold(int32_t v, int32_t side) {
  int32_t d = v % side;
  return d > side / 2 ? side - d : d;
}

}  // namespace

void RunChess(fx::EffectRun& run, int32_t effect) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  // On pictures narrower (or lower) than the divisor the side would be 0.
  const int32_t s = std::max(1, (IsVertical(effect) ? w : h) / Divisor(effect));

  if (IsVertical(effect)) {
    auto row = [&](int32_t y, int32_t parity) {
      for (int32_t bx = ((y / s) + parity) & 1; bx * s < w; bx += 2)
        run.RevealSpan(y, bx * s, std::min(s, w - bx * s));
    };
    for (int32_t y = 0; y < h; ++y) {
      row(y, 0);
      if (run.Step(FirstHalf(y, h - 1))) return;
    }
    for (int32_t y = h - 1; y >= 0; --y) {
      row(y, 1);
      if (run.Step(SecondHalf(y, h - 1))) return;
    }
  } else {
    auto column = [&](int32_t x, int32_t parity) {
      for (int32_t by = ((x / s) + parity) & 1; by * s < h; by += 2)
        for (int32_t y = by * s; y < std::min(h, by * s + s); ++y) run.Reveal(x, y);
    };
    for (int32_t x = 0; x < w; ++x) {
      column(x, 0);
      if (run.Step(FirstHalf(x, w - 1))) return;
    }
    for (int32_t x = w - 1; x >= 0; --x) {
      column(x, 1);
      if (run.Step(SecondHalf(x, w - 1))) return;
    }
  }
}

void RunRhomb(fx::EffectRun& run, int32_t effect) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  const double a = static_cast<double>(h) / w;
  int32_t cw, ch;
  if (IsVertical(effect)) {
    cw = std::max(1, w / Divisor(effect));
    ch = std::max(1, static_cast<int32_t>(cw * a));
  } else {
    ch = std::max(1, h / Divisor(effect));
    cw = std::max(1, static_cast<int32_t>(ch / a));
  }
  // Pass 1 reveals dy <= dx * a, pass 2 the rest (dx * a < dy).
  if (IsVertical(effect)) {
    auto row = [&](int32_t y, bool first) {
      const int32_t dy = Fold(y, ch);
      uint32_t* s = run.ScreenRow(y);
      const uint32_t* n = run.NextRow(y);
      for (int32_t x = 0; x < w; ++x)
        if ((dy <= Fold(x, cw) * a) == first) s[x] = n[x];
    };
    for (int32_t y = 0; y < h; ++y) {
      row(y, true);
      if (run.Step(FirstHalf(y, h - 1))) return;
    }
    for (int32_t y = h - 1; y >= 0; --y) {
      row(y, false);
      if (run.Step(SecondHalf(y, h - 1))) return;
    }
  } else {
    auto column = [&](int32_t x, bool first) {
      const double dxa = Fold(x, cw) * a;
      for (int32_t y = 0; y < h; ++y)
        if ((Fold(y, ch) <= dxa) == first) run.Reveal(x, y);
    };
    for (int32_t x = 0; x < w; ++x) {
      column(x, true);
      if (run.Step(FirstHalf(x, w - 1))) return;
    }
    for (int32_t x = w - 1; x >= 0; --x) {
      column(x, false);
      if (run.Step(SecondHalf(x, w - 1))) return;
    }
  }
}

}  // namespace kelv::basicfx
