// Shared by the stdformats fuzz targets: a host stand-in around the decode routine.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "decode.hpp"

namespace stdfuzz {

inline void* g_lastBuffer = nullptr;
inline uint32_t g_lastBytes = 0;

inline void* KELV_CDECL AllocBuffer(uint32_t bytes) {
  if (bytes > (256u << 20)) return nullptr;  // the host's limit
  g_lastBuffer = std::malloc(bytes);
  g_lastBytes = bytes;
  return g_lastBuffer;
}

inline uint8_t KELV_CDECL RowSink(intptr_t a, int32_t b, int32_t w, int32_t h) {
  if (b >= 0) {
    // Touch the whole row: a short row shows up under the address sanitizer.
    volatile uint8_t sum = 0;
    const auto* row = reinterpret_cast<const uint8_t*>(a);
    for (int32_t i = 0; i < w * 3; ++i) sum = sum + row[i];
  }
  return 1;
}

// Decodes with options taken from the first input byte; checks the outcome's rules.
inline void Run(stdformats::DecodeKind kind, const uint8_t* data, size_t size) {
  if (size < 1) return;
  const uint8_t control = data[0];
  stdformats::MemorySource source(data + 1, size - 1);
  stdformats::DecodeContext context;
  context.allocBuffer = &AllocBuffer;
  context.rowSink = (control & 1) ? &RowSink : nullptr;
  context.ignoreOrientation = (control & 2) != 0;
  context.fill = (control & 4) != 0;
  int32_t wantW = (control & 8) ? 0 : 97, wantH = (control & 8) ? 0 : 61;
  int32_t srcW = (control & 16) ? 50 : 0, srcH = (control & 16) ? 40 : 0;
  void* buffer = nullptr;
  g_lastBuffer = nullptr;
  stdformats::DecodeArgs args{&wantW, &wantH, &srcW, &srcH, (control & 32) ? nullptr : &buffer};
  const bool ok = stdformats::DecodePicture(kind, source, context, args);
  if (!ok && (wantW | wantH | srcW | srcH)) std::abort();
  if (buffer) {
    if (static_cast<uint32_t>(wantW) * static_cast<uint32_t>(wantH) * 4 != g_lastBytes) std::abort();
    // Every pixel written: read them all.
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < g_lastBytes; i += 4) sum = sum + static_cast<uint8_t*>(buffer)[i + 3];
    if (sum != 0) std::abort();
  }
  std::free(g_lastBuffer);
}

}  // namespace stdfuzz
