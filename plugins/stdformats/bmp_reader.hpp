// Uncompressed Windows and OS/2 bitmaps: 8 bits per pixel with a colour map, or 24.
#pragma once

#include "raster_reader.hpp"

namespace stdformats {

class BmpReader final : public RasterReader {
public:
  explicit BmpReader(ByteSource& src) : src_(src) {}
  void start() override;
  // Reads the whole bottom-up pixel block, after checking that the file holds it.
  void prepare() override;
  const uint8_t* nextRow() override;

private:
  ByteSource& src_;
  int bitsPerPixel_ = 0;
  // Red, green, blue per entry. Unused entries stay black, so any index byte is safe.
  uint8_t palette_[256 * 3] = {};
  uint64_t rowBytes_ = 0;
  HeapBlock pixels_;
  HeapBlock row_;
  int32_t nextRow_ = 0;
};

}  // namespace stdformats
