// The arrow keys during a show: the right arrow shows the screen already composed at
// once, the left arrow walks back through the screen history (a ring of 101 screens).
// The handlers run on the main thread and only set flags and positions; the show thread
// does the step at its next pass.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace kelv {

class ScreenHistory;

struct ShowNavigation {
  std::atomic<bool> stepPending{false};   // a step to the next or previous screen is asked for
  std::atomic<bool> nextPrepared{false};  // NextBitmap holds the composed next screen
  std::atomic<bool> keepPrepared{false};  // the step shows NextBitmap without composing again
  std::atomic<bool> composing{false};     // the show thread composes after a transition
  // A transition is drawing, or was cut short: the screen is partly the old picture and
  // partly NextBitmap.
  std::atomic<bool> changing{false};

  void Reset() {
    stepPending = false;
    nextPrepared = false;
    keepPrepared = false;
    composing = false;
    changing = false;
  }
};

ShowNavigation& TheNavigation();

// Right arrow.
void StepNext(ShowNavigation& nav, ScreenHistory& history, std::atomic<int32_t>& stop, std::mutex& lock);
// Left arrow. Does nothing when there is no earlier screen.
void StepPrevious(ShowNavigation& nav, ScreenHistory& history, std::atomic<int32_t>& stop, std::mutex& lock);

}  // namespace kelv
