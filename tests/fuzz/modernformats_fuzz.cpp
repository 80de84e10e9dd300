// Fuzz target: the modern-formats decode path, from the recognition of the container
// through libwebp or libheif to the delivery into a host buffer or the row sink (first
// byte: decode options, the rest: the file).
#include <cstdint>
#include <cstdlib>

#include "decode.hpp"

namespace {

void* g_lastBuffer = nullptr;
uint32_t g_lastBytes = 0;

void* KELV_CDECL AllocBuffer(uint32_t bytes) {
  if (bytes > (256u << 20)) return nullptr;  // the host's limit
  g_lastBuffer = std::malloc(bytes);
  g_lastBytes = bytes;
  return g_lastBuffer;
}

uint8_t KELV_CDECL RowSink(intptr_t a, int32_t b, int32_t w, int32_t h) {
  if (b < 0) return (w > 0 && h > 0) ? 1 : 0;
  // Touch the whole row: a short row shows up under the address sanitizer.
  volatile uint8_t sum = 0;
  const auto* row = reinterpret_cast<const uint8_t*>(a);
  for (int32_t i = 0; i < w * 3; ++i) sum = sum + row[i];
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  modernformats::DecodeContext context;
  context.allocBuffer = &AllocBuffer;
  context.rowSink = (control & 1) ? &RowSink : nullptr;
  context.fill = (control & 4) != 0;
  // The EXIF blocks' date reader runs on every picture that gets that far.
  kelv::plugin::DateTakenText date{};
  context.dateTaken = &date;
  int32_t wantW = (control & 8) ? 0 : 97, wantH = (control & 8) ? 0 : 61;
  int32_t srcW = (control & 16) ? 50 : 0, srcH = (control & 16) ? 40 : 0;
  void* buffer = nullptr;
  g_lastBuffer = nullptr;
  const modernformats::DecodeArgs args{&wantW, &wantH, &srcW, &srcH, (control & 32) ? nullptr : &buffer};
  const bool ok = modernformats::DecodePicture({data + 1, size - 1}, context, args);
  if (!ok && (wantW | wantH | srcW | srcH)) std::abort();
  // A date, when there is one, is always a whole EXIF date text.
  if (date[0] != '\0' && !kelv::plugin::ValidExifDate(date.data(), KELV_DATE_TAKEN_LENGTH)) std::abort();
  if (buffer) {
    if (static_cast<uint32_t>(wantW) * static_cast<uint32_t>(wantH) * 4 != g_lastBytes) std::abort();
    // Every pixel written: read them all.
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < g_lastBytes; i += 4) sum = sum + static_cast<uint8_t*>(buffer)[i + 3];
    if (sum != 0) std::abort();
  }
  std::free(g_lastBuffer);
  return 0;
}
