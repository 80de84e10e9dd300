// JPEG decoding: orientation, pre-scaling, the row sink and sizes-only calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture_builders.hpp"

using namespace stdtest;
using stdformats::DecodeKind;

namespace {

// Blocks of flat colour survive the compression nearly unchanged.
Rgb Blocks(int x, int y) {
  const bool right = x >= 16, bottom = y >= 8;
  if (!right && !bottom) return {250, 10, 10};
  if (right && !bottom) return {10, 250, 10};
  if (!right && bottom) return {10, 10, 250};
  return {250, 250, 250};
}

bool Near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) < 24 && std::abs(a.g - b.g) < 24 && std::abs(a.b - b.b) < 24;
}

struct SinkLog {
  std::vector<std::vector<int64_t>> calls;
  std::vector<std::vector<uint8_t>> rows;
  uint8_t answer = 1;
};
SinkLog g_sink;

uint8_t KELV_CDECL RecordingSink(intptr_t a, int32_t b, int32_t w, int32_t h) {
  g_sink.calls.push_back({b == -1 ? a : 0, b, w, h});
  if (b >= 0) {
    const auto* row = reinterpret_cast<const uint8_t*>(a);
    g_sink.rows.emplace_back(row, row + static_cast<size_t>(w) * 3);
  }
  return g_sink.answer;
}

Decoded DecodeJpeg(const Bytes& file, Call call = {}) {
  call.kind = DecodeKind::Jpeg;
  return Decode(file, call);
}

}  // namespace

TEST(StdJpeg, EveryOrientationPlacesPixelsByTheTable) {
  const int w = 32, h = 16;
  JpegOptions plain;
  plain.quality = 100;
  Call asStored;
  asStored.ignoreOrientation = true;
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    plain.orientation = o;
    const Bytes file = MakeJpeg(w, h, Pattern, plain);
    const Decoded base = DecodeJpeg(file, asStored);
    ASSERT_TRUE(base.ok);
    ASSERT_EQ(base.wantW, w);
    ASSERT_EQ(base.srcW, w);
    const Decoded turned = DecodeJpeg(file);
    ASSERT_TRUE(turned.ok);
    const bool swap = o >= 5;
    ASSERT_EQ(turned.wantW, swap ? h : w);
    ASSERT_EQ(turned.wantH, swap ? w : h);
    ASSERT_EQ(turned.srcW, swap ? h : w);
    ASSERT_EQ(turned.srcH, swap ? w : h);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        int x = c, y = r;
        switch (o) {
          case 2: x = w - 1 - c; break;
          case 3: x = w - 1 - c; y = h - 1 - r; break;
          case 4: y = h - 1 - r; break;
          case 5: x = r; y = c; break;
          case 6: x = h - 1 - r; y = c; break;
          case 7: x = h - 1 - r; y = w - 1 - c; break;
          case 8: x = r; y = w - 1 - c; break;
        }
        ASSERT_EQ(turned.at(x, y), base.at(c, r)) << c << "," << r;
        ASSERT_EQ(turned.pixels[(static_cast<size_t>(y) * turned.wantW + x) * 4 + 3], 0);
      }
    }
  }
}

TEST(StdJpeg, OrientationSixTurnsClockwise) {
  JpegOptions o6;
  o6.orientation = 6;
  const Decoded d = DecodeJpeg(MakeJpeg(32, 16, Blocks, o6));
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.wantW, 16);
  // The red top-left block ends at the top right, the blue bottom-left at the top left.
  EXPECT_TRUE(Near(d.at(12, 2), {250, 10, 10}));
  EXPECT_TRUE(Near(d.at(2, 2), {10, 10, 250}));
  EXPECT_TRUE(Near(d.at(12, 28), {10, 250, 10}));
}

TEST(StdJpeg, OrientationIsOnlyReadRightAfterStartOrApp0) {
  struct Case {
    const char* what;
    bool jfif;
    std::vector<Bytes> before;
    bool bigEndian;
    int orientation;
    int32_t expectW;
  } cases[] = {
      {"APP1 after APP0", true, {}, false, 6, 16},
      {"APP1 right after SOI", false, {}, false, 8, 16},
      {"big-endian TIFF header", true, {}, true, 5, 16},
      {"APP2 between APP0 and APP1", true, {{0xE2, 'x', 'y'}}, false, 6, 32},
      {"APP2 before APP1 without APP0", false, {{0xE2, 'x'}}, false, 6, 32},
      {"orientation out of range", true, {}, false, 9, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JpegOptions options;
    options.jfif = c.jfif;
    options.appBefore = c.before;
    options.bigEndianExif = c.bigEndian;
    options.orientation = c.orientation;
    const Decoded d = DecodeJpeg(MakeJpeg(32, 16, Blocks, options));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.srcW, c.expectW);
  }
}

