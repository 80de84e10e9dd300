// Writes every stamp mask as a PNG picture (stamp_masks/<name>.png beside the test run,
// each cell 4 x 4 pixels, stamp black on white, the grid's centre cell marked red) so
// that the shapes can be looked at. The test fails only when a file cannot be written.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "stamp/stamp_masks.hpp"

namespace {

namespace st = kelv::stamp;

uint32_t Crc(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFFu) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32(out, Crc(body.data(), body.size()) ^ 0xFFFFFFFFu);
}

// An RGB PNG whose picture data is a zlib stream of stored (uncompressed) blocks.
std::vector<uint8_t> Png(int w, int h, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), rgb.begin() + static_cast<ptrdiff_t>(y) * w * 3,
               rgb.begin() + static_cast<ptrdiff_t>(y + 1) * w * 3);
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size(); at += 65535) {
    const size_t len = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + len == raw.size() ? 1 : 0);
    z.push_back(len & 0xFF);
    z.push_back(len >> 8);
    z.push_back(~len & 0xFF);
    z.push_back((~len >> 8) & 0xFF);
    z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(at), raw.begin() + static_cast<ptrdiff_t>(at + len));
  }
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, (b << 16) | a);
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  Put32(ihdr, static_cast<uint32_t>(w));
  Put32(ihdr, static_cast<uint32_t>(h));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}

TEST(StampMaskPictures, WrittenAsPngForTheEye) {
  const char* names[9] = {"square", "circle", "butterfly", "flag", "flower",
                          "dollar", "ufo",    "snowflake", "blot"};
  std::filesystem::create_directories("stamp_masks");
  constexpr int kScale = 4, side = st::kMaskSide * kScale;
  std::vector<uint8_t> mask(st::kMaskBytes);
  for (int shape = 0; shape < 9; ++shape) {
    st::FillMask(mask.data(), shape);
    std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const int mx = x / kScale, my = y / kScale;
        const bool on = mask[my * st::kMaskSide + mx] != 0;
        const bool centre = mx == st::kMaskCentre && my == st::kMaskCentre;
        const bool grid = x % (10 * kScale) == 0 || y % (10 * kScale) == 0;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * side + x) * 3];
        p[0] = centre ? 230 : on ? 0 : grid ? 215 : 255;
        p[1] = centre ? 40 : on ? 0 : grid ? 215 : 255;
        p[2] = centre ? 40 : on ? 0 : grid ? 230 : 255;
      }
    const std::vector<uint8_t> file = Png(side, side, rgb);
    const std::string path = std::string("stamp_masks/") + names[shape] + ".png";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
  }
}

}  // namespace
