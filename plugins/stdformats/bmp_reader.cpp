#include "bmp_reader.hpp"

#include "decode_error.hpp"

namespace stdformats {

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void ReadOrFail(ByteSource& src, void* dst, size_t n) {
  if (!src.readExact(dst, n)) throw DecodeError(kPrematureEnd);
}

}  // namespace

void BmpReader::start() {
  uint8_t fileHeader[14];
  ReadOrFail(src_, fileHeader, sizeof fileHeader);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
    throw DecodeError("Not a BMP file - does not start with BM");
  const uint32_t dataOffset = Le32(fileHeader + 10);

  uint8_t info[64];
  ReadOrFail(src_, info, 4);
  const uint32_t headerSize = Le32(info);
  if (headerSize != 12 && headerSize != 40 && headerSize != 64)
    throw DecodeError("Invalid BMP file: bad header length");
  ReadOrFail(src_, info + 4, headerSize - 4);

  int64_t width, height;
  uint32_t planes, colorsUsed = 0, entrySize;
  if (headerSize == 12) {
    width = Le16(info + 4);
    height = Le16(info + 6);
    planes = Le16(info + 8);
    bitsPerPixel_ = static_cast<int>(Le16(info + 10));
    entrySize = 3;
  } else {
    width = static_cast<int32_t>(Le32(info + 4));
    height = static_cast<int32_t>(Le32(info + 8));
    planes = Le16(info + 12);
    bitsPerPixel_ = static_cast<int>(Le16(info + 14));
    if (Le32(info + 16) != 0) throw DecodeError("Sorry, compressed BMPs not yet supported");
    colorsUsed = Le32(info + 32);
    entrySize = 4;
  }
  if (planes != 1) throw DecodeError("Invalid BMP file: biPlanes not equal to 1");
  if (bitsPerPixel_ != 8 && bitsPerPixel_ != 24)
    throw DecodeError("Only 8- and 24-bit BMP files are supported");
  // Rows are stored bottom-up; a negative height (top-down) or empty size is not ours.
  if (width <= 0 || height <= 0) throw DecodeError("Empty BMP image");

  uint32_t mapBytes = 0;
  if (bitsPerPixel_ == 8) {
    if (colorsUsed == 0) colorsUsed = 256;
    if (colorsUsed > 256) throw DecodeError("Unsupported BMP colormap format");
    mapBytes = colorsUsed * entrySize;
    uint8_t map[256 * 4];
    ReadOrFail(src_, map, mapBytes);
    for (uint32_t i = 0; i < colorsUsed; ++i) {
      const uint8_t* entry = map + i * entrySize;  // blue, green, red (, reserved)
      palette_[i * 3 + 0] = entry[2];
      palette_[i * 3 + 1] = entry[1];
      palette_[i * 3 + 2] = entry[0];
    }
  }
  const int64_t pad = static_cast<int64_t>(dataOffset) - (14 + headerSize + mapBytes);
  if (pad < 0) throw DecodeError("Invalid BMP file: bad header length");
  src_.seek(src_.position() + static_cast<uint64_t>(pad));

  width_ = static_cast<int32_t>(width);
  height_ = static_cast<int32_t>(height);
  components_ = 3;
  const uint64_t bytesPerPixel = static_cast<uint64_t>(bitsPerPixel_ / 8);
  rowBytes_ = (static_cast<uint64_t>(width_) * bytesPerPixel + 3) & ~uint64_t{3};
}

void BmpReader::prepare() {
  const uint64_t total = rowBytes_ * static_cast<uint64_t>(height_);
  // The file must hold every row before anything the size of the picture is allocated.
  if (total > src_.remaining() || total > SIZE_MAX) throw DecodeError(kPrematureEnd);
  pixels_ = NewHeapBlock(static_cast<size_t>(total));
  ReadOrFail(src_, pixels_.As<uint8_t>(), pixels_.Size());
  row_ = NewHeapBlock(static_cast<size_t>(width_) * 3);
  nextRow_ = 0;
}

const uint8_t* BmpReader::nextRow() {
  if (nextRow_ >= height_) throw DecodeError("Row requested past the end of the image");
  const uint64_t fileRow = static_cast<uint64_t>(height_ - 1 - nextRow_);
  ++nextRow_;
  const uint8_t* in = pixels_.As<uint8_t>() + fileRow * rowBytes_;
  uint8_t* out = row_.As<uint8_t>();
  if (bitsPerPixel_ == 8) {
    for (int32_t c = 0; c < width_; ++c, out += 3) {
      const uint8_t* rgb = palette_ + in[c] * 3;
      out[0] = rgb[0];
      out[1] = rgb[1];
      out[2] = rgb[2];
    }
  } else {
    for (int32_t c = 0; c < width_; ++c, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  return row_.As<uint8_t>();
}

}  // namespace stdformats