TEST(StdJpeg, PrescaleDenominatorFitAndFill) {
  // 400 x 300 with orientation 6 shown at 100 x 75: the wish becomes 75 x 100,
  // f(400, 75) = 4 and f(300, 100) = 2.
  JpegOptions o6;
  o6.orientation = 6;
  o6.quality = 70;
  const Bytes file = MakeJpeg(400, 300, Pattern, o6);
  Call fit;
  fit.wantW = 100;
  fit.wantH = 75;
  Decoded d = DecodeJpeg(file, fit);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.srcW, 300);
  EXPECT_EQ(d.srcH, 400);
  EXPECT_EQ(d.wantW, 75);  // 400 / 4 = 100 high, 300 / 4 = 75 wide
  EXPECT_EQ(d.wantH, 100);
  ASSERT_EQ(AllocationRequests(), std::vector<uint32_t>{75 * 100 * 4});

  Call fill = fit;
  fill.fill = true;
  d = DecodeJpeg(file, fill);
  EXPECT_EQ(d.wantW, 150);
  EXPECT_EQ(d.wantH, 200);

  Call ignored = fit;
  ignored.ignoreOrientation = true;  // wish 100 x 75 against 400 x 300: both 4
  d = DecodeJpeg(file, ignored);
  EXPECT_EQ(d.srcW, 400);
  EXPECT_EQ(d.wantW, 100);
  EXPECT_EQ(d.wantH, 75);

  Call noWish = fit;  // one side without a wish: no pre-scaling
  noWish.wantH = 0;
  d = DecodeJpeg(file, noWish);
  EXPECT_EQ(d.wantW, 300);
  EXPECT_EQ(d.wantH, 400);
}

TEST(StdJpeg, SizesOnlyAndSizeFilter) {
  const Bytes file = MakeJpeg(100, 80, Pattern);
  Call sizes;
  sizes.withBuffer = false;
  sizes.wantW = 7;
  Decoded d = DecodeJpeg(file, sizes);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.srcW, 100);
  EXPECT_EQ(d.srcH, 80);
  EXPECT_EQ(d.wantW, 7);  // nothing delivered, the wish stays
  EXPECT_TRUE(AllocationRequests().empty());

  const struct {
    int32_t minW, minH;
    bool below;
  } filters[] = {{120, 90, true}, {90, 120, true}, {90, 70, false}, {101, 0, false}};
  for (const auto& f : filters) {
    Call call;
    call.minW = f.minW;
    call.minH = f.minH;
    d = DecodeJpeg(file, call);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.srcW, f.below ? -100 : 100);
    EXPECT_EQ(d.srcH, f.below ? -80 : 80);
    EXPECT_EQ(d.gotBuffer, !f.below);
    EXPECT_EQ(AllocationRequests().size(), f.below ? 0u : 1u);
  }
}

TEST(StdJpeg, RowSinkGetsUnturnedRowsAndCanDecline) {
  JpegOptions o3;
  o3.orientation = 3;
  const Bytes file = MakeJpeg(24, 10, Pattern, o3);
  Call call;
  call.sink = &RecordingSink;
  g_sink = {};
  Decoded d = DecodeJpeg(file, call);
  ASSERT_TRUE(d.ok);
  EXPECT_FALSE(d.gotBuffer);
  EXPECT_TRUE(AllocationRequests().empty());
  ASSERT_EQ(g_sink.calls.size(), 11u);
  EXPECT_EQ(g_sink.calls[0], (std::vector<int64_t>{3, -1, 24, 10}));
  for (int r = 0; r < 10; ++r) EXPECT_EQ(g_sink.calls[r + 1][1], r);

  // The same rows, turned, are what buffer mode delivers.
  Call buffered;
  const Decoded b = DecodeJpeg(file, buffered);
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 24; ++c) {
      const uint8_t* rgb = g_sink.rows[r].data() + c * 3;
      ASSERT_EQ(b.at(23 - c, 9 - r), (Rgb{rgb[0], rgb[1], rgb[2]}));
    }

  g_sink = {};
  g_sink.answer = 0;  // declined: the module falls back to the buffer
  d = DecodeJpeg(file, call);
  EXPECT_TRUE(d.gotBuffer);
  EXPECT_EQ(g_sink.calls.size(), 1u);
}

