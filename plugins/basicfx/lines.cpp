// Group 3 (Lines): whole rows, rows with columns, and random straight lines of pixels.
#include <cmath>
#include <numbers>

#include "basicfx/effects.hpp"

namespace kelv::basicfx {
namespace {

// Takes a random remaining entry out of p[0 .. count-1] as the effects draw without
// replacement: i = Random(count - 1), then the last entry moves into its place.
uint32_t DrawWithoutReplacement(fx::EffectRun& run, uint32_t* p, uint32_t& count) {
  const uint32_t k = count - 1;
  const uint32_t i = run.Random(k);
  const uint32_t taken = p[i];
  p[i] = p[k];
  count = k;
  return taken;
}

plugin::HeapBlock Sequence(fx::EffectRun& run, uint32_t n) {
  plugin::HeapBlock b = run.Allocate(size_t{n} * sizeof(uint32_t));
  if (b)
    for (uint32_t i = 0; i < n; ++i) b.As<uint32_t>()[i] = i;
  return b;
}

void RunHorizontal(fx::EffectRun& run) {
  const uint32_t h = static_cast<uint32_t>(run.Height());
  plugin::HeapBlock rows = Sequence(run, h);
  if (!rows) {
    run.RevealAll();
    return run.Finish();
  }
  uint32_t count = h;
  while (count > 0) {
    run.RevealRow(static_cast<int32_t>(DrawWithoutReplacement(run, rows.As<uint32_t>(), count)));
    if (run.Step(static_cast<double>(h - count) / h)) return;
  }
  run.Finish();
}

void RunCross(fx::EffectRun& run) {
  const uint32_t h = static_cast<uint32_t>(run.Height());
  const uint32_t w = static_cast<uint32_t>(run.Width());
  plugin::HeapBlock rows = Sequence(run, h);
  plugin::HeapBlock columns = Sequence(run, w);
  if (!rows || !columns) {
    run.RevealAll();
    return run.Finish();
  }
  // Either all rows or all columns are revealed when the first list runs out, and so
  // is the whole picture.
  uint32_t rowCount = h, columnCount = w;
  while (rowCount > 0 && columnCount > 0) {
    run.RevealRow(static_cast<int32_t>(DrawWithoutReplacement(run, rows.As<uint32_t>(), rowCount)));
    run.RevealColumn(
        static_cast<int32_t>(DrawWithoutReplacement(run, columns.As<uint32_t>(), columnCount)));
    if (run.Step(static_cast<double>(h - rowCount) / h)) return;
  }
  run.Finish();
}

// The remaining pixels as an index array with a map from pixel to its place in it, so
// that any pixel leaves the set in constant time.
class PixelSet {
public:
  static constexpr uint32_t kGone = 0xFFFFFFFFu;

  bool Make(fx::EffectRun& run, uint32_t n) {
    items_ = Sequence(run, n);
    places_ = Sequence(run, n);
    count_ = n;
    return items_ && places_;
  }
  uint32_t Count() const { return count_; }
  uint32_t At(uint32_t i) const { return items_.As<uint32_t>()[i]; }
  bool Contains(uint32_t pixel) const { return places_.As<uint32_t>()[pixel] != kGone; }
  void Remove(uint32_t pixel) {
    uint32_t* items = items_.As<uint32_t>();
    uint32_t* places = places_.As<uint32_t>();
    const uint32_t at = places[pixel];
    const uint32_t last = items[count_ - 1];
    items[at] = last;
    places[last] = at;
    places[pixel] = kGone;
    --count_;
  }

private:
  plugin::HeapBlock items_;
  plugin::HeapBlock places_;
  uint32_t count_ = 0;
};

void RunRandomLines(fx::EffectRun& run) {
  const int32_t w = run.Width();
  const int32_t h = run.Height();
  const uint32_t total = static_cast<uint32_t>(w) * static_cast<uint32_t>(h);
  PixelSet set;
  if (!set.Make(run, total)) {
    run.RevealAll();
    return run.Finish();
  }
  auto take = [&](int32_t x, int32_t y) {
    const uint32_t pixel = static_cast<uint32_t>(y) * static_cast<uint32_t>(w) + static_cast<uint32_t>(x);
    if (set.Contains(pixel)) {
      run.Reveal(x, y);
      set.Remove(pixel);
    }
  };
  auto fraction = [&] { return (static_cast<double>(total) - set.Count() - 1) / total; };

  // Lines until fewer than a tenth of the pixels remain (on pictures under ten pixels
  // the tenth is 0: then until none remains).
  const uint32_t threshold = static_cast<uint32_t>(0.1 * total);
  while (set.Count() > 0 && set.Count() >= threshold) {
    const uint32_t start = set.At(run.Random(set.Count()));
    const int32_t x0 = static_cast<int32_t>(start % static_cast<uint32_t>(w));
    const int32_t y0 = static_cast<int32_t>(start / static_cast<uint32_t>(w));
    const double angle = std::numbers::pi * run.RandomReal();
    double m = std::tan(angle);
    if (std::fabs(angle - std::numbers::pi / 2) <= 0.001) m = 10000;
    if (std::fabs(m) > 10000) m = 10000;
    if (std::fabs(m) < 0.0001) m = 0.0001;
    if (std::fabs(m) > 1) {
      for (int32_t y = 0; y < h; ++y) {
        const int32_t x = x0 + static_cast<int32_t>((y - y0) / m);
        if (x >= 0 && x < w) take(x, y);
      }
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const int32_t y = y0 + static_cast<int32_t>((x - x0) * m);
        if (y >= 0 && y < h) take(x, y);
      }
    }
    if (run.Step(fraction())) return;
  }
  uint32_t revealed = 0;
  while (set.Count() > 0) {
    const uint32_t pixel = set.At(run.Random(set.Count()));
    run.Reveal(static_cast<int32_t>(pixel % static_cast<uint32_t>(w)),
               static_cast<int32_t>(pixel / static_cast<uint32_t>(w)));
    set.Remove(pixel);
    if (++revealed % 500 == 0 && run.Step(fraction())) return;
  }
  run.Finish();
}

}  // namespace

void RunLines(fx::EffectRun& run, int32_t effect) {
  if (effect == 0) return RunHorizontal(run);
  if (effect == 1) return RunCross(run);
  RunRandomLines(run);
}

}  // namespace kelv::basicfx
