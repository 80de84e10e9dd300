#include "ink_rows.hpp"

namespace stdformats {

namespace {

// Round-to-nearest of a x b / 255; a product over 255 is never exactly half-way.
inline uint8_t Light(uint32_t a, uint32_t b) { return static_cast<uint8_t>((a * b + 127) / 255); }

}  // namespace

void InkRowToRgb(uint8_t* row, uint32_t w, bool inverted) {
  // Forward in place: triplet c is written at 3c, never past sample 4c still to be read.
  const uint8_t* in = row;
  uint8_t* out = row;
  const uint32_t flip = inverted ? 0 : 255;  // what is left of each channel: sample, or 255 - sample
  for (uint32_t c = 0; c < w; ++c, in += 4, out += 3) {
    const uint32_t k = in[3] ^ flip, cyan = in[0] ^ flip, magenta = in[1] ^ flip, yellow = in[2] ^ flip;
    out[0] = Light(cyan, k);
    out[1] = Light(magenta, k);
    out[2] = Light(yellow, k);
  }
}

}  // namespace stdformats
