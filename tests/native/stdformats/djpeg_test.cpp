// Photo-like JPEGs written by cjpeg decode to exactly the pixels djpeg writes with the
// same library (integer DCT, the scale the pre-scale rule picks, the library's default
// fancy upsampling and block smoothing, which the decoder leaves as they are); copies
// re-tagged by exiftool with orientations 1 to 8 come out upright.
// cjpeg, djpeg and exiftool are run at test time (scripts/install-deps.sh installs them).
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "picture_builders.hpp"

using namespace stdtest;
using stdformats::DecodeKind;

namespace {

namespace fs = std::filesystem;

#define KJ_TEXT(x) #x
#define KJ_STRING(x) KJ_TEXT(x)

Bytes ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* p = popen(command.c_str(), "r")) {
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) text.append(chunk, n);
    pclose(p);
  }
  return text;
}

// Which package brings each tool.
bool HaveTool(const char* tool, const char* package) {
  const std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) == 0) return true;
  ADD_FAILURE() << tool << " is missing: install the Debian package " << package
                << " (scripts/install-deps.sh does)";
  return false;
}

// A deterministic picture with what photos have: smooth shading, fine texture, noise
// and hard edges in every colour channel.
Bytes PhotoPpm(int w, int h) {
  const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  Bytes b(head.begin(), head.end());
  uint32_t seed = 12345;
  auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      const int dx = x - w / 3, dy = y - h / 2;
      const bool disc = dx * dx + dy * dy < (h / 4) * (h / 4);
      const bool bar = (x / 23 + y / 17) % 5 == 0;
      int r = 40 + 180 * x / (w > 1 ? w - 1 : 1) + ((x * 7 + y * 3) % 29) + noise;
      int g = 60 + 150 * y / (h > 1 ? h - 1 : 1) + ((x * x + y) % 23) - noise;
      int bl = 128 + ((x ^ y) & 63) + noise * 2;
      if (disc) r = 250 - noise, g = 200 + noise, bl = 30;
      if (bar) bl = 250 - (x % 11) * 9, g /= 2;
      b.insert(b.end(), {clamp(r), clamp(g), clamp(bl)});
    }
  return b;
}

struct Pnm {
  int w = 0, h = 0, channels = 0;
  Bytes samples;
  Rgb at(int x, int y) const {
    const uint8_t* p = samples.data() + (static_cast<size_t>(y) * w + x) * channels;
    return channels == 1 ? Rgb{p[0], p[0], p[0]} : Rgb{p[0], p[1], p[2]};
  }
};

// djpeg's binary PGM/PPM output: magic, width, height, 255, one white space, samples.
Pnm ReadPnm(const Bytes& file) {
  Pnm pnm;
  if (file.size() < 2 || file[0] != 'P' || (file[1] != '5' && file[1] != '6')) return pnm;
  std::string text(file.begin(), file.begin() + std::min<size_t>(file.size(), 64));
  int maxValue = 0, used = 0;
  if (std::sscanf(text.c_str() + 2, "%d %d %d%n", &pnm.w, &pnm.h, &maxValue, &used) != 3) return pnm;
  pnm.channels = file[1] == '5' ? 1 : 3;
  const size_t start = 2 + used + 1;
  pnm.samples.assign(file.begin() + static_cast<long>(start), file.end());
  EXPECT_EQ(maxValue, 255);
  EXPECT_EQ(pnm.samples.size(), static_cast<size_t>(pnm.w) * pnm.h * pnm.channels);
  return pnm;
}

// Where the upright picture has source pixel (c, r) of a w x h decode.
void Destination(int o, int w, int h, int c, int r, int& x, int& y) {
  switch (o) {
    case 2: x = w - 1 - c, y = r; break;
    case 3: x = w - 1 - c, y = h - 1 - r; break;
    case 4: x = c, y = h - 1 - r; break;
    case 5: x = r, y = c; break;
    case 6: x = h - 1 - r, y = c; break;
    case 7: x = h - 1 - r, y = w - 1 - c; break;
    case 8: x = r, y = w - 1 - c; break;
    default: x = c, y = r; break;
  }
}

struct SinkCapture {
  int64_t header = 0;
  int32_t w = 0, h = 0;
  Bytes rows;
  int rowCalls = 0;
  bool inOrder = true;
};
SinkCapture g_capture;

uint8_t KELV_CDECL CaptureSink(intptr_t a, int32_t b, int32_t w, int32_t h) {
  if (b < 0) {
    g_capture = {};
    g_capture.header = a;
    g_capture.w = w;
    g_capture.h = h;
    return 1;
  }
  if (b != g_capture.rowCalls) g_capture.inOrder = false;
  ++g_capture.rowCalls;
  const auto* row = reinterpret_cast<const uint8_t*>(a);
  g_capture.rows.insert(g_capture.rows.end(), row, row + static_cast<size_t>(w) * 3);
  return 1;
}

