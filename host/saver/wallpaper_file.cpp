#include "saver/wallpaper_file.hpp"

#include <cstring>

#include "imaging/bitmap.hpp"

namespace kelv {

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::string WallpaperFileName(const std::string& appDataFolder, const std::string& installFolder) {
  const std::string folder = appDataFolder.empty() ? installFolder : appDataFolder + "\\Kelvora";
  return folder + "\\Kelvora.bmp";
}

std::vector<uint8_t> BmpHeader(int32_t width, int32_t height) {
  std::vector<uint8_t> header(54, 0);
  header[0] = 'B';
  header[1] = 'M';
  Put32(header, 2, 54 + BmpRowBytes(width) * static_cast<uint32_t>(height));
  Put32(header, 10, 54);
  Put32(header, 14, 40);
  Put32(header, 18, static_cast<uint32_t>(width));
  Put32(header, 22, static_cast<uint32_t>(height));
  Put16(header, 26, 1);
  Put16(header, 28, 24);
  return header;
}

std::vector<uint8_t> BmpRows(const TBitmap& bitmap, int32_t first, int32_t count) {
  const uint32_t stride = BmpRowBytes(bitmap.Width);
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * static_cast<size_t>(count), 0);
  for (int32_t r = 0; r < count; ++r) {
    const uint32_t* pixels = bitmap.Row(bitmap.Height - 1 - (first + r));
    uint8_t* out = rows.data() + static_cast<size_t>(r) * stride;
    for (int32_t x = 0; x < bitmap.Width; ++x) {
      const uint32_t p = pixels[x];  // 0x00RRGGBB: blue in the lowest byte
      out[3 * x] = static_cast<uint8_t>(p);
      out[3 * x + 1] = static_cast<uint8_t>(p >> 8);
      out[3 * x + 2] = static_cast<uint8_t>(p >> 16);
    }
  }
  return rows;
}

}  // namespace kelv
