// The wallpaper the saver leaves behind: the screen it showed last, as a 24-bit BMP file in
// the user's application-data folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

class TBitmap;

// The file: "<AppData>\Kelvora\Kelvora.bmp", or "<install folder>\Kelvora.bmp" when there is
// no application-data folder.
std::string WallpaperFileName(const std::string& appDataFolder, const std::string& installFolder);

// Bytes per BMP row of a picture `width` pixels wide: three per pixel, padded to four.
inline uint32_t BmpRowBytes(int32_t width) { return (static_cast<uint32_t>(width) * 3 + 3) & ~3u; }

// The 54-byte header of a bottom-up 24-bit BMP of width × height.
std::vector<uint8_t> BmpHeader(int32_t width, int32_t height);

// Pixel rows first..first+count-1 counted from the bottom of the bitmap, as the file holds
// them: blue, green, red per pixel, each row padded with zeros.
std::vector<uint8_t> BmpRows(const TBitmap& bitmap, int32_t first, int32_t count);

}  // namespace kelv
