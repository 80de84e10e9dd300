// The modern-formats module as the host drives it: descriptor, options handshake, both
// decode forms through the host file record, the size filter, sizes-only calls, the row
// sink, the host heap and the failure outcome. The pictures are lossless WebP made here
// with the system's libwebp, so every pixel is known. (Decoding against the reference
// tools, HEIF and AVIF among them, is the Wine tests' part.)
#include <gtest/gtest.h>
#include <webp/encode.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modernformats/module.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

uint8_t Sample(int x, int y, int c) { return static_cast<uint8_t>(x * 7 + y * 13 + c * 85); }

Bytes LosslessWebp(int w, int h) {
  Bytes rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) rgb.push_back(Sample(x, y, c));
  uint8_t* out = nullptr;
  const size_t size = WebPEncodeLosslessRGB(rgb.data(), w, h, w * 3, &out);
  Bytes file(out, out + size);
  WebPFree(out);
  return file;
}

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The extended form of `webp` (a VP8X header chunk first) with an EXIF chunk after the
// picture holding DateTime = `date` (optionally after "Exif\0\0", as some writers put it).
Bytes WithExif(const Bytes& webp, int w, int h, const char* date, bool prefixed) {
  Bytes exif;
  if (prefixed) exif.insert(exif.end(), {'E', 'x', 'i', 'f', 0, 0});
  exif.insert(exif.end(), {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x32, 0x01, 2, 0});
  Put32(exif, 20);
  Put32(exif, 8 + 2 + 12 + 4);
  Put32(exif, 0);
  exif.insert(exif.end(), date, date + 20);
  Bytes chunks = {'V', 'P', '8', 'X'};
  Put32(chunks, 10);
  chunks.insert(chunks.end(), {0x08, 0, 0, 0});  // the EXIF flag
  for (const int side : {w - 1, h - 1})
    chunks.insert(chunks.end(), {uint8_t(side), uint8_t(side >> 8), uint8_t(side >> 16)});
  chunks.insert(chunks.end(), webp.begin() + 12, webp.end());
  chunks.insert(chunks.end(), {'E', 'X', 'I', 'F'});
  Put32(chunks, static_cast<uint32_t>(exif.size()));
  chunks.insert(chunks.end(), exif.begin(), exif.end());
  if (exif.size() % 2) chunks.push_back(0);
  Bytes file = {'R', 'I', 'F', 'F'};
  Put32(file, static_cast<uint32_t>(4 + chunks.size()));
  file.insert(file.end(), {'W', 'E', 'B', 'P'});
  file.insert(file.end(), chunks.begin(), chunks.end());
  return file;
}

int g_hostGets = 0, g_hostFrees = 0;
uint32_t g_largestGet = 0;
void* KELV_REGCALL HostGetMem(uint32_t size) {
  ++g_hostGets;
  g_largestGet = std::max(g_largestGet, size);
  return std::malloc(size);
}
void KELV_REGCALL HostFreeMem(void* block) {
  ++g_hostFrees;
  std::free(block);
}
void* KELV_REGCALL HostReallocMem(void** block, uint32_t size) { return *block = std::realloc(*block, size); }

std::vector<uint8_t> g_buffer;
int g_allocations = 0;
bool g_refuse = false;
void* KELV_CDECL AllocBuffer(uint32_t bytes) {
  ++g_allocations;
  if (g_refuse) return nullptr;
  g_buffer.assign(bytes, 0xEE);
  return g_buffer.data();
}

KelvRowSinkProc g_sinkVariable = nullptr;
std::vector<intptr_t> g_sinkFirstArgs;
std::vector<int32_t> g_sinkRows;
uint8_t KELV_CDECL Sink(intptr_t a, int32_t b, int32_t, int32_t) {
  g_sinkFirstArgs.push_back(b < 0 ? a : *reinterpret_cast<const uint8_t*>(a));
  g_sinkRows.push_back(b);
  return 1;
}

