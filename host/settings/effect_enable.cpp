#include "settings/effect_enable.hpp"

#include <algorithm>

namespace kelv {

namespace {

class BitWriter {
public:
  void Put(bool bit) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= static_cast<uint8_t>(1u << (count_ % 8));
    ++count_;
  }
  void PutCount(size_t n) {
    for (int i = 0; i < 4; ++i) Put(((n >> i) & 1) != 0);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
  std::vector<uint8_t> bytes_;
  size_t count_ = 0;
};

class BitReader {
public:
  explicit BitReader(const std::vector<uint8_t>& data) : data_(data) {}
  size_t Left() const { return data_.size() * 8 - pos_; }
  bool Get() {
    bool bit = ((data_[pos_ / 8] >> (pos_ % 8)) & 1) != 0;
    ++pos_;
    return bit;
  }
  unsigned GetCount() {
    unsigned n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<unsigned>(Get()) << i;
    return n;
  }

private:
  const std::vector<uint8_t>& data_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeEffectEnable(const EffectModuleState& module) {
  BitWriter out;
  out.Put(module.enabled);
  for (const EffectGroupState& group : module.groups) {
    if (!group.enabled) {
      out.PutCount(0);
      continue;
    }
    // A group with more effects than a count can describe keeps only its first 14 in the
    // stream; writing more bits than the count announces would shift every later group.
    size_t n = std::min(group.effects.size(), kMaxStoredEffectsPerGroup);
    out.PutCount(n);
    for (size_t i = 0; i < n; ++i) out.Put(group.effects[i]);
  }
  return out.Take();
}

void ApplyEffectEnable(EffectModuleState& module, const std::vector<uint8_t>& data) {
  BitReader in(data);
  if (in.Left() < 1) return;
  module.enabled = in.Get();
  for (EffectGroupState& group : module.groups) {
    // A count cut off by the end of the data is not a count: the group keeps its state.
    if (in.Left() < 4) return;
    unsigned n = in.GetCount();
    if (n == 0) {
      group.enabled = false;
      std::fill(group.effects.begin(), group.effects.end(), false);
      continue;
    }
    group.enabled = true;
    size_t stored = std::min<size_t>(n, kMaxStoredEffectsPerGroup);
    for (size_t i = 0; i < stored; ++i) {
      if (in.Left() < 1) return;
      bool bit = in.Get();
      // Bits for effects the module no longer has are read past, keeping the stream
      // aligned for the next group.
      if (i < group.effects.size()) group.effects[i] = bit;
    }
  }
}

}  // namespace kelv
