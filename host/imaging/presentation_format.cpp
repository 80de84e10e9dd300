// The pixel-format rule of the DirectDraw path.
#include <cstdio>

#include "imaging/presentation.hpp"

namespace kelv {

namespace {
constexpr uint32_t kRgbFlag = 0x40;

std::string Hex8(uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}
}  // namespace

FormatVerdict CheckSurfaceFormat(uint32_t bitCount, uint32_t flags, uint32_t redMask,
                                 uint32_t greenMask, uint32_t blueMask, int draw) {
  FormatVerdict verdict;
  if (bitCount != 32) {
    verdict.kind = FormatVerdict::GiveUp;
    return verdict;
  }
  const bool rgb = (flags & kRgbFlag) != 0;
  if (rgb && redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF) return verdict;
  if (draw > 0) {
    verdict.kind = FormatVerdict::GiveUp;
    return verdict;
  }
  verdict.kind = FormatVerdict::Report;
  verdict.reportText = !rgb ? "Non RGB format, Flags = " + std::to_string(flags)
                            : "Unsupported RGB format, Mask = " + Hex8(redMask) + ", " +
                                  Hex8(greenMask) + ", " + Hex8(blueMask);
  return verdict;
}

}  // namespace kelv
