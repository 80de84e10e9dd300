// Damaged pictures replayed through the decoder: cut at every length, bytes flipped at
// random, fields set to extremes. Under the sanitizers any stray read or write shows;
// the checks here add that every outcome is consistent and allocations stay sane.
#include <gtest/gtest.h>

#include <random>

#include "picture_builders.hpp"

using namespace stdtest;
using stdformats::DecodeKind;

namespace {

void CheckOutcome(const Bytes& file, DecodeKind kind) {
  Call call;
  call.kind = kind;
  call.wantW = 33;
  call.wantH = 17;
  call.minW = 2;
  call.minH = 2;
  const Decoded d = Decode(file, call);
  const auto& requests = AllocationRequests();
  if (!d.ok) {
    ASSERT_EQ(d.wantW | d.wantH | d.srcW | d.srcH, 0);
    ASSERT_FALSE(d.gotBuffer);
    return;
  }
  if (d.gotBuffer) {
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0], static_cast<uint32_t>(d.wantW) * d.wantH * 4);
  }
  // Nothing a few kilobytes of file can describe needs more than this much output.
  for (uint32_t r : requests) ASSERT_LE(r, 64u << 20);
}

std::vector<std::pair<Bytes, DecodeKind>> Samples() {
  JpegOptions exif;
  exif.orientation = 6;
  JpegOptions progressive;
  progressive.progressive = true;
  JpegOptions gray;
  gray.components = 1;
  std::vector<Rgb> palette;
  for (int i = 0; i < 256; ++i) palette.push_back(Pattern(i, 0));
  std::vector<uint32_t> samples;
  for (int i = 0; i < 4 * 3 * 3; ++i) samples.push_back(i * 7 % 300);
  return {
      {MakeJpeg(24, 16, Pattern, exif), DecodeKind::Jpeg},
      {MakeJpeg(24, 16, Pattern, progressive), DecodeKind::Jpeg},
      {MakeJpeg(16, 8, Pattern, gray), DecodeKind::Jpeg},
      {MakeBmp24(5, 3, Pattern), DecodeKind::Raster},
      {MakeBmp8(5, 3, 12, palette, [](int x, int y) { return uint8_t(x * 50 + y); }), DecodeKind::Raster},
      {MakeBmp8(5, 3, 40, palette, [](int x, int y) { return uint8_t(x * 50 + y); }, 20), DecodeKind::Raster},
      {MakePpm(3, 4, 3, 300, samples), DecodeKind::Raster},
      {MakePpm(6, 4, 3, 300, samples), DecodeKind::Raster},
      {MakePpm(5, 4, 9, 255, samples), DecodeKind::Raster},
  };
}

}  // namespace

TEST(StdDamaged, EveryTruncationFailsOrDecodesConsistently) {
  for (const auto& [file, kind] : Samples()) {
    for (size_t n = 0; n < file.size(); ++n) {
      SCOPED_TRACE(n);
      CheckOutcome(Bytes(file.begin(), file.begin() + n), kind);
    }
  }
}

TEST(StdDamaged, RandomByteDamage) {
  std::mt19937 random(20261207);
  auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  for (const auto& [file, kind] : Samples()) {
    for (int round = 0; round < 400; ++round) {
      Bytes damaged = file;
      const size_t flips = 1 + below(4);
      for (size_t i = 0; i < flips; ++i) {
        // Mostly in the headers, where the lies are.
        const size_t span = below(2) ? std::min<size_t>(damaged.size(), 200) : damaged.size();
        damaged[below(span)] = static_cast<uint8_t>(below(256));
      }
      CheckOutcome(damaged, kind);
    }
  }
}

TEST(StdDamaged, JpegHeaderClaimingAHugePicture) {
  Bytes file = MakeJpeg(16, 16, Pattern);
  // SOF0: FF C0, length, precision, then height and width: 60000 x 60000.
  for (size_t i = 0; i + 8 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xC0) {
      file[i + 5] = file[i + 7] = 0xEA;
      file[i + 6] = file[i + 8] = 0x60;
      break;
    }
  }
  Call sizesOnly;
  sizesOnly.withBuffer = false;
  const Decoded sizes = Decode(file, sizesOnly);
  EXPECT_TRUE(sizes.ok);
  EXPECT_EQ(sizes.srcW, 60000);
  // Its pixels would not fit a 32-bit byte count: refused before anything is allocated.
  const Decoded pixels = Decode(file, {});
  EXPECT_FALSE(pixels.ok);
  EXPECT_TRUE(AllocationRequests().empty());
}
