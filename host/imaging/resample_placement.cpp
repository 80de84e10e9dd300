#include "imaging/resample_float.hpp"

#include "imaging/resample_placement.hpp"

#include <algorithm>

#include "common/random.hpp"
#include "imaging/resample_filters.hpp"

namespace kelv {

namespace {

int32_t RoundTo32(double x) { return static_cast<int32_t>(Round(x)); }

}  // namespace

PicturePlacement PlacePicture(int32_t pw, int32_t ph, const PlacementOptions& o, int32_t qw,
                              int32_t qh, double (*random)()) {
  PicturePlacement p;
  float sx = static_cast<float>(qw) / static_cast<float>(pw);
  float sy = static_cast<float>(qh) / static_cast<float>(ph);
  int32_t wx = 0, wy = 0, w = qw, h = qh;

  // Crop to the target's aspect when the two aspects differ by less than a factor 1.4.
  if (o.crop && (sx > 1.0f || sy > 1.0f || o.enlarge)) {
    const float r = sx / sy;
    if (r > 0.7 && r < 1.4) {
      const float s = std::min(sx, sy);
      if (s > 1.0f || o.enlarge) {
        // pw * s is exact in double: the product of a 32-bit integer and a float.
        w = RoundTo32(static_cast<double>(pw) * s);
        h = RoundTo32(static_cast<double>(ph) * s);
      }
      if (!(w == qw && h == qh && s > 1.0f)) {
        if (w > qw && h <= qh) w = qw;
        if (h > qh && w <= qw) h = qh;
        wx = (qw - w) / 2;
        wy = (qh - h) / 2;
        sx = static_cast<float>(w) / static_cast<float>(pw);
        sy = static_cast<float>(h) / static_cast<float>(ph);
      }
    }
  }
  p.windowX = wx;
  p.windowY = wy;
  p.windowW = w;
  p.windowH = h;
  p.scaleX = sx;
  p.scaleY = sy;
  p.copyX = wx;
  p.copyY = wy;

  if (sx == 1.0f && sy == 1.0f) {
    p.exactFit = true;
    p.destW = w;
    p.destH = h;
    return p;
  }

  const bool smallerBoth = w < pw && h < ph;
  bool scaled = true;
  if (!smallerBoth || !o.enlarge) {
    if ((w <= pw && h <= ph) || !o.shrink) scaled = false;
  }

  if (!scaled) {
    const auto offset = [&](int32_t room) {
      return o.randomPos ? RoundTo32(random() * room) : room / 2;
    };
    const bool wider = w > pw;
    const bool taller = h > ph;
    p.overflow = wider || taller;
    if (!wider && !taller) {
      p.destW = w;
      p.destH = h;
      p.destX = offset(pw - w);
      p.destY = offset(ph - h);
    } else if (wider && !taller) {
      p.destW = pw;
      p.destH = h;
      p.destX = 0;
      p.destY = offset(ph - h);
    } else if (!wider && taller) {
      p.destW = w;
      p.destH = ph;
      p.destX = offset(pw - w);
      p.destY = 0;
    } else {
      p.destW = pw;
      p.destH = ph;
      p.copyX = wx + offset(w - pw);
      p.copyY = wy + offset(h - ph);
    }
    return p;
  }

  p.scaled = true;
  if (sx > sy) {
    const double height = static_cast<double>(h) / sx;
    p.destW = pw;
    p.destH = RoundTo32(height);
    p.destX = 0;
    p.destY = RoundTo32(static_cast<double>(ph) - height) / 2;
  } else {
    const double width = static_cast<double>(w) / sy;
    p.destW = RoundTo32(width);
    p.destH = ph;
    p.destX = RoundTo32(static_cast<double>(pw) - width) / 2;
    p.destY = 0;
  }
  p.resample = (o.quality == ResizeGood || o.quality == ResizeBest) &&
               (sx >= 1.0f || sy >= 1.0f || qw >= 50 || qh >= 50) && w >= 11 && h >= 11 &&
               p.destW >= 11 && p.destH >= 11;
  p.filter = o.quality == ResizeBest ? FilterForBestQuality : FilterForGoodQuality;
  return p;
}

}  // namespace kelv
