#include "show/picture_deal.hpp"

#include <algorithm>
#include <set>

namespace kelv {

void PictureDeal::Reset(int32_t monitors) {
  shown_.assign(static_cast<size_t>(std::max(monitors, 0)), {});
  prepared_.assign(shown_.size(), {});
  composing_ = -1;
}

void PictureDeal::BeginScreen(int32_t monitor) {
  composing_ = monitor >= 0 && monitor < Monitors() ? monitor : -1;
  if (composing_ >= 0) prepared_[static_cast<size_t>(composing_)].clear();
}

void PictureDeal::Dealt(int32_t picture) {
  if (composing_ >= 0) prepared_[static_cast<size_t>(composing_)].push_back(picture);
}

void PictureDeal::Shown(int32_t monitor) {
  if (monitor >= 0 && monitor < Monitors()) shown_[static_cast<size_t>(monitor)] = prepared_[static_cast<size_t>(monitor)];
}

void PictureDeal::PictureLeft(int32_t index) {
  for (auto* lists : {&shown_, &prepared_}) {
    for (std::vector<int32_t>& list : *lists) {
      list.erase(std::remove(list.begin(), list.end(), index), list.end());
      for (int32_t& p : list)
        if (p > index) --p;
    }
  }
}

bool PictureDeal::Avoid(int32_t picture, int32_t count) const {
  std::set<int32_t> prepared, both;
  for (int32_t m = 0; m < Monitors(); ++m) {
    if (m == composing_) continue;
    for (int32_t p : prepared_[static_cast<size_t>(m)]) {
      prepared.insert(p);
      both.insert(p);
    }
    for (int32_t p : shown_[static_cast<size_t>(m)]) both.insert(p);
  }
  if (static_cast<int32_t>(both.size()) < count) return both.count(picture) != 0;
  if (static_cast<int32_t>(prepared.size()) < count) return prepared.count(picture) != 0;
  return false;
}

}  // namespace kelv
