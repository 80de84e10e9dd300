#include "ui/control_registry.hpp"

#include <algorithm>

namespace kelv::ui {

void ControlRegistry::Clear() {
  handles_.fill(nullptr);
  indexById_.fill(0);
  count_ = 0;
}

void ControlRegistry::Register(NativeWindow control, int32_t id) {
  if (count_ >= kCapacity || id < 0 || id > kLargestId) return;
  ++count_;
  handles_[static_cast<size_t>(count_)] = control;
  indexById_[static_cast<size_t>(id)] = static_cast<uint16_t>(count_);
}

NativeWindow ControlRegistry::Find(int32_t id) const {
  if (id < 0 || id > kLargestId) return nullptr;
  const uint16_t index = indexById_[static_cast<size_t>(id)];
  // An index above the count belongs to a modal window that has closed.
  return index != 0 && index <= count_ ? handles_[index] : nullptr;
}

void ControlRegistry::SetCount(int32_t count) { count_ = std::clamp(count, 0, kCapacity); }

void FocusStack::RestoreFocus() const {
  if (focused_) setFocus_(focused_);
}

void FocusStack::Push(ControlRegistry& registry) {
  if (depth_ >= kMaxDepth) return;
  levels_[static_cast<size_t>(depth_)] = {registry.Count(), focused_};
  ++depth_;
  focused_ = nullptr;
}

void FocusStack::Pop(ControlRegistry& registry) {
  if (depth_ <= 0) return;
  --depth_;
  Level& level = levels_[static_cast<size_t>(depth_)];
  registry.SetCount(level.registryCount);
  focused_ = level.focused;
  if (focused_) setFocus_(focused_);
  level = {};
}

void FocusStack::FocusLevel(int32_t depth) const {
  if (depth < 0 || depth >= depth_) return;
  if (NativeWindow control = levels_[static_cast<size_t>(depth)].focused) setFocus_(control);
}

}  // namespace kelv::ui
