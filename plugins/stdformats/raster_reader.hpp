// What the BMP and PPM readers share: the header gives the size, prepare() gets the
// pixel data ready, and nextRow() hands out rows from the top, as red-green-blue
// triplets (three components) or gray samples (one component).
#pragma once

#include <cstdint>

#include "byte_source.hpp"

namespace stdformats {

class RasterReader {
public:
  virtual ~RasterReader() = default;
  virtual void start() = 0;    // reads the header; throws DecodeError
  virtual void prepare() = 0;  // before the first row; throws DecodeError
  virtual const uint8_t* nextRow() = 0;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int components() const { return components_; }

protected:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int components_ = 3;
};

}  // namespace stdformats
