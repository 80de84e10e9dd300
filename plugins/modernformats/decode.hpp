// The decode routine every entry point ends in: takes the file's bytes, recognises the
// container by its leading bytes (not by the extension), and delivers the picture's
// sizes and, when asked, its pixels (a host buffer or rows to a sink).
#pragma once

#include <cstdint>
#include <span>

#include "kelv_inmodule.h"

namespace modernformats {

struct DecodeContext {
  KelvAllocBufferProc allocBuffer = nullptr;
  KelvRowSinkProc rowSink = nullptr;  // the sink captured for this call; nil when off
  bool fill = false;
};

// The caller's variables. srcW and srcH are nil for the legacy form (no size filter, no
// source size); buffer nil asks for the sizes only.
struct DecodeArgs {
  int32_t* wantW = nullptr;
  int32_t* wantH = nullptr;
  int32_t* srcW = nullptr;
  int32_t* srcH = nullptr;
  void** buffer = nullptr;
};

// Never throws. On failure all four sizes are 0 and the buffer argument is nil; the
// result says whether the decode succeeded.
bool DecodePicture(std::span<const uint8_t> file, const DecodeContext& context,
                   const DecodeArgs& args) noexcept;

// Sets the failure outcome: all four sizes 0, buffer nil.
void ReportFailure(const DecodeArgs& args) noexcept;

// True when a w x h picture fits inside the minimum box mw x mh in either orientation.
bool BelowSizeFilter(int32_t w, int32_t h, int32_t mw, int32_t mh);

// The pre-scale denominator (1, 2, 4 or 8) for a w x h picture shown at wantW x wantH,
// by the rule the JPEG decoder uses: per side the largest of 8, 4, 2, 1 not above
// side div wanted side; the smaller of the two with fill, the larger without.
int PrescaleDenominator(int64_t w, int64_t h, int64_t wantW, int64_t wantH, bool fill);

}  // namespace modernformats
