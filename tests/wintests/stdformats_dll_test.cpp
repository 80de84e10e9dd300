// The standard formats DLL driven through its binary interface, as the host drives it:
// GetInModule, SetOptions with the host heap, decodes through the host file record.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "kelv_inmodule.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.find_last_of("\\/") + 1);
}

class Library {
public:
  explicit Library(const std::string& path) : handle_(LoadLibraryA(path.c_str())) {}
  ~Library() {
    if (handle_) FreeLibrary(handle_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  HMODULE get() const { return handle_; }

private:
  HMODULE handle_;
};

// A picture written to a temporary file and opened the way the host opens it.
class PictureFile {
public:
  PictureFile(const Bytes& bytes, const char* extension) {
    char folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "stf", 0, name);
    DeleteFileA(name);
    path_ = std::string(name) + extension;
    if (FILE* f = std::fopen(path_.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    record_.handle = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    record_.magic = KELV_HOSTFILE_MAGIC;
  }
  ~PictureFile() {
    if (record_.handle != INVALID_HANDLE_VALUE) CloseHandle(record_.handle);
    DeleteFileA(path_.c_str());
  }
  PictureFile(const PictureFile&) = delete;
  PictureFile& operator=(const PictureFile&) = delete;
  TInHostFile* record() { return &record_; }

private:
  std::string path_;
  TInHostFile record_{};
};

struct Rgb {
  uint8_t r, g, b;
};
Rgb Pattern(int x, int y) {
  return {static_cast<uint8_t>(x * 37 + y * 3), static_cast<uint8_t>(y * 29 + 7),
          static_cast<uint8_t>((x ^ y) * 11)};
}
// Flat quadrants that survive the compression: red, green / blue, white.
Rgb Quadrants(int x, int y, int w, int h) {
  const bool right = x >= w / 2, bottom = y >= h / 2;
  if (!right && !bottom) return {240, 16, 16};
  if (right && !bottom) return {16, 240, 16};
  if (!right && bottom) return {16, 16, 240};
  return {240, 240, 240};
}

void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

Bytes Bmp24(int w, int h) {
  const uint32_t stride = (w * 3 + 3) & ~3u;
  Bytes b = {'B', 'M'};
  Put32(b, 54 + stride * h);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, w);
  Put32(b, h);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int y = h - 1; y >= 0; --y) {
    const size_t start = b.size();
    for (int x = 0; x < w; ++x) {
      const Rgb c = Pattern(x, y);
      b.insert(b.end(), {c.b, c.g, c.r});
    }
    b.resize(start + stride, 0);
  }
  return b;
}

Bytes Ppm6(int w, int h) {
  const std::string head = "P6\n# test\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  Bytes b(head.begin(), head.end());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb c = Pattern(x, y);
      b.insert(b.end(), {c.r, c.g, c.b});
    }
  return b;
}

// A JPEG with an EXIF orientation tag in an APP1 segment after the JFIF APP0, and a
// DateTime tag after it when `dateTime` is given.
Bytes Jpeg(int w, int h, int orientation, const char* dateTime = nullptr) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = w;
  info.image_height = h;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
  Put16(exif, dateTime ? 2 : 1);
  Put16(exif, 0x0112);
  Put16(exif, 3);
  Put32(exif, 1);
  Put32(exif, static_cast<uint32_t>(orientation));
  if (dateTime) {
    Put16(exif, 0x0132);
    Put16(exif, 2);
    Put32(exif, 20);
    Put32(exif, 8 + 2 + 2 * 12 + 4);  // right after the directory
  }
  Put32(exif, 0);
  if (dateTime) exif.insert(exif.end(), dateTime, dateTime + std::strlen(dateTime) + 1);
  jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = Quadrants(x, static_cast<int>(info.next_scanline), w, h);
      row[x * 3] = c.r;
      row[x * 3 + 1] = c.g;
      row[x * 3 + 2] = c.b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes result(out, out + outSize);
  std::free(out);
  return result;
}