class StdDjpeg : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("stdformats_djpeg_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path Path(const std::string& name) const { return dir_ / name; }

  // cjpeg of the photo-like picture with the given options.
  Bytes Compress(int w, int h, const std::string& options, const std::string& name) {
    const fs::path source = Path(name + ".ppm");
    {
      const Bytes ppm = PhotoPpm(w, h);
      std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(ppm.data()),
                                                    static_cast<std::streamsize>(ppm.size()));
    }
    const std::string cmd = "cjpeg -quality 88 " + options + " -outfile '" + Path(name).string() +
                            "' '" + source.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return ReadAll(Path(name));
  }

  // djpeg's decode of a file at scale 1/n; the orientation tag means nothing to it.
  Pnm Reference(const std::string& name, int n) {
    const fs::path out = Path(name + "." + std::to_string(n) + ".pnm");
    if (!fs::exists(out)) {
      const std::string cmd = "djpeg -dct int -scale 1/" + std::to_string(n) + " -ppm -outfile '" +
                              out.string() + "' '" + Path(name).string() + "'";
      EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    return ReadPnm(ReadAll(out));
  }

  fs::path dir_;
};

}  // namespace

TEST_F(StdDjpeg, NativeDecoderUsesDjpegsLibrary) {
  if (!HaveTool("djpeg", "libjpeg-turbo-progs")) return;
  Dl_info ours{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&jpeg_std_error), &ours), 0);
  ASSERT_NE(ours.dli_fname, nullptr);
  // ldd names the shared library djpeg loads: "libjpeg.so.62 => /lib/.../libjpeg.so.62 (...)".
  const std::string ldd = Output("ldd \"$(command -v djpeg)\"");
  const size_t line = ldd.find("libjpeg.so");
  ASSERT_NE(line, std::string::npos) << ldd;
  const size_t arrow = ldd.find("=> ", line);
  ASSERT_NE(arrow, std::string::npos) << ldd;
  const std::string theirs = ldd.substr(arrow + 3, ldd.find(' ', arrow + 3) - arrow - 3);
  EXPECT_EQ(fs::canonical(ours.dli_fname), fs::canonical(theirs));
#ifdef LIBJPEG_TURBO_VERSION
  EXPECT_NE(Output("djpeg -version 2>&1").find("version " KJ_STRING(LIBJPEG_TURBO_VERSION) " "),
            std::string::npos);
#endif
}

// Each picture at 1/1, 1/2, 1/4 and 1/8, and once where fit and fill pick different
// scales; colour pictures also through the row sink.
TEST_F(StdDjpeg, PicturesMatchDjpegPixelForPixel) {
  if (!HaveTool("cjpeg", "libjpeg-turbo-progs") || !HaveTool("djpeg", "libjpeg-turbo-progs")) return;
  struct Variant {
    const char* name;
    int w, h;
    const char* options;
  } variants[] = {
      {"odd-420.jpg", 1001, 667, "-sample 2x2"},
      {"even-444.jpg", 640, 480, "-sample 1x1"},
      {"odd-422.jpg", 333, 251, "-sample 2x1"},
      {"gray.jpg", 333, 251, "-grayscale"},
      {"progressive-420.jpg", 517, 389, "-progressive -sample 2x2"},
      {"progressive-444-restart.jpg", 250, 130, "-progressive -sample 1x1 -restart 2"},
      {"tiny-420.jpg", 9, 7, "-sample 2x2"},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const Bytes file = Compress(v.w, v.h, v.options, v.name);
    ASSERT_FALSE(file.empty());
    struct Wish {
      int32_t w, h;
      bool fill;
      int n;
    };
    std::vector<Wish> wishes = {{0, 0, false, 1}, {v.w, v.h, false, 1}};
    for (int n : {2, 4, 8})
      if (v.w / n > 0 && v.h / n > 0) wishes.push_back({v.w / n, v.h / n, false, n});
    if (v.w >= 64 && v.h >= 64) {
      wishes.push_back({v.w / 8, v.h / 2, false, 8});  // fit: the larger factor
      wishes.push_back({v.w / 8, v.h / 2, true, 2});   // fill: the smaller one
    }
    for (const Wish& wish : wishes) {
      SCOPED_TRACE("wish " + std::to_string(wish.w) + "x" + std::to_string(wish.h) +
                   (wish.fill ? " fill" : " fit") + ", scale 1/" + std::to_string(wish.n));
      const Pnm ref = Reference(v.name, wish.n);
      ASSERT_GT(ref.w, 0);
      Call call;
      call.wantW = wish.w;
      call.wantH = wish.h;
      call.fill = wish.fill;
      const Decoded d = Decode(file, call);
      ASSERT_TRUE(d.ok);
      ASSERT_EQ(d.srcW, v.w);
      ASSERT_EQ(d.srcH, v.h);
      ASSERT_EQ(d.wantW, ref.w);
      ASSERT_EQ(d.wantH, ref.h);
      for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
          ASSERT_EQ(d.at(x, y), ref.at(x, y)) << x << "," << y;
          ASSERT_EQ(d.pixels[(static_cast<size_t>(y) * ref.w + x) * 4 + 3], 0);
        }
      if (ref.channels != 3) continue;
      call.sink = &CaptureSink;
      g_capture = {};
      const Decoded rows = Decode(file, call);
      ASSERT_TRUE(rows.ok);
      EXPECT_FALSE(rows.gotBuffer);
      EXPECT_EQ(g_capture.header, 1);
      EXPECT_EQ(g_capture.w, ref.w);
      EXPECT_EQ(g_capture.h, ref.h);
      EXPECT_TRUE(g_capture.inOrder);
      EXPECT_TRUE(g_capture.rows == ref.samples) << "rows differ from djpeg";
    }
  }
}

