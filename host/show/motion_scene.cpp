#include "show/motion_scene.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kelv {

namespace {

const uint32_t* PixelAt(PixelView v, int32_t x, int32_t y) {
  return reinterpret_cast<const uint32_t*>(v.bits) + static_cast<size_t>(y) * v.width + x;
}

// The rows of `area` between a screen and a packed buffer of the area's size.
void CopyArea(uint32_t* to, size_t toStride, const uint32_t* from, size_t fromStride, const PlacedArea& area) {
  for (int32_t y = 0; y < area.height; ++y)
    std::memcpy(to + y * toStride, from + y * fromStride, static_cast<size_t>(area.width) * 4);
}

}  // namespace

void MotionScene::Release() {
  // swap with empties: the memory goes back, not just the sizes.
  std::vector<uint32_t>().swap(still_);
  larger_.reset();
  std::vector<Span>().swap(spans_);
  std::vector<uint32_t>().swap(captionPixels_);
  renderer_ = MotionFrameRenderer();
  area_ = {};
  firstShown_ = -1;
  progress_ = 0;
  frames_ = 0;
}

void MotionScene::KeepPicture(PixelView cell, const PlacedArea& area, std::shared_ptr<TBitmap> larger) {
  Release();
  if (!cell.bits || area.width <= 0 || area.height <= 0 || area.left < 0 || area.top < 0 ||
      area.left + area.width > cell.width || area.top + area.height > cell.height)
    return;
  area_ = area;
  still_.resize(static_cast<size_t>(area.width) * area.height);
  CopyArea(still_.data(), area.width, PixelAt(cell, area.left, area.top), cell.width, area);
  if (larger && larger->Bits && larger->Width >= area.width && larger->Height >= area.height)
    larger_ = std::move(larger);
}

void MotionScene::KeepCaption(PixelView composed) {
  spans_.clear();
  captionPixels_.clear();
  if (still_.empty()) return;
  if (!composed.bits || area_.left + area_.width > composed.width || area_.top + area_.height > composed.height) {
    Release();
    return;
  }
  for (int32_t y = 0; y < area_.height; ++y) {
    const uint32_t* still = PixelAt(composed, area_.left, area_.top + y);
    const uint32_t* picture = still_.data() + static_cast<size_t>(y) * area_.width;
    for (int32_t x = 0; x < area_.width;) {
      if (still[x] == picture[x]) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < area_.width && still[x] != picture[x]) ++x;
      spans_.push_back(Span{area_.top + y, area_.left + start, x - start, captionPixels_.size()});
      captionPixels_.insert(captionPixels_.end(), still + start, still + x);
    }
  }
}

double MotionScene::Progress(int64_t shown, int32_t delay) {
  if (firstShown_ < 0) firstShown_ = shown;
  const int64_t length = static_cast<int64_t>(delay) - firstShown_;
  if (length <= 0) return 1.0;
  // Never back: a monitor's stay clock may be set a few ms back when its turn is re-armed.
  progress_ = std::max(progress_, std::clamp(static_cast<double>(shown - firstShown_) / static_cast<double>(length), 0.0, 1.0));
  return progress_;
}

void MotionScene::Draw(PixelView screen, double progress) {
  if (!Kept() || !screen.bits) return;
  if (progress <= 0 && !still_.empty()) {
    // The stay's first frame: the picture exactly as composed.
    const PlacedArea& a = area_;
    if (a.left + a.width <= screen.width && a.top + a.height <= screen.height)
      CopyArea(const_cast<uint32_t*>(PixelAt(screen, a.left, a.top)), screen.width, still_.data(), a.width, a);
  } else if (larger_) {
    const MotionView v = ViewAt(path_, progress, larger_->Width, larger_->Height);
    renderer_.Draw(screen, area_, static_cast<const uint32_t*>(larger_->Bits), larger_->Width, larger_->Height,
                   SourceWindow{v.x, v.y, v.w, v.h});
    std::vector<uint32_t>().swap(still_);  // only the first frame was the still
  } else {
    const MotionView v = ViewAt(path_, progress, area_.width, area_.height);
    renderer_.Draw(screen, area_, still_.data(), area_.width, area_.height, SourceWindow{v.x, v.y, v.w, v.h});
  }
  for (const Span& s : spans_) {
    if (s.y >= screen.height || s.x + s.count > screen.width) continue;
    std::memcpy(reinterpret_cast<uint32_t*>(screen.bits) + static_cast<size_t>(s.y) * screen.width + s.x,
                captionPixels_.data() + s.offset, static_cast<size_t>(s.count) * 4);
  }
  ++frames_;
}

}  // namespace kelv
