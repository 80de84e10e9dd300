#include "imaging/resample_float.hpp"

#include "imaging/resample_placement.hpp"

#include <algorithm>

#include "common/random.hpp"
#include "imaging/resample_filters.hpp"

namespace kelv {

namespace {

int32_t RoundTo32(double x) { return static_cast<int32_t>(Round(x)); }

struct Size {
  int32_t width;
  int32_t height;
};

// The source window: the whole picture, or with crop on the centre part of the picture
// that has the target's aspect, when the two aspects differ by less than a factor 1.4.
// Sets the window and the window-to-target scale of `p`.
void ChooseWindow(PicturePlacement& p, Size target, const PlacementOptions& o, Size picture) {
  float scaleX = static_cast<float>(picture.width) / static_cast<float>(target.width);
  float scaleY = static_cast<float>(picture.height) / static_cast<float>(target.height);
  int32_t left = 0, top = 0, width = picture.width, height = picture.height;
  if (o.crop && (scaleX > 1.0f || scaleY > 1.0f || o.enlarge)) {
    const float aspects = scaleX / scaleY;
    if (aspects > 0.7 && aspects < 1.4) {
      const float s = std::min(scaleX, scaleY);
      if (s > 1.0f || o.enlarge) {
        // target.width * s is exact in double: the product of a 32-bit integer and a float.
        width = RoundTo32(static_cast<double>(target.width) * s);
        height = RoundTo32(static_cast<double>(target.height) * s);
      }
      if (!(width == picture.width && height == picture.height && s > 1.0f)) {
        if (width > picture.width && height <= picture.height) width = picture.width;
        if (height > picture.height && width <= picture.width) height = picture.height;
        left = (picture.width - width) / 2;
        top = (picture.height - height) / 2;
        scaleX = static_cast<float>(width) / static_cast<float>(target.width);
        scaleY = static_cast<float>(height) / static_cast<float>(target.height);
      }
    }
  }
  p.windowX = left;
  p.windowY = top;
  p.windowW = width;
  p.windowH = height;
  p.scaleX = scaleX;
  p.scaleY = scaleY;
  p.copyX = left;
  p.copyY = top;
}

// An unscaled window: centred (or at a random place) where it is smaller than the target,
// cut to the target's size where it is larger.
void PlaceUnscaled(PicturePlacement& p, Size target, const PlacementOptions& o, double (*random)()) {
  const auto offset = [&](int32_t room) { return o.randomPos ? RoundTo32(random() * room) : room / 2; };
  const int32_t width = p.windowW, height = p.windowH;
  const bool wider = width > target.width;
  const bool taller = height > target.height;
  p.overflow = wider || taller;
  p.destW = wider ? target.width : width;
  p.destH = taller ? target.height : height;
  if (wider && taller) {
    p.copyX = p.windowX + offset(width - target.width);
    p.copyY = p.windowY + offset(height - target.height);
    return;
  }
  p.destX = wider ? 0 : offset(target.width - width);
  p.destY = taller ? 0 : offset(target.height - height);
}

// A scaled window fills the target along the axis that limits it and is centred along
// the other one; the resampler draws it unless it is tiny or the quality is Quick.
void PlaceScaled(PicturePlacement& p, Size target, const PlacementOptions& o, Size picture) {
  const float scaleX = p.scaleX, scaleY = p.scaleY;
  p.scaled = true;
  if (scaleX > scaleY) {
    const double height = static_cast<double>(p.windowH) / scaleX;
    p.destW = target.width;
    p.destH = RoundTo32(height);
    p.destX = 0;
    p.destY = RoundTo32(static_cast<double>(target.height) - height) / 2;
  } else {
    const double width = static_cast<double>(p.windowW) / scaleY;
    p.destW = RoundTo32(width);
    p.destH = target.height;
    p.destX = RoundTo32(static_cast<double>(target.width) - width) / 2;
    p.destY = 0;
  }
  p.resample = (o.quality == ResizeGood || o.quality == ResizeBest) &&
               (scaleX >= 1.0f || scaleY >= 1.0f || picture.width >= 50 || picture.height >= 50) &&
               p.windowW >= 11 && p.windowH >= 11 && p.destW >= 11 && p.destH >= 11;
  p.filter = o.quality == ResizeBest ? FilterForBestQuality : FilterForGoodQuality;
}

}  // namespace

PicturePlacement PlacePicture(int32_t targetW, int32_t targetH, const PlacementOptions& options,
                              int32_t pictureW, int32_t pictureH, double (*random)()) {
  const Size target{targetW, targetH};
  const Size picture{pictureW, pictureH};
  PicturePlacement p;
  ChooseWindow(p, target, options, picture);

  if (p.scaleX == 1.0f && p.scaleY == 1.0f) {
    p.exactFit = true;
    p.destW = p.windowW;
    p.destH = p.windowH;
    return p;
  }

  // A window larger than the target is shrunk (when Shrink is on); one smaller in both
  // directions is enlarged only with Enlarge.
  const bool fits = p.windowW <= targetW && p.windowH <= targetH;
  const bool smallerBoth = p.windowW < targetW && p.windowH < targetH;
  const bool scaled = (smallerBoth && options.enlarge) || !(fits || !options.shrink);
  if (scaled) PlaceScaled(p, target, options, picture);
  else PlaceUnscaled(p, target, options, random);
  return p;
}

PlacedArea CoveredArea(const PicturePlacement& p, int32_t targetW, int32_t targetH) {
  // An exact fit and an overflowing unscaled window start at the target's corner.
  const int64_t left = std::max<int64_t>(p.destX, 0);
  const int64_t top = std::max<int64_t>(p.destY, 0);
  const int64_t right = std::min<int64_t>(int64_t{p.destX} + p.destW, targetW);
  const int64_t bottom = std::min<int64_t>(int64_t{p.destY} + p.destH, targetH);
  PlacedArea a;
  if (right <= left || bottom <= top) return a;
  a.left = static_cast<int32_t>(left);
  a.top = static_cast<int32_t>(top);
  a.width = static_cast<int32_t>(right - left);
  a.height = static_cast<int32_t>(bottom - top);
  return a;
}

}  // namespace kelv
