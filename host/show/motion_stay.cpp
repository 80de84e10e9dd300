#include "show/motion_stay.hpp"

#include <utility>

namespace kelv {

bool MotionStay::Take(double (*random)()) {
  shown_.Release();
  if (!prepared_.Kept()) return false;
  std::swap(shown_, prepared_);
  shown_.SetPath(RandomMotionPath(random));
  return true;
}

bool MotionStay::Frame(PixelView screen, int64_t shown, int32_t delay, int64_t nowMicros) {
  if (!shown_.Kept() || !screen.bits) return false;
  if (shown_.Frames() == 0) {
    if (delay - shown < kShortestMotion) {
      shown_.Release();
      return false;
    }
    startMicros_ = nowMicros;
  }
  shown_.Draw(screen, shown_.Progress(shown, delay));
  return true;
}

MotionStay::Summary MotionStay::End(int64_t nowMicros) {
  Summary s;
  if (shown_.Frames() > 0) {
    s.frames = shown_.Frames();
    s.micros = nowMicros - startMicros_;
    s.sourceWidth = shown_.SourceWidth();
    s.sourceHeight = shown_.SourceHeight();
  }
  shown_.Release();
  return s;
}

void MotionStay::Release() {
  prepared_.Release();
  shown_.Release();
}

}  // namespace kelv