// A picture in a temporary file, opened the way the host opens it.
class HostFile {
public:
  explicit HostFile(const Bytes& bytes) {
    char name[] = "/tmp/modernformats_testXXXXXX";
    fd_ = mkstemp(name);
    EXPECT_GE(fd_, 0);
    unlink(name);
    EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    record_.handle = reinterpret_cast<void*>(static_cast<intptr_t>(fd_));
    record_.magic = KELV_HOSTFILE_MAGIC;
  }
  ~HostFile() { close(fd_); }
  TInHostFile* record() { return &record_; }

private:
  int fd_ = -1;
  TInHostFile record_{};
};

class ModernModule : public ::testing::Test {
protected:
  void SetUp() override {
    module_ = modernformats::DescribeModule();
    g_hostGets = g_hostFrees = g_allocations = 0;
    g_refuse = false;
    g_sinkVariable = nullptr;
    g_sinkFirstArgs.clear();
    g_sinkRows.clear();
  }
  void TearDown() override { modernformats::DescribeModule(); }
  bool Configure(int32_t size, uint32_t flags) {
    TInModuleOptions o{};
    o.size = size;
    o.allocBuffer = &AllocBuffer;
    o.flags = flags;
    o.rowSinkVariable = &g_sinkVariable;
    o.getMem = &HostGetMem;
    o.freeMem = &HostFreeMem;
    o.reallocMem = &HostReallocMem;
    return module_->setOptions(&o) == 1 && !(o.flags & KELV_OPT_SIX_ARG);
  }
  void Decode6(int index, HostFile& file, int32_t* sizes, void** buffer) {
    reinterpret_cast<KelvDecode6Proc>(module_->decoders[index])(file.record(), &sizes[0], &sizes[1],
                                                                &sizes[2], &sizes[3], buffer);
  }
  TInModule* module_ = nullptr;
};

// The record as far as the row sink variable: no heap routines.
constexpr int32_t kUpToRowSink = offsetof(TInModuleOptions, getMem);

}  // namespace

TEST_F(ModernModule, DescriptorAndOptionsHandshake) {
  EXPECT_EQ(module_->interfaceVersion, KELV_INMODULE_VERSION);
  EXPECT_EQ(module_->moduleVersion, 0x01000000u);
  EXPECT_STREQ(module_->name, "Modern image formats");
  EXPECT_EQ(module_->flags, 0x00010001u);
  ASSERT_EQ(module_->formatCount, 4);
  const char* ext[] = {".webp", ".heic", ".heif", ".avif"};
  const char* names[] = {"WebP", "HEIC", "HEIF", "AVIF"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(module_->extensions[i], ext[i]);
    EXPECT_STREQ(module_->formatNames[i], names[i]);
    EXPECT_EQ(module_->decoders[i], module_->decoders[0]);  // the content decides
  }
  const KelvDecodeProc legacy = module_->decoders[0];
  TInModuleOptions small{};
  small.size = 4;
  EXPECT_EQ(module_->setOptions(&small), 0);
  EXPECT_EQ(module_->setOptions(nullptr), 0);
  TInModuleOptions release{};
  release.size = sizeof release;
  release.flags = KELV_OPT_RELEASE | KELV_OPT_SIX_ARG;
  EXPECT_EQ(module_->setOptions(&release), 1);
  EXPECT_EQ(module_->decoders[0], legacy);  // the release changes nothing
  EXPECT_TRUE(Configure(sizeof(TInModuleOptions), KELV_OPT_SIX_ARG));
  EXPECT_NE(module_->decoders[0], legacy);
  module_ = modernformats::DescribeModule();  // described again: legacy decoders
  EXPECT_EQ(module_->decoders[0], legacy);
}

