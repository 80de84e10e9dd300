// The picture tree's folder slots: a node's data names its folder by a slot number (the
// high 16 bits), and the slot names the catalogue entry. Slot 0 is the entry of single
// pictures. The tree build fills the table on its worker while the dialog reads the slots
// of nodes already inserted, so the table never moves in memory. A folder's picture nodes
// are made when its node is first opened; the table remembers which folders have them.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace kelv::ui {

class FolderSlots {
public:
  static constexpr int32_t kMaxSlot = 0xFFFF;

  void Reset() { count_ = 0; entries_[0] = 0; }
  // The next slot, naming `entry`; 0 when the slots are used up.
  uint32_t Add(int32_t entry) {
    const int32_t slot = count_ + 1;
    if (slot > kMaxSlot) return 0;
    entries_[static_cast<size_t>(slot)] = static_cast<uint16_t>(entry);
    filled_[static_cast<size_t>(slot)] = false;
    count_ = slot;
    return static_cast<uint32_t>(slot);
  }
  // The catalogue entry of a slot: 0 for slot 0 and for slots that name nothing.
  int32_t Entry(uint32_t slot) const {
    return slot <= static_cast<uint32_t>(count_.load()) ? entries_[slot] : 0;
  }
  // The slot naming `entry` (a folder), or 0 when none does.
  uint32_t SlotFor(int32_t entry) const {
    if (entry <= 0) return 0;
    const int32_t count = count_;
    for (int32_t s = 1; s <= count; ++s)
      if (entries_[static_cast<size_t>(s)] == entry) return static_cast<uint32_t>(s);
    return 0;
  }
  // Whether the folder node of a slot has had its picture nodes made (dialog thread only).
  bool Filled(uint32_t slot) const { return slot <= kMaxSlot && filled_[slot]; }
  void MarkFilled(uint32_t slot) {
    if (slot <= kMaxSlot) filled_[slot] = true;
  }
  // A folder entry went from the catalogue: its slot names nothing, and the slots of the
  // entries after it follow their entries down by one.
  void RemoveEntry(uint32_t slot) {
    const int32_t entry = Entry(slot);
    if (slot == 0 || entry == 0) return;
    entries_[slot] = 0;
    for (int32_t s = 1; s <= count_; ++s)
      if (entries_[static_cast<size_t>(s)] > entry) --entries_[static_cast<size_t>(s)];
  }

private:
  std::array<uint16_t, kMaxSlot + 1> entries_{};
  std::array<bool, kMaxSlot + 1> filled_{};
  std::atomic<int32_t> count_{0};
};

// A picture node's data: its folder's slot and its number within the entry from 1; 0 for
// the folder node itself.
inline uint32_t PictureNodeData(uint32_t slot, uint32_t number) { return slot << 16 | (number & 0xFFFF); }
inline uint32_t SlotOf(uint32_t data) { return data >> 16; }
inline uint32_t NumberOf(uint32_t data) { return data & 0xFFFF; }

// Each folder node lists at most this many pictures (the catalogue keeps them all).
inline constexpr size_t kMaxPictureNodes = 10000;

}  // namespace kelv::ui
