// The decode routine every entry point ends in: reads a picture from a byte source and
// delivers its sizes and, when asked, its pixels (a host buffer or rows to a sink).
#pragma once

#include <cstdint>

#include "byte_source.hpp"
#include "kelv_inmodule.h"

namespace stdformats {

enum class DecodeKind { Jpeg, Raster };  // Raster: BMP or PPM, told apart by the first byte

struct DecodeContext {
  KelvAllocBufferProc allocBuffer = nullptr;
  KelvRowSinkProc rowSink = nullptr;  // the sink captured for this call; nil when off
  bool ignoreOrientation = false;
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
bool DecodePicture(DecodeKind kind, ByteSource& src, const DecodeContext& context,
                   const DecodeArgs& args) noexcept;

// Sets the failure outcome: all four sizes 0, buffer nil.
void ReportFailure(const DecodeArgs& args) noexcept;

}  // namespace stdformats
