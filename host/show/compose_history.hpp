// The screen history: a ring of the last 101 screens of a run, each with the global
// picture index of every cell and the screen's picture count, so that the left arrow can
// show earlier screens again. The show thread composes (records new screens or replays
// old ones); the main thread's arrow-key handlers move the replay position and set the
// replay flag, so those two and the positions are atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace kelv {

inline constexpr int32_t kHistoryScreens = 101;
// Cells remembered per screen. Larger grids are laid out but their further cells are
// not remembered: a replay chooses those in the display order.
inline constexpr int32_t kHistoryCells = 25;

class ScreenHistory {
public:
  struct Screen {
    std::array<int32_t, kHistoryCells> pictures{};
    int32_t count = 0;
  };

  // Empty ring, positions 0, not replaying (at the start of every run).
  void Reset();

  // The cell of the screen being composed (0 for a one-picture screen).
  int32_t Cell() const { return cell_; }
  void SetCell(int32_t cell) { cell_ = cell; }

  // The screen being composed is a replay of the screen at the replay position.
  bool Replaying() const { return replaying.load(); }
  // The picture count of the replayed screen.
  int32_t ReplayedCount() const;
  // The picture recorded for the current cell of the replayed screen, or -1 when the
  // cell is not remembered (outside the ring's cells or never recorded).
  int32_t ReplayedPicture() const;
  // Records the picture chosen for the current cell of the screen being composed: the
  // replayed screen while replaying, otherwise the new screen at the current position.
  void Record(int32_t picture);
  // The screen is complete: while replaying the replay position moves on (and replay
  // ends when it reaches the current position); otherwise the new screen gets its count,
  // the current position moves on (the ring is full once it wraps) and the replay
  // position follows it.
  void FinishScreen(int32_t count);

  const Screen& At(int32_t position) const { return screens_[Wrap(position)]; }
  static int32_t Wrap(int32_t position) {
    const int32_t p = position % kHistoryScreens;
    return p < 0 ? p + kHistoryScreens : p;
  }

  // Shared with the arrow-key handlers (plain 32-bit and byte flags).
  std::atomic<int32_t> current{0};
  std::atomic<int32_t> replay{0};
  std::atomic<bool> replaying{false};
  std::atomic<bool> full{false};

private:
  std::array<Screen, kHistoryScreens> screens_{};
  int32_t cell_ = 0;
};

// The run's history (process-wide).
ScreenHistory& TheHistory();

}  // namespace kelv
