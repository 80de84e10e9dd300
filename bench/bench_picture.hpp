// The photo-like test picture of the resampling benchmarks: smooth gradients with some
// noise and hard edges, the same bytes in every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/resampler.hpp"

namespace bench {

struct Picture {
  Picture(int32_t w, int32_t h) : width(w), height(h), bytes(size_t(w) * h * 4) {}
  kelv::PixelView View() { return {bytes.data(), width, height}; }
  int32_t width, height;
  std::vector<uint8_t> bytes;
};

inline Picture MakePicture(int32_t w, int32_t h) {
  Picture p(w, h);
  std::mt19937 gen(42);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = &p.bytes[(size_t(y) * w + x) * 4];
      const int noise = static_cast<int>(gen() % 32);
      px[0] = static_cast<uint8_t>((x * 255 / w + noise) & 0xFF);
      px[1] = static_cast<uint8_t>((y * 255 / h + noise) & 0xFF);
      px[2] = static_cast<uint8_t>(((x / 64 + y / 64) % 2 ? 230 : 20) + noise / 4);
      px[3] = 0;
    }
  }
  return p;
}

}  // namespace bench
