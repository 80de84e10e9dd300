#include "plugincommon/decode_args.hpp"

#include <algorithm>

namespace kelv::plugin {

bool BelowSizeFilter(int32_t w, int32_t h, int32_t mw, int32_t mh) {
  if (mw <= 0 || mh <= 0) return false;
  return (w < mw && h < mh) || (w < mh && h < mw);
}

bool ApplySizeFilter(const DecodeArgs& args, int32_t w, int32_t h) {
  const bool filterOn = args.srcW && args.srcH && *args.srcW > 0 && *args.srcH > 0;
  const bool below = filterOn && BelowSizeFilter(w, h, *args.srcW, *args.srcH);
  if (args.srcW) *args.srcW = below ? -w : w;
  if (args.srcH) *args.srcH = below ? -h : h;
  return args.buffer != nullptr && !below;
}

int PrescaleAxis(int64_t s, int64_t t) {
  if (t <= 0 || s <= t) return 1;
  const int64_t ratio = s / t;
  for (int f : {8, 4, 2}) {
    if (f <= ratio) return f;
  }
  return 1;
}

int PrescaleDenominator(int64_t imageW, int64_t imageH, int64_t wantW, int64_t wantH, bool fill) {
  const int fw = PrescaleAxis(imageW, wantW);
  const int fh = PrescaleAxis(imageH, wantH);
  return fill ? std::min(fw, fh) : std::max(fw, fh);
}

void ReportFailure(const DecodeArgs& args) noexcept {
  if (args.wantW) *args.wantW = 0;
  if (args.wantH) *args.wantH = 0;
  if (args.srcW) *args.srcW = 0;
  if (args.srcH) *args.srcH = 0;
  if (args.buffer) *args.buffer = nullptr;
}

}  // namespace kelv::plugin