// The host's side of the interface.
int g_gets = 0, g_frees = 0;
void* KELV_REGCALL HostGetMem(uint32_t size) {
  ++g_gets;
  return std::malloc(size);
}
void KELV_REGCALL HostFreeMem(void* block) {
  ++g_frees;
  std::free(block);
}
void* KELV_REGCALL HostReallocMem(void** block, uint32_t size) {
  *block = std::realloc(*block, size);
  return *block;
}
std::vector<void*> g_buffers;
std::vector<uint32_t> g_bufferSizes;
void* KELV_CDECL HostAllocBuffer(uint32_t bytes) {
  g_buffers.push_back(std::malloc(bytes));
  g_bufferSizes.push_back(bytes);
  return g_buffers.back();
}

KelvRowSinkProc g_sinkVariable = nullptr;
std::vector<std::vector<int64_t>> g_sinkCalls;
std::vector<Bytes> g_sinkRows;
uint8_t KELV_CDECL HostRowSink(intptr_t a, int32_t b, int32_t w, int32_t h) {
  g_sinkCalls.push_back({b < 0 ? a : 0, b, w, h});
  if (b >= 0) {
    const auto* row = reinterpret_cast<const uint8_t*>(a);
    g_sinkRows.emplace_back(row, row + static_cast<size_t>(w) * 3);
  }
  return 1;
}

Rgb PixelAt(const void* buffer, int w, int x, int y) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer) + (static_cast<size_t>(y) * w + x) * 4;
  return {p[2], p[1], p[0]};
}
bool Near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) < 24 && std::abs(a.g - b.g) < 24 && std::abs(a.b - b.b) < 24;
}

class StdFormatsDll : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(library_.get(), nullptr) << "cannot load " << ExeFolder() << "..\\dist\\stdformats.dll";
    auto getInModule = reinterpret_cast<KelvGetInModuleProc>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "GetInModule")));
    ASSERT_NE(getInModule, nullptr);
    module_ = getInModule();
    ASSERT_NE(module_, nullptr);
    g_gets = g_frees = 0;
    g_sinkVariable = nullptr;
    g_sinkCalls.clear();
    g_sinkRows.clear();
  }
  void TearDown() override {
    for (void* b : g_buffers) std::free(b);
    g_buffers.clear();
    g_bufferSizes.clear();
  }
  void Configure(uint32_t flags) {
    TInModuleOptions o{};
    o.size = sizeof o;
    o.allocBuffer = &HostAllocBuffer;
    o.flags = KELV_OPT_SIX_ARG | flags;
    o.rowSinkVariable = &g_sinkVariable;
    o.getMem = &HostGetMem;
    o.freeMem = &HostFreeMem;
    o.reallocMem = &HostReallocMem;
    ASSERT_EQ(module_->setOptions(&o), 1);
    ASSERT_EQ(o.flags & KELV_OPT_SIX_ARG, 0u);
  }
  void Decode(int index, PictureFile& file, int32_t (&sizes)[4], void** buffer) {
    reinterpret_cast<KelvDecode6Proc>(module_->decoders[index])(file.record(), &sizes[0], &sizes[1],
                                                                &sizes[2], &sizes[3], buffer);
  }

  Library library_{ExeFolder() + "..\\dist\\stdformats.dll"};
  TInModule* module_ = nullptr;
};

}  // namespace

TEST_F(StdFormatsDll, DescriptorAndOptions) {
  EXPECT_EQ(module_->interfaceVersion, KELV_INMODULE_VERSION);
  EXPECT_EQ(module_->moduleVersion, 0x01000708u);
  EXPECT_EQ(module_->flags, 0x00010001u);
  EXPECT_STREQ(module_->name, "Standard image formats");
  ASSERT_EQ(module_->formatCount, 4);
  EXPECT_STREQ(module_->extensions[1], ".jpeg");
  EXPECT_STREQ(module_->formatNames[3], "Portable pixel map");
  ASSERT_NE(module_->about, nullptr);
  const KelvDecodeProc legacy = module_->decoders[2];
  TInModuleOptions release{};
  release.size = sizeof release;
  release.flags = KELV_OPT_RELEASE;
  EXPECT_EQ(module_->setOptions(&release), 1);
  EXPECT_EQ(module_->decoders[2], legacy);
  Configure(0);
  EXPECT_NE(module_->decoders[2], legacy);
}

