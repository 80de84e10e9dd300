// The photo-like test picture of the decoding benchmarks: smooth colour waves and ramps
// with a little noise, so the JPEG has the entropy of a real photograph, encoded at
// quality 90 with the library's default (4:2:0) sampling.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace bench {

inline std::vector<uint8_t> MakePhotoJpeg(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(width * 3);
  uint32_t noise = 12345;
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const int n = static_cast<int>(noise >> 28) - 8;
      const double s = std::sin(x * 0.004) * std::cos(y * 0.006);
      row[x * 3] = static_cast<uint8_t>(std::clamp(128 + static_cast<int>(100 * s) + n, 0, 255));
      row[x * 3 + 1] = static_cast<uint8_t>(std::clamp((x * 255 / width + y / 40) % 256 + n, 0, 255));
      row[x * 3 + 2] = static_cast<uint8_t>(std::clamp(200 - y * 150 / height + n, 0, 255));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> file(out, out + size);
  std::free(out);
  return file;
}

}  // namespace bench
