// Contributor lists: for every destination pixel along one axis, the source samples it
// is made of, each with a 16.16 fixed-point weight (65,536 = 1.0) and the byte offset of
// the sample from the start of the row or column being read.
#pragma once

#include <cstdint>
#include <vector>

namespace kelv {

struct TContributor {
  int32_t weight;  // 65,536 = 1.0
  int32_t pixel;   // byte offset of the sample
};

// The samples of one destination pixel.
struct TContributorList {
  int32_t n = 0;
  const TContributor* p = nullptr;
};

// One list per destination index of an axis, kept back to back in one array: list i is
// items[first[i]] .. items[first[i + 1] - 1].
class TContributors {
public:
  int32_t Count() const { return static_cast<int32_t>(first_.empty() ? 0 : first_.size() - 1); }
  TContributorList operator[](int32_t i) const {
    return {first_[i + 1] - first_[i], items_.data() + first_[i]};
  }
  // The largest number of samples any list has.
  int32_t MaxCount() const { return maxCount_; }
  bool Empty() const { return first_.size() <= 1; }

  // The weights again, each split for 16-bit multiply-add units as lo + 128 * hi with
  // lo in -64..63: lo in the low and hi in the high 16 bits. A byte b times the weight is
  // then b * lo + (b * 128) * hi, both products and their sum exact in 32 bits. Only
  // present (Split() true) when every weight's hi fits in 16 bits.
  bool Split() const { return split_; }
  const uint32_t* SplitWeights(int32_t i) const { return splitWeights_.data() + first_[i]; }

  // The arrays behind the lists, for the vector passes: Count() + 1 starts, the items.
  const int32_t* Starts() const { return first_.data(); }
  const TContributor* Items() const { return items_.data(); }
  // Per list, 1 when its samples lie one step apart in order (the vector passes then load
  // them together), 0 where mirroring or a left-out sample breaks the run.
  const uint8_t* Runs() const { return runs_.data(); }
  // The weights as 16-bit numbers, when every one fits (reductions to less than half):
  // two samples then share one multiply-add. Null otherwise.
  // Followed by 8 zeros, so that reading 8 weights from any list's start stays inside.
  const int16_t* NarrowWeights() const { return narrow_.empty() ? nullptr : narrow_.data(); }
  // Bytes from the start of the row or column that samples may be read from: up to the
  // end of the source, (offset + source length) * step.
  int64_t Readable() const { return readable_; }

  // The same lists for samples kept in a ring of rows: each sample of row r (at
  // r * rowBytes) is moved to slot(r) * rowBytes. Runs no longer hold; the readable
  // bytes become `slots` rows.
  template <typename Slot>
  TContributors WithRowsMoved(int64_t rowBytes, int32_t slots, Slot slot) const {
    TContributors moved = *this;
    for (TContributor& c : moved.items_) {
      c.pixel = static_cast<int32_t>(static_cast<int64_t>(slot(c.pixel / rowBytes)) * rowBytes);
    }
    for (uint8_t& run : moved.runs_) run = 0;
    moved.readable_ = static_cast<int64_t>(slots) * rowBytes;
    return moved;
  }

private:
  friend TContributors BuildContributors(int32_t, int32_t, int32_t, int32_t, int32_t, float);
  std::vector<int32_t> first_;
  std::vector<TContributor> items_;
  std::vector<uint32_t> splitWeights_;
  std::vector<uint8_t> runs_;
  std::vector<int16_t> narrow_;
  int64_t readable_ = 0;
  bool split_ = false;
  int32_t maxCount_ = 0;
};

// The source index j mirrored into 0 .. length - 1: j < 0 gives -j, j >= length gives
// 2 * length - j - 1, repeated while the result is still outside (only very short
// sources need a second reflection).
int32_t MirrorIndex(int32_t j, int32_t length);

// The support a caller's value stands for: values above 0 are taken as they are, 0 (and
// anything not above 0) means the filter's own support.
float EffectiveSupport(int32_t filter, float support);

// The lists of one axis: source length S, destination length D, source offset o, byte
// step b (sample pixel = (mirrored j + o) * b), filter index and support (0 = the
// filter's own). Both lengths must be at least 1.
TContributors BuildContributors(int32_t sourceLength, int32_t destLength, int32_t offset,
                                int32_t step, int32_t filter, float support);

}  // namespace kelv