TEST_F(StdFormatsDll, BitmapThroughTheHostFileRecordOnTheHostHeap) {
  Configure(0);
  PictureFile bmp(Bmp24(13, 7), ".bmp");
  int32_t sizes[4] = {0, 0, 0, 0};
  void* buffer = nullptr;
  Decode(2, bmp, sizes, &buffer);
  ASSERT_EQ(sizes[0], 13);
  ASSERT_EQ(sizes[1], 7);
  EXPECT_EQ(sizes[2], 13);
  EXPECT_EQ(sizes[3], 7);
  ASSERT_NE(buffer, nullptr);
  ASSERT_EQ(g_bufferSizes.back(), 13u * 7 * 4);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x) {
      const Rgb got = PixelAt(buffer, 13, x, y), want = Pattern(x, y);
      ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
    }
  EXPECT_GT(g_gets, 0);
  EXPECT_EQ(g_gets, g_frees);
}

TEST_F(StdFormatsDll, JpegRowsGoToTheSinkUnturned) {
  Configure(0);
  g_sinkVariable = &HostRowSink;
  PictureFile jpeg(Jpeg(64, 32, 6), ".jpg");
  int32_t sizes[4] = {0, 0, 0, 0};
  void* buffer = reinterpret_cast<void*>(1);
  Decode(0, jpeg, sizes, &buffer);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(sizes[0], 32);  // delivered size in display orientation
  EXPECT_EQ(sizes[2], 32);
  EXPECT_EQ(sizes[3], 64);
  ASSERT_EQ(g_sinkCalls.size(), 33u);
  EXPECT_EQ(g_sinkCalls[0], (std::vector<int64_t>{6, -1, 64, 32}));
  EXPECT_EQ(g_sinkCalls[32][1], 31);
  // Row 0 is the stored top row: red then green.
  const uint8_t* first = g_sinkRows[0].data();
  EXPECT_TRUE(Near({first[0], first[1], first[2]}, {240, 16, 16}));
  const uint8_t* last = g_sinkRows[0].data() + 63 * 3;
  EXPECT_TRUE(Near({last[0], last[1], last[2]}, {16, 240, 16}));
}

TEST_F(StdFormatsDll, JpegTurnedAndPrescaledInBufferMode) {
  Configure(0);
  PictureFile jpeg(Jpeg(256, 128, 6), ".jpg");
  int32_t sizes[4] = {32, 64, 0, 0};  // the wish in display orientation: scale 1/4
  void* buffer = nullptr;
  Decode(1, jpeg, sizes, &buffer);
  ASSERT_NE(buffer, nullptr);
  ASSERT_EQ(sizes[0], 32);
  ASSERT_EQ(sizes[1], 64);
  EXPECT_EQ(sizes[2], 128);
  EXPECT_EQ(sizes[3], 256);
  // Turned clockwise: red (stored top left) at the top right, blue at the top left.
  EXPECT_TRUE(Near(PixelAt(buffer, 32, 28, 4), {240, 16, 16}));
  EXPECT_TRUE(Near(PixelAt(buffer, 32, 4, 4), {16, 16, 240}));
  EXPECT_TRUE(Near(PixelAt(buffer, 32, 4, 60), {240, 240, 240}));
  // libjpeg's working memory came from the host heap too, and all of it went back.
  EXPECT_GT(g_gets, 2);
  EXPECT_EQ(g_gets, g_frees);
}

