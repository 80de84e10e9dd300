// BMP and PPM decoding: accepted variants, pixel order and every refusal.
#include <gtest/gtest.h>

#include "picture_builders.hpp"

using namespace stdtest;
using stdformats::DecodeKind;

namespace {

Decoded DecodeRaster(const Bytes& file, Call call = {}) {
  call.kind = DecodeKind::Raster;
  return Decode(file, call);
}

void ExpectPicture(const Decoded& d, int w, int h, const PixelFn& pixel) {
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.wantW, w);
  ASSERT_EQ(d.wantH, h);
  EXPECT_EQ(d.srcW, w);
  EXPECT_EQ(d.srcH, h);
  ASSERT_TRUE(d.gotBuffer);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(d.at(x, y), pixel(x, y)) << x << "," << y;
      ASSERT_EQ(d.pixels[(static_cast<size_t>(y) * w + x) * 4 + 3], 0);
    }
}

void ExpectFailure(const Bytes& file, const char* why) {
  SCOPED_TRACE(why);
  Call call;
  call.wantW = 640;
  call.wantH = 480;
  call.minW = 1;
  call.minH = 1;
  const Decoded d = DecodeRaster(file, call);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.wantW, 0);
  EXPECT_EQ(d.wantH, 0);
  EXPECT_EQ(d.srcW, 0);
  EXPECT_EQ(d.srcH, 0);
  EXPECT_FALSE(d.gotBuffer);
}

std::vector<Rgb> Palette(int n) {
  std::vector<Rgb> p;
  for (int i = 0; i < n; ++i) p.push_back(Pattern(i, i * 3));
  return p;
}

uint8_t Index(int x, int y) { return static_cast<uint8_t>((x * 5 + y * 3) % 16); }

void SetLe(Bytes& b, size_t at, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

TEST(StdBmp, TwentyFourBitBottomUpWithPaddedRows) {
  for (int w : {1, 2, 3, 5, 8}) {
    SCOPED_TRACE(w);
    ExpectPicture(DecodeRaster(MakeBmp24(w, 3, Pattern)), w, 3, Pattern);
  }
}

TEST(StdBmp, EightBitWithEveryHeaderKind) {
  const auto palette = Palette(16);
  const PixelFn expected = [&](int x, int y) { return palette[Index(x, y)]; };
  for (int header : {12, 40, 64}) {
    SCOPED_TRACE(header);
    ExpectPicture(DecodeRaster(MakeBmp8(7, 5, header, palette, Index)), 7, 5, expected);
  }
  // A short colour map (16 used entries) moves the pixel data up accordingly.
  ExpectPicture(DecodeRaster(MakeBmp8(7, 5, 40, palette, Index, 16)), 7, 5, expected);
}

TEST(StdBmp, IndexBeyondTheColourMapIsBlack) {
  const auto palette = Palette(4);
  const Decoded d = DecodeRaster(MakeBmp8(6, 2, 40, palette, [](int x, int) { return x < 3 ? 1 : 200; }, 4));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.at(0, 0), palette[1]);
  EXPECT_EQ(d.at(5, 1), (Rgb{0, 0, 0}));
}

TEST(StdBmp, RefusedVariantsFailCleanly) {
  const Bytes good = MakeBmp8(4, 4, 40, Palette(256), Index);
  Bytes b = good;
  b[1] = 'A';
  ExpectFailure(b, "BA signature");
  b = good;
  SetLe(b, 14, 20, 4);
  ExpectFailure(b, "header size 20");
  b = good;
  SetLe(b, 26, 2, 2);
  ExpectFailure(b, "two planes");
  b = good;
  SetLe(b, 30, 1, 4);
  ExpectFailure(b, "RLE compression");
  b = good;
  SetLe(b, 28, 32, 2);
  ExpectFailure(b, "32 bits per pixel");
  b = good;
  SetLe(b, 28, 16, 2);
  ExpectFailure(b, "16 bits per pixel");
  b = good;
  SetLe(b, 46, 300, 4);
  ExpectFailure(b, "300 colours");
  b = good;
  SetLe(b, 22, static_cast<uint32_t>(-4), 4);
  ExpectFailure(b, "top-down height");
  b = good;
  SetLe(b, 10, 20, 4);
  ExpectFailure(b, "pixel data inside the header");
  ExpectFailure(Bytes(good.begin(), good.end() - 1), "last byte missing");
  ExpectFailure({'G', 'I', 'F', '8'}, "unknown first byte");
  b = good;
  SetLe(b, 18, 0x7FFFFFFF, 4);
  SetLe(b, 22, 0x7FFFFFFF, 4);
  ExpectFailure(b, "huge dimensions");
  b = good;
  SetLe(b, 18, 30000, 4);
  SetLe(b, 22, 30000, 4);
  ExpectFailure(b, "dimensions larger than the file");
  EXPECT_TRUE(AllocationRequests().empty());
}

