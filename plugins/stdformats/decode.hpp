// The decode routine every entry point ends in: reads a picture from a byte source and
// delivers its sizes and, when asked, its pixels (a host buffer or rows to a sink).
#pragma once

#include <cstdint>

#include "byte_source.hpp"
#include "kelv_inmodule.h"
#include "plugincommon/decode_args.hpp"
#include "plugincommon/exif_reader.hpp"

namespace stdformats {

enum class DecodeKind { Jpeg, Raster };  // Raster: BMP or PPM, told apart by the first byte

struct DecodeContext {
  KelvAllocBufferProc allocBuffer = nullptr;
  KelvRowSinkProc rowSink = nullptr;  // the sink captured for this call; nil when off
  bool ignoreOrientation = false;
  bool fill = false;
  // Where a JPEG's EXIF date taken goes (what the EXIF block read for the orientation
  // gives); nil when nobody asks.
  kelv::plugin::DateTakenText* dateTaken = nullptr;
};

// The caller's variables and the failure outcome, as every input module has them.
using kelv::plugin::DecodeArgs;
using kelv::plugin::ReportFailure;

// Never throws. On failure all four sizes are 0 and the buffer argument is nil; the
// result says whether the decode succeeded.
bool DecodePicture(DecodeKind kind, ByteSource& src, const DecodeContext& context,
                   const DecodeArgs& args) noexcept;

}  // namespace stdformats