// The optional export: the date the last decoded picture was taken, in a record the
// module fills only as far as its size reaches.
TEST_F(StdFormatsDll, GetPictureInfoGivesTheLastDecodedPicturesDate) {
  auto info = reinterpret_cast<KelvGetPictureInfoProc>(
      reinterpret_cast<void*>(GetProcAddress(library_.get(), "GetPictureInfo")));
  ASSERT_NE(info, nullptr);
  Configure(0);
  PictureFile dated(Jpeg(32, 16, 1, "2021:07:14 10:30:00"), ".jpg");
  PictureFile zeros(Jpeg(32, 16, 1, "0000:00:00 00:00:00"), ".jpg");
  PictureFile undated(Jpeg(32, 16, 6), ".jpg");
  PictureFile bmp(Bmp24(5, 3), ".bmp");
  auto decodeAndAsk = [&](int index, PictureFile& file, TInPictureInfo& record) {
    int32_t sizes[4] = {0, 0, 0, 0};
    void* buffer = nullptr;
    Decode(index, file, sizes, &buffer);
    EXPECT_NE(buffer, nullptr);
    return info(&record);
  };
  TInPictureInfo record{};
  record.size = sizeof record;
  ASSERT_EQ(decodeAndAsk(0, dated, record), 1);
  EXPECT_STREQ(record.dateTaken, "2021:07:14 10:30:00");
  for (PictureFile* file : {&zeros, &undated, &bmp}) {
    TInPictureInfo none{};
    none.size = sizeof none;
    EXPECT_EQ(decodeAndAsk(file == &bmp ? 2 : 0, *file, none), 0);
    EXPECT_STREQ(none.dateTaken, "");
  }
  // A record too short for the date is left alone.
  TInPictureInfo shortRecord{};
  shortRecord.size = 4;
  EXPECT_EQ(decodeAndAsk(0, dated, shortRecord), 0);
  EXPECT_STREQ(shortRecord.dateTaken, "");
  // After a failed decode the module knows nothing.
  PictureFile damaged(Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 4, 1, 2}, ".jpg");
  int32_t sizes[4] = {0, 0, 0, 0};
  void* buffer = nullptr;
  Decode(0, damaged, sizes, &buffer);
  EXPECT_EQ(sizes[0], 0);
  TInPictureInfo after{};
  after.size = sizeof after;
  EXPECT_EQ(info(&after), 0);
}

namespace {

struct AboutSeen {
  std::string text;
  bool found = false;
};

// The about box is modal: this helper thread reads it and presses OK.
DWORD WINAPI CloseAboutBox(void* param) {
  auto* seen = static_cast<AboutSeen*>(param);
  for (int i = 0; i < 200 && !seen->found; ++i) {
    if (HWND box = FindWindowA("#32770", "About plugin")) {
      char text[1024] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      seen->text = text;
      seen->found = true;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    Sleep(50);
  }
  return 0;
}

}  // namespace

TEST_F(StdFormatsDll, AboutBoxShowsTheFormats) {
  AboutSeen seen;
  HANDLE closer = CreateThread(nullptr, 0, &CloseAboutBox, &seen, 0, nullptr);
  ASSERT_NE(closer, nullptr);
  module_->about(nullptr);
  WaitForSingleObject(closer, 15000);
  CloseHandle(closer);
  ASSERT_TRUE(seen.found);
  EXPECT_NE(seen.text.find("This is standard image formats plugin"), std::string::npos);
  EXPECT_NE(seen.text.find("Portable pixel map (.ppm)"), std::string::npos);
}

TEST_F(StdFormatsDll, PpmSizesOnlyFilterAndDamage) {
  Configure(KELV_OPT_IGNORE_EXIF);
  PictureFile ppm(Ppm6(100, 80), ".ppm");
  int32_t sizes[4] = {0, 0, 120, 90};
  void* buffer = reinterpret_cast<void*>(1);
  Decode(3, ppm, sizes, &buffer);
  EXPECT_EQ(sizes[2], -100);
  EXPECT_EQ(sizes[3], -80);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_TRUE(g_buffers.empty());

  int32_t only[4] = {0, 0, 0, 0};
  Decode(3, ppm, only, nullptr);
  EXPECT_EQ(only[2], 100);
  EXPECT_TRUE(g_buffers.empty());

  Bytes damaged = Bmp24(40, 40);
  damaged.resize(damaged.size() / 2);
  PictureFile bad(damaged, ".bmp");
  int32_t zero[4] = {640, 480, 1, 1};
  buffer = reinterpret_cast<void*>(1);
  Decode(2, bad, zero, &buffer);
  EXPECT_EQ(zero[0] | zero[1] | zero[2] | zero[3], 0);
  EXPECT_EQ(buffer, nullptr);
}
