#include "decode.hpp"

#include <cstring>
#include <new>

#include "bmp_reader.hpp"
#include "decode_error.hpp"
#include "exif_orientation.hpp"
#include "ink_rows.hpp"
#include "jpeg_glue.h"
#include "ppm_reader.hpp"
#include "size_rules.hpp"

namespace stdformats {

namespace {

// Sizes as the decode goes; copied to the caller's variables.
struct Outcome {
  int32_t wantW = 0, wantH = 0;
  int32_t srcW = 0, srcH = 0;
};

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

void CheckBufferFits(uint32_t w, uint32_t h) {
  if (static_cast<uint64_t>(w) * h * 4 > UINT32_MAX)
    throw DecodeError("Picture too large for a 32-bit buffer");
}

// Stores one row of samples as blue, green, red, 0 pixels where the orientation puts
// them; one-component rows are gray.
void PlacePixels(uint8_t* bitmap, const uint8_t* row, int components, int orientation,
                 uint32_t w, uint32_t h, uint32_t r) {
  const RowPlacement place = PlaceRow(orientation, w, h, r);
  // One 32-bit store per pixel; on these little-endian targets its bytes lie in memory as
  // blue, green, red, 0.
  uint8_t* dst = bitmap + place.base * 4;
  const int64_t step = place.step * 4;
  if (components == 3) {
    if (step == 4) {
      for (uint32_t c = 0; c < w; ++c, row += 3, dst += 4) {
        const uint32_t pixel = row[2] | (row[1] << 8) | (row[0] << 16);
        std::memcpy(dst, &pixel, 4);
      }
      return;
    }
    for (uint32_t c = 0; c < w; ++c, row += 3, dst += step) {
      const uint32_t pixel = row[2] | (row[1] << 8) | (row[0] << 16);
      std::memcpy(dst, &pixel, 4);
    }
  } else {
    for (uint32_t c = 0; c < w; ++c, ++row, dst += step) {
      const uint32_t pixel = *row * 0x010101u;
      std::memcpy(dst, &pixel, 4);
    }
  }
}

// Decoder handle that is destroyed on every way out.
class JpegDecoder {
public:
  explicit JpegDecoder(ByteSource& src) : decoder_(kj_open(&Read, &src)) {
    if (!decoder_) throw std::bad_alloc();
  }
  ~JpegDecoder() { kj_close(decoder_); }
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  kj_size readHeader() {
    kj_size image{};
    check(kj_read_header(decoder_, &image));
    return image;
  }
  kj_size start(unsigned denominator) {
    kj_size output{};
    check(kj_start(decoder_, denominator, &output));
    return output;
  }
  void readRow(uint8_t* row) { check(kj_read_row(decoder_, row)); }
  void finish() { check(kj_finish(decoder_)); }

private:
  // Called from inside libjpeg (C frames): must never throw.
  static size_t Read(void* context, void* dst, size_t n) noexcept {
    return static_cast<ByteSource*>(context)->read(dst, n);
  }
  void check(int ok) {
    if (!ok) throw DecodeError(kj_message(decoder_));
  }
  kj_decoder* decoder_;
};

void DecodeJpeg(ByteSource& src, const DecodeContext& context, const DecodeArgs& args) {
  const ExifFacts exif = ReadExif(src);
  if (context.dateTaken) *context.dateTaken = exif.date;
  int orientation = context.ignoreOrientation ? 1 : exif.orientation;
  if (orientation < 1 || orientation > 8) orientation = 1;
  const bool swap = SwapsSides(orientation);

  JpegDecoder jpeg(src);
  const kj_size image = jpeg.readHeader();
  const auto imageW = static_cast<int32_t>(image.width);
  const auto imageH = static_cast<int32_t>(image.height);
  if (!ApplySizeFilter(args, swap ? imageH : imageW, swap ? imageW : imageH)) return;

  unsigned denominator = 1;
  if (*args.wantW != 0 && *args.wantH != 0) {
    const int32_t wishW = swap ? *args.wantH : *args.wantW;
    const int32_t wishH = swap ? *args.wantW : *args.wantH;
    denominator = static_cast<unsigned>(PrescaleDenominator(imageW, imageH, wishW, wishH, context.fill));
  }
  const kj_size out = jpeg.start(denominator);
  if (out.components != 1 && out.components != 3 && out.components != 4)
    throw DecodeError("Unsupported JPEG colour space");
  *args.wantW = static_cast<int32_t>(swap ? out.height : out.width);
  *args.wantH = static_cast<int32_t>(swap ? out.width : out.height);
  CheckBufferFits(out.width, out.height);

  HeapBlock row = NewHeapBlock(static_cast<size_t>(out.width) * static_cast<size_t>(out.components));
  // Ink rows become colour triplets in the row buffer itself; from then on they are
  // handled as any colour row.
  const bool ink = out.components == 4;
  const int components = ink ? 3 : out.components;
  auto nextRow = [&] {
    jpeg.readRow(row.As<uint8_t>());
    if (ink) InkRowToRgb(row.As<uint8_t>(), out.width, out.inverted != 0);
    return row.As<uint8_t>();
  };
  // Gray pictures never go to the sink: its rows are colour triplets.
  if (components == 3 && context.rowSink &&
      context.rowSink(orientation, KELV_ROWSINK_HEADER, static_cast<int32_t>(out.width),
                      static_cast<int32_t>(out.height)) != 0) {
    for (uint32_t r = 0; r < out.height; ++r)
      context.rowSink(reinterpret_cast<intptr_t>(nextRow()), static_cast<int32_t>(r),
                      static_cast<int32_t>(out.width), static_cast<int32_t>(out.height));
  } else {
    uint8_t* bitmap = AllocateOutput(context, out.width, out.height);
    // From here a failure must leave the buffer argument nil again.
    *args.buffer = bitmap;
    for (uint32_t r = 0; r < out.height; ++r)
      PlacePixels(bitmap, nextRow(), components, orientation, out.width, out.height, r);
  }
  jpeg.finish();
}

void DecodeRaster(RasterReader& reader, const DecodeContext& context, const DecodeArgs& args) {
  reader.start();
  const int32_t w = reader.width(), h = reader.height();
  *args.wantW = w;
  *args.wantH = h;
  if (!ApplySizeFilter(args, w, h)) return;

  const auto uw = static_cast<uint32_t>(w), uh = static_cast<uint32_t>(h);
  CheckBufferFits(uw, uh);
  reader.prepare();
  if (reader.components() == 3 && context.rowSink &&
      context.rowSink(1, KELV_ROWSINK_HEADER, w, h) != 0) {
    for (int32_t r = 0; r < h; ++r)
      context.rowSink(reinterpret_cast<intptr_t>(reader.nextRow()), r, w, h);
    return;
  }
  uint8_t* bitmap = AllocateOutput(context, uw, uh);
  *args.buffer = bitmap;
  for (uint32_t r = 0; r < uh; ++r)
    PlacePixels(bitmap, reader.nextRow(), reader.components(), 1, uw, uh, r);
}

void DecodeBmpOrPpm(ByteSource& src, const DecodeContext& context, const DecodeArgs& args) {
  const uint64_t start = src.position();
  const int first = src.readByte();
  src.seek(start);
  if (first == 'B') {
    BmpReader reader(src);
    DecodeRaster(reader, context, args);
  } else if (first == 'P') {
    PpmReader reader(src);
    DecodeRaster(reader, context, args);
  } else {
    throw DecodeError("Unrecognized input file format");
  }
}

}  // namespace

bool DecodePicture(DecodeKind kind, ByteSource& src, const DecodeContext& context,
                   const DecodeArgs& callerArgs) noexcept {
  return kelv::plugin::GuardedDecode(callerArgs, [&](const DecodeArgs& args) {
    if (kind == DecodeKind::Jpeg)
      DecodeJpeg(src, context, args);
    else
      DecodeBmpOrPpm(src, context, args);
  });
}

}  // namespace stdformats
