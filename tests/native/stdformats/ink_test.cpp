// Four-component (CMYK and YCCK) JPEGs written by Pillow and ImageMagick, with their Adobe
// segment (samples stored as 255 minus the ink) and with it removed by exiftool (samples
// are the ink): every pixel is (255 - ink)(255 - black ink) / 255 per channel, rounded to
// nearest, on the samples the library decodes; at every pre-scale, through the row sink,
// turned by an EXIF orientation and under the size filter.
// The tools run at test time: Pillow on Debian's own Python (python3-pil), ImageMagick's
// convert and exiftool (scripts/install-deps.sh installs them). Pillow also reads every
// file back: its samples are the reference the formula is applied to.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "picture_builders.hpp"

using namespace stdtest;

namespace {

namespace fs = std::filesystem;

// Debian's python3-pil serves the system's Python, whatever else PATH may offer.
constexpr const char* kPython = "/usr/bin/python3";

// "save": a picture from raw C, M, Y, K inks. "samples": what a JPEG decodes to at the
// scales 1/1, 1/2, 1/4 and 1/8, into <out>.<n> as "w h\n" and then the bytes. Pillow hands
// CMYK back as 255 minus every sample, whether the file has an Adobe segment or not; the
// samples are therefore 255 minus its bytes.
constexpr const char* kPillowScript = R"(import sys
from PIL import Image
if sys.argv[1] == "save":
    _, _, raw, w, h, out, quality = sys.argv
    Image.frombytes("CMYK", (int(w), int(h)), open(raw, "rb").read()).save(out, quality=int(quality))
else:
    _, _, path, out = sys.argv
    for n in (1, 2, 4, 8):
        im = Image.open(path)
        assert im.mode == "CMYK", im.mode
        if n > 1:
            im.draft("CMYK", (im.size[0] // n, im.size[1] // n))
        im.load()
        with open("%s.%d" % (out, n), "wb") as f:
            f.write(b"%d %d\n" % im.size)
            f.write(bytes(255 - b for b in im.tobytes()))
)";

constexpr int kW = 96, kH = 64;

struct Ink {
  uint8_t c, m, y, k;
};

// Six solid blocks of 16 x 16 along the top (cyan, magenta, yellow, black, no ink, a mix),
// shading and texture in every ink below.
Ink InkAt(int x, int y) {
  if (y < 16) {
    static const Ink blocks[6] = {{255, 0, 0, 0},   {0, 255, 0, 0}, {0, 0, 255, 0},
                                  {0, 0, 0, 255},   {0, 0, 0, 0},   {100, 50, 200, 40}};
    return blocks[x / 16];
  }
  return {static_cast<uint8_t>(x * 255 / (kW - 1)), static_cast<uint8_t>((y - 16) * 255 / (kH - 17)),
          static_cast<uint8_t>((x * 7 + y * 13) % 256), static_cast<uint8_t>((x / 8 + y / 8) % 3 * 60)};
}

Bytes ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

bool HaveTool(const std::string& check, const char* package) {
  if (std::system((check + " >/dev/null 2>&1").c_str()) == 0) return true;
  ADD_FAILURE() << "missing: install the Debian package " << package << " (scripts/install-deps.sh does)";
  return false;
}

// The colour transform byte of the file's Adobe segment (0 CMYK, 2 YCCK), or -1 without one.
int AdobeTransform(const Bytes& f) {
  for (size_t p = 2; p + 4 <= f.size() && f[p] == 0xFF && f[p + 1] != 0xDA;) {
    const size_t length = static_cast<size_t>(f[p + 2]) << 8 | f[p + 3];
    if (f[p + 1] == 0xEE && length >= 14 && p + 2 + length <= f.size() &&
        std::string(f.begin() + static_cast<long>(p) + 4, f.begin() + static_cast<long>(p) + 9) == "Adobe")
      return f[p + 15];  // after the length, "Adobe", version and two flag words
    p += 2 + length;
  }
  return -1;
}

// The screen colour of decoded samples: the ink is 255 - sample in Adobe files.
Rgb Expected(const uint8_t* s, bool adobe) {
  auto left = [&](int i) { return adobe ? s[i] : 255 - s[i]; };
  auto light = [&](int i) { return static_cast<uint8_t>(std::lround(left(i) * left(3) / 255.0)); };
  return {light(0), light(1), light(2)};
}

struct Samples {
  int w = 0, h = 0;
  Bytes cmyk;
  Rgb expected(int x, int y, bool adobe) const {
    return Expected(cmyk.data() + (static_cast<size_t>(y) * w + x) * 4, adobe);
  }
};

struct RowCapture {
  int64_t header = 0;
  int32_t w = 0, h = 0;
  Bytes rows;
  bool inOrder = true;
};
RowCapture g_rows;

uint8_t KELV_CDECL CaptureRows(intptr_t a, int32_t index, int32_t w, int32_t h) {
  if (index < 0) {
    g_rows = {};
    g_rows.header = a;
    g_rows.w = w;
    g_rows.h = h;
    return 1;
  }
  if (static_cast<size_t>(index) * w * 3 != g_rows.rows.size()) g_rows.inOrder = false;
  const auto* row = reinterpret_cast<const uint8_t*>(a);
  g_rows.rows.insert(g_rows.rows.end(), row, row + static_cast<size_t>(w) * 3);
  return 1;
}

class StdInk : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("stdformats_ink_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    std::ofstream(File("pillow.py")) << kPillowScript;
    Bytes raw;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const Ink i = InkAt(x, y);
        raw.insert(raw.end(), {i.c, i.m, i.y, i.k});
      }
    std::ofstream(File("ink.cmyk"), std::ios::binary)
        .write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }
  fs::path File(const std::string& name) const { return dir_ / name; }
  bool Run(const std::string& cmd) {
    const bool ok = std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
    EXPECT_TRUE(ok) << cmd;
    return ok;
  }
  // Pillow reads the file at every scale.
  bool ReadBack(const std::string& name) {
    return Run(std::string(kPython) + " " + Path("pillow.py") + " samples " + Path(name) + " " +
               Path(name + ".samples"));
  }
  // Its samples at scale 1/n.
  Samples Reference(const std::string& name, int n) const {
    Samples s;
    const Bytes raw = ReadAll(File(name + ".samples." + std::to_string(n)));
    const auto newline = std::find(raw.begin(), raw.end(), '\n');
    if (newline == raw.end() || std::sscanf(std::string(raw.begin(), newline).c_str(), "%d %d", &s.w, &s.h) != 2)
      return s;
    s.cmyk.assign(newline + 1, raw.end());
    EXPECT_EQ(s.cmyk.size(), static_cast<size_t>(s.w) * s.h * 4);
    return s;
  }

