#include "stamp/stamp_run.hpp"

#include <cstdint>

#include "stamp/stamp_masks.hpp"

namespace kelv::stamp {
namespace {

constexpr uint32_t kRevealed = 0xFFFFFFFFu;

// A stamp cell as its offset from the stamp's centre.
struct Cell {
  int8_t dx;
  int8_t dy;
};

// The cells of the mask that are part of the stamp, row by row. Testing only these
// reveals the same pixels in the same order as testing all 10000 cells.
uint32_t CollectCells(const uint8_t* mask, Cell* cells) {
  uint32_t count = 0;
  for (int32_t my = 0; my < kMaskSide; ++my)
    for (int32_t mx = 0; mx < kMaskSide; ++mx)
      if (mask[my * kMaskSide + mx] != 0)
        cells[count++] = Cell{static_cast<int8_t>(mx - kMaskCentre),
                              static_cast<int8_t>(my - kMaskCentre)};
  return count;
}

// The not yet revealed pixels: order[0 .. last] holds them, place[p] is the slot of
// pixel p in `order` or kRevealed. Removing a pixel moves the last one into its slot.
class PixelSet {
public:
  PixelSet(uint32_t* order, uint32_t* place, uint32_t n) : order_(order), place_(place), last_(int64_t{n} - 1) {
    for (uint32_t i = 0; i < n; ++i) order_[i] = place_[i] = i;
  }
  int64_t Last() const { return last_; }
  uint32_t At(uint32_t slot) const { return order_[slot]; }
  bool Contains(uint32_t pixel) const { return place_[pixel] != kRevealed; }
  void Remove(uint32_t pixel) {
    const uint32_t slot = place_[pixel];
    const uint32_t moved = order_[last_];
    order_[slot] = moved;
    place_[moved] = slot;
    place_[pixel] = kRevealed;
    --last_;
  }

private:
  uint32_t* order_;
  uint32_t* place_;
  int64_t last_;
};

}  // namespace

void RunStamp(fx::EffectRun& run, uint8_t* mask, int32_t shape) {
  const int32_t w = run.Width(), h = run.Height();
  const uint64_t n = uint64_t{static_cast<uint32_t>(w)} * static_cast<uint32_t>(h);
  plugin::HeapBlock order, place, cellBlock;
  // Both arrays must be addressable in one block of this process (a 32-bit size_t).
  const uint64_t bytes = n * sizeof(uint32_t);
  if (mask != nullptr && n < kRevealed && bytes <= SIZE_MAX) {
    order = run.Allocate(static_cast<size_t>(bytes));
    place = run.Allocate(static_cast<size_t>(bytes));
    cellBlock = run.Allocate(kMaskBytes * sizeof(Cell));
  }
  if (!order || !place || !cellBlock) {
    // No memory for the run: the transition degrades to a cut.
    run.RevealAll();
    return run.Finish();
  }
  FillMask(mask, shape);
  Cell* cells = cellBlock.As<Cell>();
  const uint32_t cellCount = CollectCells(mask, cells);

  PixelSet set(order.As<uint32_t>(), place.As<uint32_t>(), static_cast<uint32_t>(n));
  const int64_t threshold = static_cast<int64_t>(0.04 * static_cast<double>(n));
  do {
    const uint32_t picked = set.At(run.Random(static_cast<uint32_t>(set.Last())));
    const int32_t x0 = static_cast<int32_t>(picked % static_cast<uint32_t>(w));
    const int32_t y0 = static_cast<int32_t>(picked / static_cast<uint32_t>(w));
    const int64_t before = set.Last();
    for (uint32_t c = 0; c < cellCount; ++c) {
      const int32_t x = x0 + cells[c].dx, y = y0 + cells[c].dy;
      if (x < 0 || y < 0 || x >= w || y >= h) continue;
      const uint32_t p = static_cast<uint32_t>(y) * static_cast<uint32_t>(w) + static_cast<uint32_t>(x);
      if (!set.Contains(p)) continue;
      run.Reveal(x, y);
      set.Remove(p);
    }
    // A stamp whose cells all missed (a shape without its centre cell on a tiny
    // picture) still takes the picked pixel, so that every stamp makes progress.
    if (set.Last() == before) {
      run.Reveal(x0, y0);
      set.Remove(picked);
    }
    const double done = static_cast<double>(static_cast<int64_t>(n) - 1 - set.Last()) / static_cast<double>(n);
    if (run.Step(done)) return;
  } while (set.Last() >= threshold);

  // The last few per cent in one sweep, without Wait; the host presents the screen
  // once more after the run.
  for (int32_t y = 0; y < h; ++y) {
    run.RevealRow(y);
    if (run.Stopped()) return;
  }
}

}  // namespace kelv::stamp