// exiftool writes its EXIF segment as APP1 right after the JFIF APP0 (big-endian unless
// asked otherwise), or right after the start of image once the JFIF segment is removed;
// both places are read.
TEST_F(StdDjpeg, ExiftoolOrientationsComeOutUpright) {
  if (!HaveTool("cjpeg", "libjpeg-turbo-progs") || !HaveTool("djpeg", "libjpeg-turbo-progs") ||
      !HaveTool("exiftool", "libimage-exiftool-perl"))
    return;
  const int w = 403, h = 237;
  ASSERT_FALSE(Compress(w, h, "-sample 2x2", "base.jpg").empty());
  struct Layout {
    const char* name;
    const char* options;
    bool app0;
    const char* byteOrder;
  } layouts[] = {
      {"be", "", true, "MM"},
      {"le", "-ExifByteOrder=II", true, "II"},
      {"app1only", "-JFIF:all=", false, "MM"},
  };
  for (const Layout& layout : layouts) {
    for (int o = 1; o <= 8; ++o) {
      const std::string name = std::string(layout.name) + "-" + std::to_string(o) + ".jpg";
      SCOPED_TRACE(name);
      const std::string cmd = std::string("exiftool -q -n ") + layout.options + " -Orientation=" +
                              std::to_string(o) + " -o '" + Path(name).string() + "' '" +
                              Path("base.jpg").string() + "'";
      ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
      const Bytes file = ReadAll(Path(name));
      // The layout this test means to cover.
      const size_t app1 = layout.app0 ? 20 : 2;
      ASSERT_GT(file.size(), app1 + 12);
      if (layout.app0) ASSERT_TRUE(file[2] == 0xFF && file[3] == 0xE0 && file[4] == 0 && file[5] == 16);
      ASSERT_TRUE(file[app1] == 0xFF && file[app1 + 1] == 0xE1);
      ASSERT_EQ(std::string(file.begin() + app1 + 10, file.begin() + app1 + 12), layout.byteOrder);

      const bool swap = o >= 5;
      // No wish (1/1), and a wish whose exchange for turned pictures changes the scale:
      // 403 x 237 against 200 x 40 is 1/4, against 40 x 200 it is 1/8.
      struct Wish {
        int32_t w, h;
        int n;
      } wishes[] = {{0, 0, 1}, {200, 40, swap ? 8 : 4}};
      for (const Wish& wish : wishes) {
        SCOPED_TRACE("scale 1/" + std::to_string(wish.n));
        const Pnm ref = Reference("base.jpg", wish.n);
        ASSERT_GT(ref.w, 0);
        Call call;
        call.wantW = wish.w;
        call.wantH = wish.h;
        const Decoded d = Decode(file, call);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.srcW, swap ? h : w);
        EXPECT_EQ(d.srcH, swap ? w : h);
        ASSERT_EQ(d.wantW, swap ? ref.h : ref.w);
        ASSERT_EQ(d.wantH, swap ? ref.w : ref.h);
        for (int r = 0; r < ref.h; ++r)
          for (int c = 0; c < ref.w; ++c) {
            int x = 0, y = 0;
            Destination(o, ref.w, ref.h, c, r, x, y);
            ASSERT_EQ(d.at(x, y), ref.at(c, r)) << c << "," << r;
          }

        // Rows go out as stored, the orientation with them.
        call.sink = &CaptureSink;
        const Decoded rows = Decode(file, call);
        ASSERT_TRUE(rows.ok);
        EXPECT_FALSE(rows.gotBuffer);
        EXPECT_EQ(rows.wantW, d.wantW);
        EXPECT_EQ(g_capture.header, o);
        EXPECT_EQ(g_capture.w, ref.w);
        EXPECT_EQ(g_capture.h, ref.h);
        EXPECT_TRUE(g_capture.rows == ref.samples) << "rows differ from djpeg";

        // Told to ignore the tag, the module delivers the stored picture.
        if (wish.w != 0) continue;
        call.sink = nullptr;
        call.ignoreOrientation = true;
        const Decoded stored = Decode(file, call);
        ASSERT_TRUE(stored.ok);
        ASSERT_EQ(stored.wantW, w);
        EXPECT_EQ(stored.srcW, w);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) ASSERT_EQ(stored.at(x, y), ref.at(x, y)) << x << "," << y;
      }
    }
  }
}
