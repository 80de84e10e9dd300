// Pictures written by another program (ImageMagick, run at test time) decode to exactly
// the pixels that program reads back; the variants this module refuses fail cleanly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "picture_builders.hpp"

using namespace stdtest;
using stdformats::DecodeKind;

namespace {

namespace fs = std::filesystem;

Bytes ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

class StdReference : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick missing";
    dir_ = fs::temp_directory_path() / ("stdformats_ref_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // Writes the built-in test picture with the given options; nonempty on success.
  // Bitmaps are written with Windows 3 (".bmp") or OS/2 (".bmp2") headers.
  Bytes Make(const std::string& options, const std::string& name) {
    const std::string ext = fs::path(name).extension().string();
    const std::string format = ext == ".bmp"    ? "bmp3:"
                               : ext == ".bmp2" ? "bmp2:"
                               : ext == ".bmp4" ? "bmp:"
                                                : "";
    const std::string cmd =
        "convert rose: " + options + " '" + format + (dir_ / name).string() + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return {};
    return ReadAll(dir_ / name);
  }
  Bytes Reference(const std::string& name) {
    const fs::path out = dir_ / (name + ".rgb");
    const std::string ext = fs::path(name).extension().string();
    const std::string format = ext == ".bmp2" ? "bmp:" : "";
    const std::string cmd =
        "convert '" + format + (dir_ / name).string() + "' -depth 8 'rgb:" + out.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return ReadAll(out);
  }
  void ExpectSame(const std::string& options, const std::string& name, DecodeKind kind) {
    SCOPED_TRACE(name);
    const Bytes file = Make(options, name);
    ASSERT_FALSE(file.empty());
    Call call;
    call.kind = kind;
    const Decoded d = Decode(file, call);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.wantW, 70);
    ASSERT_EQ(d.wantH, 46);
    const Bytes rgb = Reference(name);
    ASSERT_EQ(rgb.size(), 70u * 46 * 3);
    for (int y = 0; y < 46; ++y)
      for (int x = 0; x < 70; ++x) {
        const uint8_t* p = rgb.data() + (y * 70 + x) * 3;
        ASSERT_EQ(d.at(x, y), (Rgb{p[0], p[1], p[2]})) << x << "," << y;
      }
  }
  void ExpectRefused(const std::string& options, const std::string& name) {
    SCOPED_TRACE(name);
    const Bytes file = Make(options, name);
    ASSERT_FALSE(file.empty());
    Call call;
    call.kind = DecodeKind::Raster;
    const Decoded d = Decode(file, call);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.wantW | d.wantH | d.srcW | d.srcH, 0);
  }
  fs::path dir_;
};

}  // namespace

TEST_F(StdReference, AcceptedVariantsMatchPixelForPixel) {
  ExpectSame("-compress none", "24.bmp", DecodeKind::Raster);
  ExpectSame("-colors 40 -type palette -compress none", "8.bmp", DecodeKind::Raster);
  ExpectSame("-colors 40 -type palette", "os2-8.bmp2", DecodeKind::Raster);
  ExpectSame("", "os2-24.bmp2", DecodeKind::Raster);
  ExpectSame("-compress none", "p3.ppm", DecodeKind::Raster);
  ExpectSame("", "p6.ppm", DecodeKind::Raster);
  ExpectSame("-depth 16", "p6-16.ppm", DecodeKind::Raster);
  ExpectSame("-depth 16 -compress none", "p3-16.ppm", DecodeKind::Raster);
  ExpectSame("-colorspace gray", "p5.pgm", DecodeKind::Raster);
  ExpectSame("-colorspace gray -compress none", "p2.pgm", DecodeKind::Raster);
  ExpectSame("-quality 85", "base.jpg", DecodeKind::Jpeg);
  ExpectSame("-quality 85 -interlace JPEG", "progressive.jpg", DecodeKind::Jpeg);
  ExpectSame("-colorspace gray", "gray.jpg", DecodeKind::Jpeg);
}

TEST_F(StdReference, RefusedBitmapVariants) {
  ExpectRefused("-colors 40 -type palette -compress RLE", "rle.bmp");
  ExpectRefused("-alpha on -define bmp3:alpha=true", "32.bmp");
  ExpectRefused("-define bmp:subtype=RGB565", "16.bmp");
  ExpectRefused("", "v5-header.bmp4");
  ExpectRefused("-type bilevel", "1.bmp");
}
