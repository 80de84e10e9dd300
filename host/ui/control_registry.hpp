// The dialogs' bookkeeping of their controls: the registry that finds a control by its id,
// and the focus stack that lets a modal window register its controls after its owner's and
// give the owner its registrations and focus back when it closes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "common/native_handles.hpp"

namespace kelv::ui {

class ControlRegistry {
public:
  static constexpr int32_t kCapacity = 200;
  static constexpr int32_t kLargestId = 200;

  // Empties the table of ids and the list.
  void Clear();
  // Appends the control; its id then names it (the last of several controls with one id).
  // A full list or an id outside 0..200 records nothing.
  void Register(NativeWindow control, int32_t id);
  // The control last registered under the id among those still counted, or null.
  NativeWindow Find(int32_t id) const;

  int32_t Count() const { return count_; }
  // Forgets the controls registered after the first `count` (a modal window's).
  void SetCount(int32_t count);

private:
  std::array<NativeWindow, kCapacity + 1> handles_{};  // 1-based
  std::array<uint16_t, kLargestId + 1> indexById_{};   // 0: none
  int32_t count_ = 0;
};

class FocusStack {
public:
  static constexpr int32_t kMaxDepth = 10;
  using SetFocusFn = std::function<void(NativeWindow)>;

  explicit FocusStack(SetFocusFn setFocus) : setFocus_(std::move(setFocus)) {}

  // The control that has the dialog's focus (FocusControl, and buttons as they get it).
  NativeWindow Focused() const { return focused_; }
  void SetFocused(NativeWindow control) { focused_ = control; }
  // Gives the focus to the focused control again (a dialog window receiving focus).
  void RestoreFocus() const;

  // Before a modal window builds its controls: keeps the registry count and the focused
  // control of this level and starts the next one with no focused control.
  void Push(ControlRegistry& registry);
  // When a modal window closes: drops its registrations and gives the focus back. Does
  // nothing at depth 0.
  void Pop(ControlRegistry& registry);
  // Focus to the control kept at a level, when there is one.
  void FocusLevel(int32_t depth) const;
  int32_t Depth() const { return depth_; }

private:
  struct Level {
    int32_t registryCount = 0;
    NativeWindow focused = nullptr;
  };
  SetFocusFn setFocus_;
  NativeWindow focused_ = nullptr;
  std::array<Level, kMaxDepth + 1> levels_{};
  int32_t depth_ = 0;
};

}  // namespace kelv::ui