TEST_F(ModernModule, BothFormsFilterSizesOnlyAndRows) {
  HostFile webp(LosslessWebp(100, 80));
  ASSERT_TRUE(Configure(kUpToRowSink, 0));  // no six-argument bit: the legacy form stays
  int32_t w = 0, h = 0;
  void* buffer = nullptr;
  reinterpret_cast<KelvDecode4Proc>(module_->decoders[1])(webp.record(), &w, &h, &buffer);
  ASSERT_EQ(w, 100);
  ASSERT_EQ(h, 80);
  ASSERT_EQ(buffer, g_buffer.data());
  EXPECT_EQ(buffer, modernformats::LastBuffer());
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) {
      const uint8_t* p = g_buffer.data() + (y * 100 + x) * 4;
      ASSERT_EQ((std::vector<uint8_t>{p[0], p[1], p[2], p[3]}),
                (std::vector<uint8_t>{Sample(x, y, 2), Sample(x, y, 1), Sample(x, y, 0), 0}))
          << x << "," << y;
    }

  ASSERT_TRUE(Configure(kUpToRowSink, KELV_OPT_SIX_ARG));
  const struct {
    int32_t minW, minH;
    bool below;
  } filters[] = {{120, 90, true}, {90, 120, true}, {90, 70, false}};
  for (const auto& f : filters) {
    int32_t sizes[4] = {0, 0, f.minW, f.minH};
    g_allocations = 0;
    Decode6(0, webp, sizes, &buffer);
    EXPECT_EQ(sizes[2], f.below ? -100 : 100);
    EXPECT_EQ(sizes[3], f.below ? -80 : 80);
    EXPECT_EQ(buffer == nullptr, f.below);
    EXPECT_EQ(g_allocations, f.below ? 0 : 1);
  }
  int32_t sizes[4] = {0, 0, 0, 0};
  g_allocations = 0;
  Decode6(3, webp, sizes, nullptr);  // sizes only
  EXPECT_EQ((std::vector<int32_t>{sizes[2], sizes[3]}), (std::vector<int32_t>{100, 80}));
  EXPECT_EQ(g_allocations, 0);

  // A wish of a third pre-scales WebP by 2, as JPEG would be; the rows go to the sink.
  g_sinkVariable = &Sink;
  int32_t wish[4] = {33, 26, 0, 0};
  buffer = reinterpret_cast<void*>(1);
  Decode6(0, webp, wish, &buffer);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(g_allocations, 0);
  EXPECT_EQ((std::vector<int32_t>{wish[0], wish[1], wish[2], wish[3]}), (std::vector<int32_t>{50, 40, 100, 80}));
  ASSERT_EQ(g_sinkRows.size(), 41u);
  EXPECT_EQ(g_sinkRows[0], KELV_ROWSINK_HEADER);
  EXPECT_EQ(g_sinkFirstArgs[0], 1);  // upright, red, green, blue
  for (int r = 0; r < 40; ++r) EXPECT_EQ(g_sinkRows[r + 1], r);
}

TEST_F(ModernModule, OnlyAFullRecordHandsOverTheHostHeap) {
  HostFile webp(LosslessWebp(20, 20));
  ASSERT_TRUE(Configure(kUpToRowSink, KELV_OPT_SIX_ARG));
  int32_t sizes[4] = {};
  void* buffer = nullptr;
  Decode6(0, webp, sizes, &buffer);
  ASSERT_EQ(sizes[0], 20);
  EXPECT_EQ(g_hostGets, 0);
  ASSERT_TRUE(Configure(sizeof(TInModuleOptions), 0));
  Decode6(0, webp, sizes, &buffer);
  ASSERT_EQ(sizes[0], 20);
  EXPECT_GT(g_hostGets, 0);  // the file's bytes and the decoded rows
  EXPECT_EQ(g_hostGets, g_hostFrees);  // nothing of the module outlives the decode
}

