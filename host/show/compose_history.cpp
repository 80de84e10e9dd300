#include "show/compose_history.hpp"

namespace kelv {

void ScreenHistory::Reset() {
  screens_.fill(Screen{});
  cell_ = 0;
  current = 0;
  replay = 0;
  replaying = false;
  full = false;
}

int32_t ScreenHistory::ReplayedCount() const { return At(replay.load()).count; }

int32_t ScreenHistory::ReplayedPicture() const {
  if (cell_ < 0 || cell_ >= kHistoryCells) return -1;
  const Screen& s = At(replay.load());
  if (cell_ >= s.count) return -1;
  return s.pictures[static_cast<size_t>(cell_)];
}

void ScreenHistory::Record(int32_t picture) {
  if (cell_ < 0 || cell_ >= kHistoryCells) return;
  const int32_t position = replaying ? replay.load() : current.load();
  screens_[Wrap(position)].pictures[static_cast<size_t>(cell_)] = picture;
}

void ScreenHistory::FinishScreen(int32_t count) {
  if (replaying) {
    const int32_t next = Wrap(replay.load() + 1);
    replay = next;
    if (next == Wrap(current.load())) replaying = false;
    return;
  }
  const int32_t position = Wrap(current.load());
  screens_[position].count = count;
  int32_t next = position + 1;
  if (next == kHistoryScreens) {
    next = 0;
    full = true;
  }
  current = next;
  replay = next;
}

ScreenHistory& TheHistory() {
  static ScreenHistory history;
  return history;
}

}  // namespace kelv
