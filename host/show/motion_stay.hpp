// The pan and zoom of one screen while it stays ("Motion"): the picture kept by the
// composition of the next screen, and the one moving on the screen now. Every monitor's
// screen has one of its own, so each moves on a path of its own.
#pragma once

#include <cstdint>

#include "show/motion_scene.hpp"

namespace kelv {

// A stay shorter than this from its first frame (composing took most of the delay, or a
// preview runs without a delay) is not worth moving: it stays still.
inline constexpr int64_t kShortestMotion = 500;

class MotionStay {
public:
  // Where the composition of the next screen keeps its picture; null with "Motion" off.
  MotionScene* Keeper(bool motion) { return motion ? &prepared_ : nullptr; }

  // A new screen is on display: the picture composed for it starts to move, on a path
  // drawn from `random`. True when it moves (the screen's bitmap must then hold the
  // screen as shown, since the frames redraw only the picture's rectangle).
  bool Take(double (*random)());

  // The frame `shown` ms into a stay of `delay` ms, drawn into `screen`. False, with
  // nothing drawn, while the screen stays still: nothing kept, or less than the shortest
  // motion left at the first frame (the kept pixels then go at once).
  bool Frame(PixelView screen, int64_t shown, int32_t delay, int64_t nowMicros);

  // The stay is over: the frames it had (0: it stood still), the microseconds from the
  // first to the end and the size of what they were drawn from; the kept pixels go.
  struct Summary {
    int32_t frames = 0;
    int64_t micros = 0;
    int32_t sourceWidth = 0, sourceHeight = 0;
  };
  Summary End(int64_t nowMicros);

  // Frees both scenes (the run's end).
  void Release();

private:
  MotionScene prepared_;
  MotionScene shown_;
  int64_t startMicros_ = 0;
};

}  // namespace kelv
