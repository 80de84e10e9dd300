// Test pictures made in memory: BMP and PPM bytes written by hand, JPEGs through
// libjpeg's compressor, and a host-side harness around the decode routine.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "decode.hpp"

namespace stdtest {

using Bytes = std::vector<uint8_t>;
struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};
// Failure messages show a colour as its three numbers.
inline void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}
using PixelFn = std::function<Rgb(int x, int y)>;

// A pattern with a different colour in every region, so turns and mirrors show.
Rgb Pattern(int x, int y);

Bytes MakeBmp24(int w, int h, const PixelFn& pixel);
// 8 bits per pixel; headerSize 12 (OS/2), 40 or 64; colorsUsed 0 means a full map.
Bytes MakeBmp8(int w, int h, int headerSize, const std::vector<Rgb>& palette,
               const std::function<uint8_t(int, int)>& index, uint32_t colorsUsed = 0);
// type 2, 3, 5 or 6; samples row by row (1 or 3 per pixel); a comment after the magic.
Bytes MakePpm(int type, int w, int h, int maxValue, const std::vector<uint32_t>& samples);

struct JpegOptions {
  int components = 3;
  int quality = 95;
  bool progressive = false;
  bool jfif = true;               // APP0 first
  std::vector<Bytes> appBefore;   // extra APPn segments (marker byte first) before EXIF
  int orientation = 0;            // 0: no EXIF segment
  bool bigEndianExif = false;
  Bytes exifBlock;                // when not empty: the APP1 segment's TIFF block, as given
};
Bytes MakeJpeg(int w, int h, const PixelFn& pixel, const JpegOptions& options = {});

// A decoded bitmap as the host receives it.
struct Decoded {
  bool ok = false;
  int32_t wantW = 0, wantH = 0, srcW = 0, srcH = 0;
  Bytes pixels;  // B, G, R, 0
  bool gotBuffer = false;
  std::string dateTaken;  // what the decode read as the date taken
  Rgb at(int x, int y) const {
    const uint8_t* p = pixels.data() + (static_cast<size_t>(y) * wantW + x) * 4;
    return {p[2], p[1], p[0]};
  }
};

struct Call {
  stdformats::DecodeKind kind = stdformats::DecodeKind::Jpeg;
  int32_t wantW = 0, wantH = 0;
  int32_t minW = 0, minH = 0;
  bool withBuffer = true;
  bool ignoreOrientation = false;
  bool fill = false;
  KelvRowSinkProc sink = nullptr;
};

// Runs the decode routine on bytes in memory with a tracking AllocBuffer.
Decoded Decode(const Bytes& file, const Call& call);

// AllocBuffer requests of the last Decode.
const std::vector<uint32_t>& AllocationRequests();
// AllocBuffer handed to the module by tests of the module layer.
void* KELV_CDECL TestAllocBuffer(uint32_t bytes);
// Frees what TestAllocBuffer handed out.
void ReleaseTestBuffers();

}  // namespace stdtest
