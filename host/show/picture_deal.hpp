// Pictures dealt out to several monitors from the one display order: which pictures each
// monitor shows and has composed ahead, so that the order steps past a picture another
// monitor shows or is about to show while it has other pictures to offer.
#pragma once

#include <cstdint>
#include <vector>

namespace kelv {

class PictureDeal {
public:
  explicit PictureDeal(int32_t monitors = 0) { Reset(monitors); }
  // Nothing shown or prepared on any monitor (the start of a run).
  void Reset(int32_t monitors);
  int32_t Monitors() const { return static_cast<int32_t>(shown_.size()); }

  // Monitor `monitor` starts composing its next screen: what it had prepared is dropped.
  void BeginScreen(int32_t monitor);
  // A picture went into the screen being composed.
  void Dealt(int32_t picture);
  // The monitor's prepared screen is on display now.
  void Shown(int32_t monitor);
  // Picture `index` left the catalogue (the size filter): the pictures after it move down.
  void PictureLeft(int32_t index);

  // Whether the screen being composed should leave `picture` out, in a catalogue of
  // `count` pictures: when it is on another monitor's screen or prepared screen and those
  // leave other pictures; when they hold every picture, only the other monitors' prepared
  // screens count (they stay up longest); when those hold every picture too, nothing is
  // left out.
  bool Avoid(int32_t picture, int32_t count) const;

private:
  std::vector<std::vector<int32_t>> shown_;
  std::vector<std::vector<int32_t>> prepared_;
  int32_t composing_ = -1;
};

}  // namespace kelv