  fs::path dir_;
};

}  // namespace

TEST_F(StdInk, PillowAndImageMagickFilesShowTheLightTheInksLeave) {
  if (!HaveTool(std::string(kPython) + " -c 'import PIL'", "python3-pil") ||
      !HaveTool("convert -version", "imagemagick") || !HaveTool("exiftool -ver", "libimage-exiftool-perl"))
    return;
  const std::string size = std::to_string(kW) + "x" + std::to_string(kH);
  const std::string pillow = std::string(kPython) + " " + Path("pillow.py") + " save " + Path("ink.cmyk") +
                             " " + std::to_string(kW) + " " + std::to_string(kH) + " ";
  const std::string magick = "convert -size " + size + " -depth 8 cmyk:" + Path("ink.cmyk") + " ";
  const std::string noAdobe = "exiftool -q -Adobe:all= -o ";
  struct Case {
    const char* name;
    std::string make;
    int transform;                  // the Adobe segment's colour transform, -1: none
    std::optional<Rgb> cyanBlock;   // what the solid cyan block must look like
  } cases[] = {
      // Pillow writes CMYK with an Adobe segment, each sample 255 minus the ink.
      {"pillow.jpg", pillow + Path("pillow.jpg") + " 92", 0, Rgb{0, 255, 255}},
      {"pillow-q100.jpg", pillow + Path("pillow-q100.jpg") + " 100", 0, Rgb{0, 255, 255}},
      // Without the segment the same samples are the inks: full inks but cyan, so black.
      {"pillow-plain.jpg", noAdobe + Path("pillow-plain.jpg") + " " + Path("pillow.jpg"), -1, Rgb{0, 0, 0}},
      // ImageMagick writes YCCK (the library turns it back into CMYK), inverted too.
      {"magick.jpg", magick + "-quality 90 " + Path("magick.jpg"), 2, Rgb{0, 255, 255}},
      {"magick-progressive.jpg", magick + "-quality 90 -interlace JPEG " + Path("magick-progressive.jpg"), 2,
       Rgb{0, 255, 255}},
      // Its samples without the segment: four plain components, read as inks.
      {"magick-plain.jpg", noAdobe + Path("magick-plain.jpg") + " " + Path("magick.jpg"), -1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Run(c.make));
    const Bytes file = ReadAll(File(c.name));
    ASSERT_EQ(AdobeTransform(file), c.transform);
    const bool adobe = c.transform >= 0;
    ASSERT_TRUE(ReadBack(c.name));

    for (int n : {1, 2, 4, 8}) {
      SCOPED_TRACE("scale 1/" + std::to_string(n));
      const Samples ref = Reference(c.name, n);
      ASSERT_EQ(ref.w, (kW + n - 1) / n);
      ASSERT_EQ(ref.h, (kH + n - 1) / n);
      Call call;
      call.wantW = kW / n;
      call.wantH = kH / n;
      const Decoded d = Decode(file, call);
      ASSERT_TRUE(d.ok);
      ASSERT_TRUE(d.gotBuffer);
      EXPECT_EQ(d.srcW, kW);
      EXPECT_EQ(d.srcH, kH);
      ASSERT_EQ(d.wantW, ref.w);
      ASSERT_EQ(d.wantH, ref.h);
      for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
          ASSERT_EQ(d.at(x, y), ref.expected(x, y, adobe)) << x << "," << y;
          ASSERT_EQ(d.pixels[(static_cast<size_t>(y) * ref.w + x) * 4 + 3], 0);
        }
      if (c.cyanBlock && n <= 2) {
        const Rgb cyan = d.at(8 / n, 8 / n), want = *c.cyanBlock;
        EXPECT_LE(std::abs(cyan.r - want.r) + std::abs(cyan.g - want.g) + std::abs(cyan.b - want.b), 3)
            << int(cyan.r) << " " << int(cyan.g) << " " << int(cyan.b);
      }
      if (n != 1) continue;

      // The same colours through the row sink, unturned and in order.
      call.sink = &CaptureRows;
      g_rows = {};
      const Decoded rows = Decode(file, call);
      ASSERT_TRUE(rows.ok);
      EXPECT_FALSE(rows.gotBuffer);
      EXPECT_EQ(g_rows.header, 1);
      ASSERT_EQ(g_rows.w, kW);
      ASSERT_EQ(g_rows.h, kH);
      EXPECT_TRUE(g_rows.inOrder);
      ASSERT_EQ(g_rows.rows.size(), static_cast<size_t>(kW) * kH * 3);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          const uint8_t* p = g_rows.rows.data() + (static_cast<size_t>(y) * kW + x) * 3;
          ASSERT_EQ((Rgb{p[0], p[1], p[2]}), ref.expected(x, y, adobe)) << "row " << x << "," << y;
        }

      // Orientation 6 written by exiftool: sides exchanged, source (x, y) at (h-1-y, x).
      const std::string turned = std::string("turned-") + c.name;
      ASSERT_TRUE(Run("exiftool -q -n -Orientation=6 -o " + Path(turned) + " " + Path(c.name)));
      const Decoded t = Decode(ReadAll(File(turned)), Call{});
      ASSERT_TRUE(t.ok);
      ASSERT_EQ(t.wantW, kH);
      ASSERT_EQ(t.wantH, kW);
      EXPECT_EQ(t.srcW, kH);
      EXPECT_EQ(t.srcH, kW);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
          ASSERT_EQ(t.at(kH - 1 - y, x), ref.expected(x, y, adobe)) << "turned " << x << "," << y;

      // The size filter sees the turned sides and refuses a picture below it.
      Call filtered;
      filtered.minW = kW + 1;
      filtered.minH = kW + 1;
      const Decoded refused = Decode(ReadAll(File(turned)), filtered);
      EXPECT_TRUE(refused.ok);
      EXPECT_FALSE(refused.gotBuffer);
      EXPECT_EQ(refused.srcW, -kH);
      EXPECT_EQ(refused.srcH, -kW);
    }
  }
}