TEST(StdPpm, AllFourKindsWithCommentsAndRescaling) {
  const int w = 5, h = 3;
  std::vector<uint32_t> rgb, gray;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb c = Pattern(x, y);
      rgb.insert(rgb.end(), {c.r, c.g, c.b});
      gray.push_back(c.g);
    }
  const PixelFn colour = Pattern;
  const PixelFn grey = [](int x, int y) {
    const uint8_t g = Pattern(x, y).g;
    return Rgb{g, g, g};
  };
  ExpectPicture(DecodeRaster(MakePpm(6, w, h, 255, rgb)), w, h, colour);
  ExpectPicture(DecodeRaster(MakePpm(3, w, h, 255, rgb)), w, h, colour);
  ExpectPicture(DecodeRaster(MakePpm(5, w, h, 255, gray)), w, h, grey);
  ExpectPicture(DecodeRaster(MakePpm(2, w, h, 255, gray)), w, h, grey);

  // Sixteen-bit raw samples and a small text maximum both come back to 0..255.
  std::vector<uint32_t> wide;
  for (uint32_t s : rgb) wide.push_back(s * 257);
  ExpectPicture(DecodeRaster(MakePpm(6, w, h, 65535, wide)), w, h, colour);
  const Decoded small = DecodeRaster(MakePpm(3, 2, 1, 15, {0, 15, 7, 8, 1, 16}));
  ASSERT_TRUE(small.ok);
  EXPECT_EQ(small.at(0, 0), (Rgb{0, 255, 119}));
  EXPECT_EQ(small.at(1, 0), (Rgb{136, 17, 255}));  // 16 is above the maximum: taken as 15
}

TEST(StdPpm, RefusedFilesFailCleanly) {
  ExpectFailure({'P', '4', '\n', '1', ' ', '1', '\n', 0}, "bitmap P4");
  ExpectFailure({'P', '6', '\n', 'x', ' ', '1'}, "letters for a width");
  ExpectFailure({'P', '3', ' ', '1', ' ', '1', ' ', '2', '5', '5', ' ', '1', ' ', 'a', ' ', '3'}, "letters in samples");
  ExpectFailure(MakePpm(6, 0, 3, 255, {}), "zero width");
  ExpectFailure(MakePpm(6, 3, 3, 0, std::vector<uint32_t>(27, 0)), "zero maximum");
  ExpectFailure(MakePpm(6, 3, 3, 70000, std::vector<uint32_t>(27, 0)), "maximum above 16 bits");
  ExpectFailure(MakePpm(6, 4000000, 4000000, 255, {1, 2, 3}), "header larger than the file");
  ExpectFailure(MakePpm(5, 60000, 60000, 255, {1}), "gray header larger than the file");
  EXPECT_TRUE(AllocationRequests().empty());
  const Bytes p6 = MakePpm(6, 3, 3, 255, std::vector<uint32_t>(27, 9));
  ExpectFailure(Bytes(p6.begin(), p6.end() - 1), "truncated raw data");
  const Bytes p3 = MakePpm(3, 3, 3, 255, std::vector<uint32_t>(27, 9));
  ExpectFailure(Bytes(p3.begin(), p3.end() - 4), "truncated text data");
}

TEST(StdRaster, TheFirstByteChoosesTheReader) {
  // The decode kind only says BMP or PPM; the bytes decide which.
  const Bytes ppm = MakePpm(6, 2, 2, 255, std::vector<uint32_t>(12, 40));
  const Bytes bmp = MakeBmp24(2, 2, Pattern);
  EXPECT_TRUE(DecodeRaster(ppm).ok);
  EXPECT_TRUE(DecodeRaster(bmp).ok);
  EXPECT_FALSE(Decode(bmp, Call{}).ok);  // a BMP through the JPEG decoder
}
