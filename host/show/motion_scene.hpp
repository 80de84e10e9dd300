// A picture that moves while it stays: its placed pixels kept as they were drawn (before
// the caption) and, where the loader made one, its copy as large as the deepest zoom that
// the frames are drawn from; the caption's pixels over it, its path, and the renderer.
// The show keeps one for the screen being composed and one for the screen on display;
// the kept pixels are freed when the stay ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/bitmap.hpp"
#include "imaging/motion_frame.hpp"
#include "show/motion_path.hpp"

namespace kelv {

class MotionScene {
public:
  // Keeps the picture's placed rectangle of `cell` (the whole screen: one picture per
  // screen), as drawn before its caption, and `larger` (the same picture larger, or null:
  // the frames then come from the placed pixels). An empty area keeps nothing.
  void KeepPicture(PixelView cell, const PlacedArea& area, std::shared_ptr<TBitmap> larger = nullptr);
  // Once the screen is composed: the pixels the caption changed inside the rectangle stay
  // on top of every frame, exactly as composed.
  void KeepCaption(PixelView composed);
  // Frees everything kept; the screen stays still.
  void Release();
  bool Kept() const { return !still_.empty() || larger_; }
  // The size of what the frames are drawn from.
  int32_t SourceWidth() const { return larger_ ? larger_->Width : area_.width; }
  int32_t SourceHeight() const { return larger_ ? larger_->Height : area_.height; }

  void SetPath(const MotionPath& path) { path_ = path; }
  const MotionPath& Path() const { return path_; }
  const PlacedArea& Area() const { return area_; }

  // The progress of a stay `shown` ms after its change, of a stay of `delay` ms: the
  // motion runs from its first frame (the screen may first have waited for the next one
  // to be composed) to the end of the delay.
  double Progress(int64_t shown, int32_t delay);
  // Draws the frame at `progress` into the rectangle of `screen`, caption on top; at 0 it
  // is the composed screen to the byte.
  void Draw(PixelView screen, double progress);

  int32_t Frames() const { return frames_; }
  int64_t FirstShown() const { return firstShown_; }

private:
  struct Span {
    int32_t y, x, count;
    size_t offset;  // into captionPixels_
  };
  PlacedArea area_;
  std::vector<uint32_t> still_;  // freed once a frame came from the larger copy
  std::shared_ptr<TBitmap> larger_;
  std::vector<Span> spans_;
  std::vector<uint32_t> captionPixels_;
  MotionPath path_;
  MotionFrameRenderer renderer_;
  int64_t firstShown_ = -1;
  double progress_ = 0;
  int32_t frames_ = 0;
};

}  // namespace kelv
