// Portable pixmaps and graymaps: P2 and P3 (decimal text), P5 and P6 (raw bytes, two
// bytes per sample, high byte first, when the maximum value is above 255).
#pragma once

#include "raster_reader.hpp"

namespace stdformats {

class PpmReader final : public RasterReader {
public:
  explicit PpmReader(ByteSource& src) : src_(src) {}
  void start() override;
  void prepare() override;
  const uint8_t* nextRow() override;

private:
  int readChar();           // skips '#' comments to the end of the line
  uint32_t readInteger();  // decimal after white space; consumes one byte after it
  uint8_t scale(uint32_t sample) const;

  ByteSource& src_;
  bool text_ = false;
  uint32_t maxValue_ = 255;
  HeapBlock rescale_;  // maxValue_ + 1 entries when the maximum value is not 255
  HeapBlock raw_;      // one row as stored, for P5 and P6
  HeapBlock row_;
};

}  // namespace stdformats
