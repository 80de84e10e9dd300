// The decode routine every entry point ends in: takes the file's bytes, recognises the
// container by its leading bytes (not by the extension), and delivers the picture's
// sizes and, when asked, its pixels (a host buffer or rows to a sink).
#pragma once

#include <cstdint>
#include <span>

#include "kelv_inmodule.h"
#include "plugincommon/decode_args.hpp"
#include "plugincommon/exif_reader.hpp"

namespace modernformats {

struct DecodeContext {
  KelvAllocBufferProc allocBuffer = nullptr;
  KelvRowSinkProc rowSink = nullptr;  // the sink captured for this call; nil when off
  bool fill = false;
  // Where the picture's EXIF date taken goes after a decode; nil when nobody asks.
  kelv::plugin::DateTakenText* dateTaken = nullptr;
};

// The caller's variables and the failure outcome, as every input module has them.
using kelv::plugin::DecodeArgs;
using kelv::plugin::ReportFailure;

// Never throws. On failure all four sizes are 0 and the buffer argument is nil; the
// result says whether the decode succeeded.
bool DecodePicture(std::span<const uint8_t> file, const DecodeContext& context,
                   const DecodeArgs& args) noexcept;

// The size filter and the pre-scale rule the JPEG decoder uses (WebP is scaled by it).
using kelv::plugin::BelowSizeFilter;
using kelv::plugin::PrescaleDenominator;

}  // namespace modernformats
