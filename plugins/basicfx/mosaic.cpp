// Group 1 (Mosaic): cells of cw x ch pixels revealed in random order.
#include "basicfx/effects.hpp"

namespace kelv::basicfx {
namespace {

int32_t RandomMosaicSide(fx::EffectRun& run, int32_t size) {
  int32_t side;
  do {
    side = static_cast<int32_t>(run.Random(17)) + 1;
  } while (size % side != 0);
  return side;
}

void MosaicCellSize(fx::EffectRun& run, int32_t effect, int32_t& cw, int32_t& ch) {
  switch (effect) {
    case 0:
      cw = ch = 1;
      break;
    case 1:
      cw = MosaicSide(5, run.Width());
      ch = MosaicSide(5, run.Height());
      break;
    case 2:
      cw = MosaicSide(10, run.Width());
      ch = MosaicSide(10, run.Height());
      break;
    default:
      cw = RandomMosaicSide(run, run.Width());
      ch = RandomMosaicSide(run, run.Height());
      break;
  }
}

}  // namespace

int32_t MosaicSide(int32_t start, int32_t size) {
  int32_t side = start;
  while (side > 1 && size % side != 0) --side;
  return side;
}

void RunMosaic(fx::EffectRun& run, int32_t effect) {
  int32_t cw = 1, ch = 1;
  MosaicCellSize(run, effect, cw, ch);
  const uint32_t columns = static_cast<uint32_t>(run.Width() / cw);
  const uint32_t rows = static_cast<uint32_t>(run.Height() / ch);
  const uint32_t n = columns * rows;
  const uint32_t every = effect == 0 ? 200 : 20;

  plugin::HeapBlock order = run.Allocate(size_t{n} * sizeof(uint32_t));
  if (!order) {
    run.RevealAll();
    return run.Finish();
  }
  uint32_t* p = order.As<uint32_t>();
  for (uint32_t i = 0; i < n; ++i) p[i] = i;

  auto reveal = [&](uint32_t q) {
    const int32_t x = static_cast<int32_t>(q % columns) * cw;
    const int32_t y = static_cast<int32_t>(q / columns) * ch;
    if (cw == 1 && ch == 1) return run.Reveal(x, y);
    for (int32_t r = 0; r < ch; ++r) run.RevealSpan(y + r, x, cw);
  };

  for (uint32_t k = n - 1; k >= 1; --k) {
    const uint32_t i = run.Random(k);
    reveal(p[i]);
    p[i] = p[k];
    const uint32_t k1 = k - 1;
    if (k1 % every == 0 && run.Step(static_cast<double>(n - 1 - k1) / n)) return;
  }
  reveal(p[0]);
  run.Finish();
}

}  // namespace kelv::basicfx