TEST_F(ModernModule, FailuresClearEverySizeAndTheBuffer) {
  ASSERT_TRUE(Configure(kUpToRowSink, KELV_OPT_SIX_ARG));
  const Bytes good = LosslessWebp(30, 20);
  Bytes riffOnly(good.begin(), good.begin() + 12);
  Bytes heifHeader{0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0};
  const std::pair<Bytes, bool> cases[] = {
      {Bytes{}, false}, {Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}, false},
      {riffOnly, false}, {heifHeader, false}, {good, true}};  // the last: the host refuses the buffer
  for (const auto& [bytes, refuse] : cases) {
    HostFile file(bytes);
    g_refuse = refuse;
    int32_t sizes[4] = {640, 480, 10, 10};
    void* buffer = reinterpret_cast<void*>(1);
    Decode6(0, file, sizes, &buffer);
    EXPECT_EQ(sizes[0] | sizes[1] | sizes[2] | sizes[3], 0) << bytes.size();
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(modernformats::LastBuffer(), nullptr);
  }
  // A header announcing 16384 x 16384 pixels: refused before anything that size is asked for.
  Bytes huge = good;
  ASSERT_EQ(std::string(huge.begin() + 12, huge.begin() + 16), "VP8L");
  const uint32_t bits = 0x3FFFu | (0x3FFFu << 14);  // width - 1, height - 1; no alpha, version 0
  std::memcpy(huge.data() + 21, &bits, 4);
  ASSERT_TRUE(Configure(sizeof(TInModuleOptions), KELV_OPT_SIX_ARG));
  g_refuse = false;
  g_largestGet = 0;
  g_allocations = 0;
  {
    HostFile file(huge);
    int32_t sizes[4] = {640, 480, 0, 0};
    void* buffer = nullptr;
    Decode6(0, file, sizes, &buffer);
    EXPECT_EQ(sizes[0] | sizes[1] | sizes[2] | sizes[3], 0);
    EXPECT_EQ(g_allocations, 0);
    EXPECT_LT(g_largestGet, 1u << 20);
  }

  TInHostFile none{};
  none.handle = reinterpret_cast<void*>(intptr_t{-1});  // a handle that reads nothing
  int32_t sizes[4] = {1, 1, 1, 1};
  reinterpret_cast<KelvDecode6Proc>(module_->decoders[2])(&none, &sizes[0], &sizes[1], &sizes[2],
                                                          &sizes[3], nullptr);
  EXPECT_EQ(sizes[0] | sizes[1] | sizes[2] | sizes[3], 0);
}

// The optional export: what the last decode read from the picture's EXIF chunk, and
// nothing after a picture without one or a failed decode.
TEST_F(ModernModule, GetPictureInfoGivesTheDateOfTheLastDecodedWebp) {
  ASSERT_TRUE(Configure(sizeof(TInModuleOptions), KELV_OPT_SIX_ARG));
  const Bytes plain = LosslessWebp(20, 10);
  HostFile dated(WithExif(plain, 20, 10, "2021:07:14 10:30:00", false));
  HostFile prefixed(WithExif(plain, 20, 10, "2019:01:02 03:04:05", true));
  HostFile zeros(WithExif(plain, 20, 10, "0000:00:00 00:00:00", false));
  HostFile undated(plain);
  HostFile damaged(Bytes(plain.begin(), plain.begin() + 30));
  struct Case {
    const char* what;
    HostFile* file;
    int32_t answer;
    const char* date;
  } cases[] = {
      {"dated", &dated, 1, "2021:07:14 10:30:00"},
      {"after Exif\\0\\0", &prefixed, 1, "2019:01:02 03:04:05"},
      {"zeros", &zeros, 0, ""},
      {"no EXIF chunk", &undated, 0, ""},
      {"dated again", &dated, 1, "2021:07:14 10:30:00"},
      {"damaged file", &damaged, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t sizes[4] = {0, 0, 0, 0};
    void* buffer = nullptr;
    Decode6(0, *c.file, sizes, &buffer);
    EXPECT_EQ(buffer != nullptr, c.file != &damaged);
    TInPictureInfo info{};
    info.size = sizeof info;
    EXPECT_EQ(modernformats::GetPictureInfo(&info), c.answer);
    EXPECT_STREQ(info.dateTaken, c.date);
  }
}
