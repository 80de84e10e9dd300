#include "saver/monitor_list.hpp"

namespace kelv {

void MonitorList::Add(const MonitorRect& rect, bool primary) {
  if (count_ >= kMaxMonitors) return;
  if (primary) primaryIndex_ = count_;
  rects_[static_cast<size_t>(count_++)] = rect;
}

std::vector<int32_t> MonitorList::CoverPositions() const {
  std::vector<int32_t> positions;
  for (int32_t i = 0; i < count_; ++i)
    if (i != primaryIndex_) positions.push_back(i);
  return positions;
}

}  // namespace kelv