TEST(StdJpeg, GrayNeverUsesTheSink) {
  JpegOptions gray;
  gray.components = 1;
  Call call;
  call.sink = &RecordingSink;
  g_sink = {};
  const Decoded d = DecodeJpeg(MakeJpeg(16, 16, Blocks, gray), call);
  ASSERT_TRUE(d.ok);
  EXPECT_TRUE(g_sink.calls.empty());
  const Rgb p = d.at(3, 3);
  EXPECT_EQ(p.r, p.g);
  EXPECT_EQ(p.g, p.b);
  EXPECT_NEAR(p.g, 10, 8);
}

TEST(StdJpeg, ProgressiveFilesDecode) {
  JpegOptions progressive;
  progressive.progressive = true;
  const Decoded d = DecodeJpeg(MakeJpeg(40, 24, Blocks, progressive));
  ASSERT_TRUE(d.ok);
  EXPECT_TRUE(Near(d.at(20, 2), {10, 250, 10}));
}

TEST(StdJpeg, DamagedFilesFailWithZeroSizes) {
  const Bytes good = MakeJpeg(64, 48, Pattern);
  std::vector<Bytes> bad = {
      Bytes(good.begin(), good.begin() + good.size() / 2),  // cut inside the scan
      Bytes(good.begin(), good.begin() + 2),               // start marker only
      {},
      {'B', 'M', 0, 0},
  };
  for (const Bytes& file : bad) {
    Call call;
    call.minW = 1;
    call.minH = 1;
    call.wantW = 5;
    const Decoded d = DecodeJpeg(file, call);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.wantW, 0);
    EXPECT_EQ(d.wantH, 0);
    EXPECT_EQ(d.srcW, 0);
    EXPECT_EQ(d.srcH, 0);
    EXPECT_FALSE(d.gotBuffer);
  }
  // Only the end marker missing: every row is there, so the picture stands.
  const Decoded noEnd = DecodeJpeg(Bytes(good.begin(), good.end() - 2));
  EXPECT_TRUE(noEnd.ok);
}

