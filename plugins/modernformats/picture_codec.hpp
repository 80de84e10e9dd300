// What the decode routine asks of a codec: the picture's size in display orientation,
// then its pixels as 8-bit RGB rows, top to bottom, upright. A codec is opened on the
// file's bytes, which outlive it; every failure is a DecodeError (or std::bad_alloc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "plugincommon/exif_reader.hpp"

namespace modernformats {

// Decoded pixels: `height` rows of `width` RGB triplets, `stride` bytes apart.
class RgbRows {
public:
  virtual ~RgbRows() = default;
  virtual uint32_t width() const = 0;
  virtual uint32_t height() const = 0;
  virtual const uint8_t* row(uint32_t r) const = 0;
};

class PictureCodec {
public:
  virtual ~PictureCodec() = default;
  // The size the picture is shown at (after the container's rotation, for HEIF).
  virtual uint32_t width() const = 0;
  virtual uint32_t height() const = 0;
  // Whether decode() can deliver a smaller size than width() x height() (pre-scaling).
  virtual bool scales() const = 0;
  // The pixels at outW x outH; that is the full size unless scales() is true.
  virtual std::unique_ptr<RgbRows> decode(uint32_t outW, uint32_t outH) = 0;
  // When the picture was taken, from the file's EXIF block (bytes already in memory);
  // empty when there is none or it holds no valid date.
  virtual kelv::plugin::DateTakenText dateTaken() const = 0;
};

// The two codec families, by the file's leading bytes.
enum class Container { Unknown, Webp, Heif };
Container SniffContainer(std::span<const uint8_t> bytes);

std::unique_ptr<PictureCodec> OpenWebp(std::span<const uint8_t> bytes);
std::unique_ptr<PictureCodec> OpenHeif(std::span<const uint8_t> bytes);

}  // namespace modernformats
