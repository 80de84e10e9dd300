#include "show/motion_scene.hpp"

#include <algorithm>
#include <cstring>

namespace kelv {

namespace {

const uint32_t* PixelAt(PixelView v, int32_t x, int32_t y) {
  return reinterpret_cast<const uint32_t*>(v.bits) + static_cast<size_t>(y) * v.width + x;
}

}  // namespace

void MotionScene::Release() {
  // swap with empties: the memory goes back, not just the sizes.
  std::vector<uint32_t>().swap(source_);
  std::vector<Span>().swap(spans_);
  std::vector<uint32_t>().swap(captionPixels_);
  renderer_ = MotionFrameRenderer();
  area_ = {};
  firstShown_ = -1;
  frames_ = 0;
}

void MotionScene::KeepPicture(PixelView cell, const PlacedArea& area) {
  Release();
  if (!cell.bits || area.width <= 0 || area.height <= 0 || area.left < 0 || area.top < 0 ||
      area.left + area.width > cell.width || area.top + area.height > cell.height)
    return;
  area_ = area;
  source_.resize(static_cast<size_t>(area.width) * area.height);
  for (int32_t y = 0; y < area.height; ++y)
    std::memcpy(source_.data() + static_cast<size_t>(y) * area.width, PixelAt(cell, area.left, area.top + y),
                static_cast<size_t>(area.width) * 4);
}

void MotionScene::KeepCaption(PixelView composed) {
  spans_.clear();
  captionPixels_.clear();
  if (!Kept()) return;
  if (!composed.bits || area_.left + area_.width > composed.width || area_.top + area_.height > composed.height) {
    Release();
    return;
  }
  for (int32_t y = 0; y < area_.height; ++y) {
    const uint32_t* still = PixelAt(composed, area_.left, area_.top + y);
    const uint32_t* picture = source_.data() + static_cast<size_t>(y) * area_.width;
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
  return std::clamp(static_cast<double>(shown - firstShown_) / static_cast<double>(length), 0.0, 1.0);
}

void MotionScene::Draw(PixelView screen, double progress) {
  if (!Kept() || !screen.bits) return;
  const MotionView v = ViewAt(path_, progress, area_.width, area_.height);
  renderer_.Draw(screen, area_, source_.data(), area_.width, area_.height, SourceWindow{v.x, v.y, v.w, v.h});
  for (const Span& s : spans_) {
    if (s.y >= screen.height || s.x + s.count > screen.width) continue;
    std::memcpy(reinterpret_cast<uint32_t*>(screen.bits) + static_cast<size_t>(s.y) * screen.width + s.x,
                captionPixels_.data() + s.offset, static_cast<size_t>(s.count) * 4);
  }
  ++frames_;
}

}  // namespace kelv