namespace {

// A TIFF block as cameras write it: the first directory right after the header with
// DateTime and the EXIF directory's pointer, then the EXIF directory with DateTimeOriginal
// and DateTimeDigitized, then the three texts. A missing text's entry is a decoy tag.
struct DatedBlock {
  bool bigEndian = false;
  const char* dateTime = nullptr;
  const char* original = nullptr;
  const char* digitized = nullptr;
  // Damage: the EXIF directory pointer, and the original's type, count and offset.
  int64_t exifPointer = -1;
  int originalType = 2;
  uint32_t originalCount = 20;
  int64_t originalOffset = -1;
  size_t cutTo = 0;  // the block ends there (0: whole)
};

Bytes MakeDatedBlock(const DatedBlock& b) {
  Bytes t;
  auto put16 = [&](uint32_t v) {
    if (b.bigEndian) t.insert(t.end(), {uint8_t(v >> 8), uint8_t(v)});
    else t.insert(t.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto put32 = [&](uint32_t v) {
    if (b.bigEndian) { put16(v >> 16); put16(v & 0xFFFF); }
    else { put16(v & 0xFFFF); put16(v >> 16); }
  };
  constexpr uint32_t kExif = 38, kTexts = 68;
  t.insert(t.end(), b.bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
  put16(42);
  put32(8);
  put16(2);
  put16(b.dateTime ? 0x0132 : 0x0110); put16(2); put32(20); put32(kTexts);
  put16(0x8769); put16(4); put32(1); put32(b.exifPointer >= 0 ? uint32_t(b.exifPointer) : kExif);
  put32(0);
  put16(2);
  put16(b.original ? 0x9003 : 0x0110); put16(uint32_t(b.originalType)); put32(b.originalCount);
  put32(b.originalOffset >= 0 ? uint32_t(b.originalOffset) : kTexts + 20);
  put16(b.digitized ? 0x9004 : 0x0110); put16(2); put32(20); put32(kTexts + 40);
  put32(0);
  for (const char* text : {b.dateTime, b.original, b.digitized}) {
    char field[20] = {};
    if (text) std::strncpy(field, text, sizeof field - 1);
    t.insert(t.end(), field, field + 20);
  }
  if (b.cutTo) t.resize(b.cutTo);
  return t;
}

}  // namespace

// The date taken: DateTimeOriginal, else DateTimeDigitized, else DateTime, whichever is the
// first real date; damaged blocks give none and are never read outside. Read from the block
// alone and from a JPEG whose EXIF segment holds it (the segment the orientation comes from).
TEST(StdJpeg, ExifDateTakenByTagPreferenceAndValidity) {
  const char* a = "2021:07:14 10:30:00";
  const char* b = "2019:01:02 03:04:05";
  const char* c = "2000:02:29 23:59:59";
  struct Case {
    const char* what;
    DatedBlock block;
    const char* expected;
  } cases[] = {
      {"all three", {.dateTime = c, .original = a, .digitized = b}, a},
      {"big-endian", {.bigEndian = true, .dateTime = c, .original = a, .digitized = b}, a},
      {"no original", {.dateTime = c, .digitized = b}, b},
      {"only DateTime", {.dateTime = c}, c},
      {"none", {}, ""},
      {"original all zeros", {.dateTime = c, .original = "0000:00:00 00:00:00", .digitized = b}, b},
      {"original month 13", {.dateTime = c, .original = "2021:13:14 10:30:00"}, c},
      {"every date damaged", {.dateTime = "2021:07:32 10:30:00", .original = "    :  :     :  :  ",
                              .digitized = "2021:07:14 10:60:00"}, ""},
      {"EXIF directory beyond the block", {.dateTime = c, .original = a, .exifPointer = 5000}, c},
      {"EXIF directory pointing at the first", {.dateTime = c, .original = a, .exifPointer = 8}, c},
      {"original's text beyond the block", {.dateTime = c, .original = a, .digitized = b,
                                             .originalOffset = 0xFFFFFFF0}, b},
      {"original's text reaching past the end", {.original = a, .originalOffset = 120}, ""},
      {"original's count too short", {.original = a, .digitized = b, .originalCount = 4}, b},
      {"original not text", {.original = a, .digitized = b, .originalType = 3}, b},
      {"block cut inside the EXIF directory", {.dateTime = c, .original = a, .cutTo = 50}, ""},
      {"block cut inside the texts", {.dateTime = c, .original = a, .cutTo = 100}, c},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    const Bytes block = MakeDatedBlock(t.block);
    EXPECT_STREQ(kelv::plugin::ReadDateTaken(block.data(), block.size()).data(), t.expected);
    JpegOptions options;
    options.exifBlock = block;
    const Decoded d = DecodeJpeg(MakeJpeg(16, 8, Blocks, options));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.dateTaken, t.expected);
  }
  // "Exif\0\0" before the header (a WebP's or a HEIF's block may keep it) is passed over.
  Bytes prefixed = {'E', 'x', 'i', 'f', 0, 0};
  const Bytes block = MakeDatedBlock({.original = a});
  prefixed.insert(prefixed.end(), block.begin(), block.end());
  EXPECT_STREQ(kelv::plugin::ReadDateTaken(prefixed.data(), prefixed.size()).data(), a);
  // A JPEG without EXIF, or whose APP1 is not where the orientation is looked for, has none.
  EXPECT_EQ(DecodeJpeg(MakeJpeg(16, 8, Blocks)).dateTaken, "");
  JpegOptions late;
  late.appBefore = {{0xE2, 'x'}};
  late.exifBlock = block;
  EXPECT_EQ(DecodeJpeg(MakeJpeg(16, 8, Blocks, late)).dateTaken, "");
}

TEST(StdJpeg, ExifDateTextMustBeARealDate) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {"2021:07:14 10:30:00", true},  {"1601:01:01 00:00:00", true},  {"9999:12:31 23:59:59", true},
      {"2000:02:29 12:00:00", true},  {"2024:02:29 12:00:00", true},  {"0000:00:00 00:00:00", false},
      {"2021:13:01 00:00:00", false}, {"2021:00:10 00:00:00", false}, {"2021:04:31 00:00:00", false},
      {"1900:02:29 00:00:00", false}, {"2021:02:29 00:00:00", false}, {"1600:12:31 00:00:00", false},
      {"2021:07:14 24:00:00", false}, {"2021:07:14 10:60:00", false}, {"2021:07:14 10:30:60", false},
      {"2021-07-14 10:30:00", false}, {"2021:07:14T10:30:00", false}, {"    :  :     :  :  ", false},
      {"2021:07:14", false},          {"2021:7:14 10:30:00 ", false}, {"20a1:07:14 10:30:00", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(kelv::plugin::ValidExifDate(c.text, std::strlen(c.text)), c.valid);
  }
  // A NUL inside the first 19 characters ends the text.
  EXPECT_FALSE(kelv::plugin::ValidExifDate("2021:07:14\0 10:30:00", 20));
}
