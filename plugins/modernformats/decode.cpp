#include "decode.hpp"

#include <cstring>
#include <new>

#include "decode_error.hpp"
#include "picture_codec.hpp"

namespace modernformats {

namespace {

// The largest picture the module decodes, in pixels: 8192 x 8192, room for the 48- and
// 61-megapixel photos of today's phones and cameras. The libraries accept headers that
// announce up to a billion pixels and would try to allocate gigabytes for them; a damaged
// or hostile file must not exhaust a 32-bit host's memory.
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

using kelv::plugin::ApplySizeFilter;

// The output buffer: exactly width x height x 4 bytes, from the host.
uint8_t* AllocateOutput(const DecodeContext& context, uint32_t w, uint32_t h) {
  const uint64_t bytes = static_cast<uint64_t>(w) * h * 4;
  if (bytes > UINT32_MAX) throw DecodeError("Picture too large for a 32-bit buffer");
  if (!context.allocBuffer) throw DecodeError("No buffer allocator");
  void* buffer = context.allocBuffer(static_cast<uint32_t>(bytes));
  if (!buffer) throw DecodeError("Buffer allocation failed");
  return static_cast<uint8_t*>(buffer);
}

// One RGB row as blue, green, red, 0 pixels (a 32-bit store per pixel; these targets
// are little-endian).
void StoreRow(uint8_t* dst, const uint8_t* rgb, uint32_t w) {
  for (uint32_t c = 0; c < w; ++c, rgb += 3, dst += 4) {
    const uint32_t pixel = rgb[2] | (rgb[1] << 8) | (rgb[0] << 16);
    std::memcpy(dst, &pixel, 4);
  }
}

std::unique_ptr<PictureCodec> OpenCodec(std::span<const uint8_t> file) {
  switch (SniffContainer(file)) {
    case Container::Webp: return OpenWebp(file);
    case Container::Heif: return OpenHeif(file);
    case Container::Unknown: break;
  }
  throw DecodeError("Unrecognized input file format");
}

void Decode(std::span<const uint8_t> file, const DecodeContext& context, const DecodeArgs& args) {
  const std::unique_ptr<PictureCodec> codec = OpenCodec(file);
  const uint32_t w = codec->width(), h = codec->height();
  if (static_cast<uint64_t>(w) * h > kMaxPixels) throw DecodeError("Picture too large");
  const auto sw = static_cast<int32_t>(w), sh = static_cast<int32_t>(h);
  if (!ApplySizeFilter(args, sw, sh)) {
    *args.wantW = sw;
    *args.wantH = sh;
    return;
  }

  uint32_t outW = w, outH = h;
  if (codec->scales() && *args.wantW != 0 && *args.wantH != 0) {
    const int n = PrescaleDenominator(w, h, *args.wantW, *args.wantH, context.fill);
    outW = (w + n - 1) / n;  // rounded up, as the JPEG decoder's scaled sizes are
    outH = (h + n - 1) / n;
  }
  if (static_cast<uint64_t>(outW) * outH * 4 > UINT32_MAX)
    throw DecodeError("Picture too large for a 32-bit buffer");

  if (context.dateTaken) {
    try {
      *context.dateTaken = codec->dateTaken();
    } catch (const std::bad_alloc&) {
      // No room for the EXIF block: the picture still shows, without its date.
    }
  }
  const std::unique_ptr<RgbRows> rows = codec->decode(outW, outH);
  if (rows->width() != outW || rows->height() != outH) throw DecodeError("Decoded size disagrees");
  *args.wantW = static_cast<int32_t>(outW);
  *args.wantH = static_cast<int32_t>(outH);
  const auto iw = static_cast<int32_t>(outW), ih = static_cast<int32_t>(outH);
  // The pictures come out upright: orientation 1, rows red, green, blue.
  if (context.rowSink && context.rowSink(1, KELV_ROWSINK_HEADER, iw, ih) != 0) {
    for (uint32_t r = 0; r < outH; ++r)
      context.rowSink(reinterpret_cast<intptr_t>(rows->row(r)), static_cast<int32_t>(r), iw, ih);
    return;
  }
  uint8_t* bitmap = AllocateOutput(context, outW, outH);
  // From here a failure must leave the buffer argument nil again.
  *args.buffer = bitmap;
  for (uint32_t r = 0; r < outH; ++r)
    StoreRow(bitmap + static_cast<size_t>(r) * outW * 4, rows->row(r), outW);
}

}  // namespace

Container SniffContainer(std::span<const uint8_t> bytes) {
  if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
      std::memcmp(bytes.data() + 8, "WEBP", 4) == 0)
    return Container::Webp;
  // HEIF and AVIF files open with their file-type box; libheif checks the brands.
  if (bytes.size() >= 12 && std::memcmp(bytes.data() + 4, "ftyp", 4) == 0) return Container::Heif;
  return Container::Unknown;
}

bool DecodePicture(std::span<const uint8_t> file, const DecodeContext& context,
                   const DecodeArgs& callerArgs) noexcept {
  return kelv::plugin::GuardedDecode(
      callerArgs, [&](const DecodeArgs& args) { Decode(file, context, args); });
}

}  // namespace modernformats
