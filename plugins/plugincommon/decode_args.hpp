// The rules every input module's decode entries share: the caller's variables, the
// minimum-size filter, the JPEG pre-scale rule (other scalable formats use it too) and
// the failure outcome, and the guard that keeps any exception inside the module.
#pragma once

#include <cstdint>

namespace kelv::plugin {

// The caller's variables. srcW and srcH are nil for the legacy form (no size filter, no
// source size); buffer nil asks for the sizes only.
struct DecodeArgs {
  int32_t* wantW = nullptr;
  int32_t* wantH = nullptr;
  int32_t* srcW = nullptr;
  int32_t* srcH = nullptr;
  void** buffer = nullptr;
};

// True when a w x h picture fits inside the minimum box mw x mh in either orientation.
// The filter is off unless both minimum sides are positive.
bool BelowSizeFilter(int32_t w, int32_t h, int32_t mw, int32_t mh);

// The source size goes out; a picture below the caller's filter has both sides negated
// and is not decoded. Returns whether pixels are still wanted.
bool ApplySizeFilter(const DecodeArgs& args, int32_t w, int32_t h);

// Pre-scale denominator for an image side s shown at side t: 1 when s <= t (or no wish),
// else the largest of 8, 4, 2, 1 not above s div t.
int PrescaleAxis(int64_t s, int64_t t);
// Combined over both axes: the smaller factor with fill (both sides stay at least the
// wanted size), the larger without (one side does).
int PrescaleDenominator(int64_t imageW, int64_t imageH, int64_t wantW, int64_t wantH, bool fill);

// Sets the failure outcome: all four sizes 0, buffer nil.
void ReportFailure(const DecodeArgs& args) noexcept;

// Runs decode(args) with nil wishes standing for none (their results go nowhere), the
// size filter off unless both of its variables are there, and the buffer argument nil
// until the decode sets it. Never throws: on any failure all four sizes are 0 and the
// buffer argument is nil. The result says whether the decode succeeded.
template <typename Decode>
bool GuardedDecode(const DecodeArgs& callerArgs, Decode&& decode) noexcept {
  int32_t spareW = 0, spareH = 0;
  DecodeArgs args = callerArgs;
  if (!args.wantW) args.wantW = &spareW;
  if (!args.wantH) args.wantH = &spareH;
  if (!args.srcW || !args.srcH) args.srcW = args.srcH = nullptr;
  if (args.buffer) *args.buffer = nullptr;
  try {
    decode(static_cast<const DecodeArgs&>(args));
    return true;
  } catch (...) {
    // Reason texts are not shown anywhere; the zero sizes are the whole report.
    ReportFailure(callerArgs);
    return false;
  }
}

}  // namespace kelv::plugin
