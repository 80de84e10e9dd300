// The monitors a full-screen run covers: their rectangles in the order the system lists
// them, and which of them is the primary one (the saver window's). Every other monitor gets
// a black cover window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelv {

struct MonitorRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

class MonitorList {
public:
  static constexpr int32_t kMaxMonitors = 11;

  // A monitor as the system enumerates it; those beyond the eleventh are not kept.
  void Add(const MonitorRect& rect, bool primary);
  // Forgets the monitors (the end of a run). The primary's position is kept: it stays
  // valid for the next run of the process until a primary monitor is seen again.
  void Clear() { count_ = 0; }

  int32_t Count() const { return count_; }
  int32_t PrimaryIndex() const { return primaryIndex_; }
  const MonitorRect& Rect(int32_t position) const { return rects_[static_cast<size_t>(position)]; }
  // The positions that get a cover window: all but the primary's.
  std::vector<int32_t> CoverPositions() const;

private:
  std::array<MonitorRect, kMaxMonitors> rects_{};
  int32_t count_ = 0;
  int32_t primaryIndex_ = -1;
};

}  // namespace kelv
