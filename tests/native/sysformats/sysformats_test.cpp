// The platform-formats module's decode routine over a stand-in imaging library, its options
// handling and its search for the imaging library.
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "gdiplus_search.hpp"
#include "sysformats_decode.hpp"

namespace sysformats {
namespace {

// ---- Decoding -----------------------------------------------------------------------

struct LockCall {
  int32_t x, y, w, h;
  LockLayout layout;
  int32_t stride;
};

struct FakeImaging;

class FakePicture final : public Picture {
public:
  explicit FakePicture(FakeImaging& owner) : owner_(owner) {}
  ~FakePicture() override;
  bool Size(uint32_t& w, uint32_t& h) override;
  bool LockInto(int32_t x, int32_t y, int32_t w, int32_t h, LockLayout layout, int32_t stride,
                void* target) override;
  void Unlock() override;
  bool PropertyText(uint32_t tag, std::string& text) override;
  bool FileBytes(const uint8_t*& data, size_t& size) override;

private:
  FakeImaging& owner_;
  bool locked_ = false;
};

struct FakeImaging final : Imaging {
  uint32_t width = 5, height = 3;
  bool openFails = false, lockFails = false, throwOnSize = false;
  std::vector<LockCall> locks;
  int unlocks = 0, disposed = 0;
  std::map<uint32_t, std::string> properties;  // ASCII property items by tag
  std::vector<uint8_t> file;                    // the bytes it decoded from memory, if any
  std::unique_ptr<Picture> Open(const char*) override {
    if (openFails) return nullptr;
    return std::make_unique<FakePicture>(*this);
  }
};

FakePicture::~FakePicture() {
  Unlock();
  ++owner_.disposed;
}
bool FakePicture::Size(uint32_t& w, uint32_t& h) {
  if (owner_.throwOnSize) throw std::runtime_error("damaged");
  w = owner_.width;
  h = owner_.height;
  return true;
}
bool FakePicture::LockInto(int32_t x, int32_t y, int32_t w, int32_t h, LockLayout layout,
                           int32_t stride, void* target) {
  if (owner_.lockFails) return false;
  owner_.locks.push_back({x, y, w, h, layout, stride});
  // Pixel (x, y) gets blue = x, green = y, red = 0x80.
  auto* bytes = static_cast<uint8_t*>(target);
  const int bpp = layout == LockLayout::Rgb32 ? 4 : 3;
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) {
      uint8_t* p = bytes + r * stride + c * bpp;
      p[0] = static_cast<uint8_t>(x + c);
      p[1] = static_cast<uint8_t>(y + r);
      p[2] = 0x80;
      if (bpp == 4) p[3] = 0;
    }
  locked_ = true;
  return true;
}
bool FakePicture::PropertyText(uint32_t tag, std::string& text) {
  auto it = owner_.properties.find(tag);
  if (it == owner_.properties.end()) return false;
  text = it->second;
  return true;
}
bool FakePicture::FileBytes(const uint8_t*& data, size_t& size) {
  if (owner_.file.empty()) return false;
  data = owner_.file.data();
  size = owner_.file.size();
  return true;
}
void FakePicture::Unlock() {
  if (!locked_) return;
  locked_ = false;
  ++owner_.unlocks;
}

std::vector<uint8_t> g_buffer;
bool g_allocFails = false;
uint32_t g_allocated = 0;
void* KELV_CDECL TestAlloc(uint32_t bytes) {
  if (g_allocFails) return nullptr;
  g_allocated = bytes;
  g_buffer.assign(bytes, 0xEE);
  return g_buffer.data();
}

struct SinkCall {
  intptr_t first;
  int32_t index, w, h;
  std::vector<uint8_t> row;
};
std::vector<SinkCall> g_sink;
bool g_sinkAccepts = true;
uint8_t KELV_CDECL TestSink(intptr_t first, int32_t index, int32_t w, int32_t h) {
  SinkCall call{first, index, w, h, {}};
  if (index >= 0) {
    auto* row = reinterpret_cast<const uint8_t*>(first);
    call.row.assign(row, row + w * 3);
  }
  g_sink.push_back(call);
  return g_sinkAccepts ? 1 : 0;
}

class Decode : public ::testing::Test {
protected:
  FakeImaging imaging;
  ModuleOptions options;
  KelvRowSinkProc sinkVariable = nullptr;
  int32_t wantW = 0, wantH = 0, srcW = 0, srcH = 0;
  void* buffer = reinterpret_cast<void*>(0x1);

  void SetUp() override {
    g_buffer.clear();
    g_allocFails = false;
    g_allocated = 0;
    g_sink.clear();
    g_sinkAccepts = true;
    options.allocBuffer = &TestAlloc;
    options.rowSinkVariable = &sinkVariable;
  }
  void Run(bool wantBuffer = true) {
    DecodePicture(&imaging, options, "x.png", &wantW, &wantH, &srcW, &srcH,
                  wantBuffer ? &buffer : nullptr);
  }
  void ExpectFailed() {
    EXPECT_EQ(wantW, 0);
    EXPECT_EQ(wantH, 0);
    EXPECT_EQ(srcW, 0);
    EXPECT_EQ(srcH, 0);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(imaging.unlocks, static_cast<int>(imaging.locks.size()));
  }
};

// The date taken from the imaging library's property items: DateTimeOriginal, else
// DateTimeDigitized, else DateTime, the first real date; kept only for a picture that
// was delivered.
TEST_F(Decode, DateTakenFromThePropertyItemsOfADeliveredPicture) {
  const std::string a = "2021:07:14 10:30:00", b = "2019:01:02 03:04:05", c = "2000:02:29 23:59:59";
  struct Case {
    const char* what;
    std::map<uint32_t, std::string> properties;
    std::string expected;
  } cases[] = {
      {"all three", {{0x9003, a}, {0x9004, b}, {0x0132, c}}, a},
      {"digitized and DateTime", {{0x9004, b}, {0x0132, c}}, b},
      {"DateTime only", {{0x0132, c}}, c},
      {"none", {}, ""},
      {"original zeros", {{0x9003, "0000:00:00 00:00:00"}, {0x0132, c}}, c},
      {"month 13 everywhere", {{0x9003, "2021:13:01 00:00:00"}, {0x0132, "2021:13:01 00:00:00"}}, ""},
      {"text cut short", {{0x9003, "2021:07:14"}}, ""},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    imaging.properties = t.properties;
    kelv::plugin::DateTakenText date{};
    DecodePicture(&imaging, options, "x.tif", &wantW, &wantH, &srcW, &srcH, &buffer, &date);
    EXPECT_EQ(std::string(date.data()), t.expected);
  }
  // Not for sizes alone, a filtered or a failed picture: an earlier date does not linger.
  imaging.properties = {{0x9003, a}};
  for (int attempt = 0; attempt < 3; ++attempt) {
    SCOPED_TRACE(attempt);
    kelv::plugin::DateTakenText date{};
    date[0] = 'x';
    srcW = srcH = 0;
    imaging.lockFails = attempt == 2;
    if (attempt == 1) srcW = srcH = 100;  // the 5 x 3 picture is below this filter
    DecodePicture(&imaging, options, "x.tif", &wantW, &wantH, &srcW, &srcH, attempt == 0 ? nullptr : &buffer,
                  &date);
    EXPECT_EQ(date[0], '\0');
  }
}

using Bytes = std::vector<uint8_t>;

// A little-endian TIFF structure whose first directory holds DateTime = `date`.
Bytes TiffWithDate(const char* date) {
  Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x32, 0x01, 2, 0, 20, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0};
  t.insert(t.end(), date, date + 20);
  return t;
}

void PutChunk(Bytes& png, const char* type, const Bytes& data, int64_t claimedLength = -1) {
  const uint32_t n = claimedLength >= 0 ? uint32_t(claimedLength) : uint32_t(data.size());
  png.insert(png.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  png.insert(png.end(), 4, 0);  // CRC, not checked
}

// The chunks of a PNG (the signature first, the end chunk last) with an eXIf chunk before
// or after the image data, or none.
Bytes PngWithExif(const Bytes& exif, bool afterData, int64_t claimedLength = -1) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(png, "IHDR", Bytes(13, 1));
  if (!exif.empty() && !afterData) PutChunk(png, "eXIf", exif, claimedLength);
  PutChunk(png, "IDAT", Bytes(9, 7));
  if (!exif.empty() && afterData) PutChunk(png, "eXIf", exif, claimedLength);
  PutChunk(png, "IEND", {});
  return png;
}

// What the library does not report comes from the file's own bytes: a PNG's eXIf chunk
// wherever it stands, a TIFF file's directories; damaged chunks give nothing.
TEST_F(Decode, DateTakenFromTheFileBytesWhenTheLibraryGivesNone) {
  const char* a = "2021:07:14 10:30:00";
  const Bytes tiff = TiffWithDate(a);
  struct Case {
    const char* what;
    Bytes file;
    std::string expected;
  } cases[] = {
      {"PNG, eXIf before the data", PngWithExif(tiff, false), a},
      {"PNG, eXIf after the data", PngWithExif(tiff, true), a},
      {"PNG without eXIf", PngWithExif({}, false), ""},
      {"PNG, eXIf longer than the file", PngWithExif(tiff, false, 5000), ""},
      {"PNG, eXIf of zeros", PngWithExif(TiffWithDate("0000:00:00 00:00:00"), false), ""},
      {"TIFF file", tiff, a},
      {"TIFF file cut short", Bytes(tiff.begin(), tiff.begin() + 30), ""},
      {"GIF", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, ""},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    EXPECT_EQ(std::string(DateTakenInFile(t.file.data(), t.file.size()).data()), t.expected);
    imaging.file = t.file;
    kelv::plugin::DateTakenText date{};
    DecodePicture(&imaging, options, "x.png", &wantW, &wantH, &srcW, &srcH, &buffer, &date);
    EXPECT_EQ(std::string(date.data()), t.expected);
  }
  // The library's own answer comes first.
  imaging.file = PngWithExif(tiff, false);
  imaging.properties = {{0x9003, "2019:01:02 03:04:05"}};
  kelv::plugin::DateTakenText date{};
  DecodePicture(&imaging, options, "x.png", &wantW, &wantH, &srcW, &srcH, &buffer, &date);
  EXPECT_STREQ(date.data(), "2019:01:02 03:04:05");
}

TEST(SizeFilter, FitsInsideTheMinimumBoxInEitherOrientation) {
  EXPECT_TRUE(BelowSizeFilter(100, 80, 120, 90));
  EXPECT_TRUE(BelowSizeFilter(100, 80, 90, 120));
  EXPECT_FALSE(BelowSizeFilter(100, 80, 90, 70));
  EXPECT_FALSE(BelowSizeFilter(100, 80, 0, 500));
  EXPECT_FALSE(BelowSizeFilter(100, 80, 500, -1));
  EXPECT_FALSE(BelowSizeFilter(100, 80, 100, 80));
}

TEST(OutputSize, RefusesProductsBeyondOneRequest) {
  EXPECT_EQ(OutputBytes(5, 3, false), 60u);
  EXPECT_EQ(OutputBytes(5, 3, true), 20u);
  EXPECT_EQ(OutputBytes(70000, 70000, false), 0u);
  EXPECT_EQ(OutputBytes(70000, 70000, true), 280000u);
}

TEST_F(Decode, BufferModeLocksWholePictureIntoHostBuffer) {
  wantW = 999;  // no scaling: the delivered size is the picture's
  Run();
  EXPECT_EQ(wantW, 5);
  EXPECT_EQ(wantH, 3);
  EXPECT_EQ(srcW, 5);
  EXPECT_EQ(srcH, 3);
  ASSERT_EQ(buffer, g_buffer.data());
  EXPECT_EQ(g_allocated, 5u * 3 * 4);
  ASSERT_EQ(imaging.locks.size(), 1u);
  const LockCall& l = imaging.locks[0];
  EXPECT_EQ(l.layout, LockLayout::Rgb32);
  EXPECT_EQ(l.stride, 20);
  EXPECT_EQ(l.w, 5);
  EXPECT_EQ(l.h, 3);
  EXPECT_EQ(imaging.unlocks, 1);
  EXPECT_EQ(imaging.disposed, 1);
  EXPECT_EQ(g_buffer[(2 * 5 + 4) * 4 + 0], 4);  // pixel (4, 2)
  EXPECT_EQ(g_buffer[(2 * 5 + 4) * 4 + 1], 2);
}

TEST_F(Decode, SizesOnlyAllocatesNothing) {
  Run(false);
  EXPECT_EQ(wantW, 5);
  EXPECT_EQ(srcH, 3);
  EXPECT_EQ(g_allocated, 0u);
  EXPECT_TRUE(imaging.locks.empty());
  EXPECT_EQ(imaging.disposed, 1);
}

TEST_F(Decode, PictureBelowFilterIsNeverLocked) {
  srcW = 6;
  srcH = 6;
  Run();
  EXPECT_EQ(srcW, -5);
  EXPECT_EQ(srcH, -3);
  EXPECT_EQ(wantW, 5);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_TRUE(imaging.locks.empty());
  EXPECT_EQ(imaging.disposed, 1);
}

TEST_F(Decode, RowModeSendsBgrRowsTopDown) {
  sinkVariable = &TestSink;
  Run();
  ASSERT_EQ(g_sink.size(), 4u);
  EXPECT_EQ(g_sink[0].first, 0x101);
  EXPECT_EQ(g_sink[0].index, -1);
  EXPECT_EQ(g_sink[0].w, 5);
  EXPECT_EQ(g_sink[0].h, 3);
  EXPECT_EQ(g_allocated, 20u);  // one row
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(g_sink[y + 1].index, y);
    EXPECT_EQ(g_sink[y + 1].row[3 * 4 + 0], 4);  // blue of pixel 4
    EXPECT_EQ(g_sink[y + 1].row[3 * 4 + 1], y);  // green = row
    EXPECT_EQ(imaging.locks[y].layout, LockLayout::Rgb24);
    EXPECT_EQ(imaging.locks[y].y, y);
    EXPECT_EQ(imaging.locks[y].h, 1);
    EXPECT_EQ(imaging.locks[y].stride, 20);
  }
  EXPECT_EQ(imaging.unlocks, 3);
  EXPECT_EQ(buffer, g_buffer.data());
}

TEST_F(Decode, RefusingSinkFallsBackToBuffer) {
  sinkVariable = &TestSink;
  g_sinkAccepts = false;
  Run();
  EXPECT_EQ(g_sink.size(), 1u);
  EXPECT_EQ(g_allocated, 60u);
  EXPECT_EQ(imaging.locks.at(0).layout, LockLayout::Rgb32);
}

TEST_F(Decode, FailuresLeaveZeroSizesAndNoBuffer) {
  imaging.openFails = true;
  Run();
  ExpectFailed();

  SetUp();
  imaging = FakeImaging{};
  g_allocFails = true;
  Run();
  ExpectFailed();

  SetUp();
  imaging = FakeImaging{};
  imaging.lockFails = true;  // a lock that fails is no picture, not garbage
  Run();
  ExpectFailed();

  SetUp();
  imaging = FakeImaging{};
  imaging.throwOnSize = true;
  Run();
  ExpectFailed();
  EXPECT_EQ(imaging.disposed, 1);

  SetUp();
  imaging = FakeImaging{};
  imaging.width = 0;
  Run();
  ExpectFailed();

  SetUp();
  imaging = FakeImaging{};
  imaging.width = 0x80000000u;
  Run();
  ExpectFailed();

  SetUp();
  imaging = FakeImaging{};
  options.allocBuffer = nullptr;  // no options yet
  Run();
  ExpectFailed();
}

// ---- Options --------------------------------------------------------------------------

uint8_t KELV_CDECL OtherSink(intptr_t, int32_t, int32_t, int32_t) { return 0; }

TEST(Options, SizeThresholdsAcknowledgementAndRelease) {
  ModuleOptions state;
  bool release = false;
  KelvRowSinkProc variable = &OtherSink;
  TInModuleOptions o{};
  o.allocBuffer = &TestAlloc;
  o.flags = KELV_OPT_SIX_ARG | KELV_OPT_IGNORE_EXIF;
  o.rowSinkVariable = &variable;

  o.size = 4;
  EXPECT_EQ(ApplyOptions(state, &o, release), 0);
  EXPECT_EQ(ApplyOptions(state, nullptr, release), 0);
  EXPECT_EQ(state.allocBuffer, nullptr);

  // AllocBuffer only; the flags lie beyond the record (8 bytes on 32-bit x86).
  o.size = static_cast<int32_t>(offsetof(TInModuleOptions, allocBuffer) + sizeof(o.allocBuffer));
  EXPECT_EQ(ApplyOptions(state, &o, release), 1);
  EXPECT_EQ(state.allocBuffer, &TestAlloc);
  EXPECT_EQ(o.flags & KELV_OPT_SIX_ARG, KELV_OPT_SIX_ARG);
  EXPECT_EQ(state.rowSinkVariable, nullptr);

  o.size = static_cast<int32_t>(sizeof(TInModuleOptions));
  EXPECT_EQ(ApplyOptions(state, &o, release), 1);
  EXPECT_FALSE(release);
  EXPECT_EQ(o.flags, KELV_OPT_IGNORE_EXIF);  // acknowledged, the rest untouched
  EXPECT_EQ(state.rowSinkVariable, &variable);

  TInModuleOptions notice{};
  notice.size = static_cast<int32_t>(sizeof(TInModuleOptions));
  notice.flags = KELV_OPT_RELEASE;
  EXPECT_EQ(ApplyOptions(state, &notice, release), 1);
  EXPECT_TRUE(release);
  EXPECT_EQ(state.allocBuffer, &TestAlloc);  // the notice carries nothing to take
}

// ---- Finding the imaging library --------------------------------------------------------

class FakeSearch final : public SearchPlatform {
public:
  std::set<std::string> loadable;
  std::set<std::string> existing;
  std::map<std::string, std::string> own;  // values of the module's key
  bool registryFails = false;
  std::set<std::string> machineKeys;
  std::map<std::string, std::string> machineValues;
  std::map<std::string, std::vector<FolderEntry>> tree;
  std::vector<std::string> loads, frees, listed;

  Library Load(const std::string& p) override {
    loads.push_back(p);
    return loadable.count(p) ? reinterpret_cast<Library>(0x1000 + loads.size()) : nullptr;
  }
  void Free(Library l) override { frees.push_back(std::to_string(reinterpret_cast<uintptr_t>(l))); }
  bool FileExists(const std::string& p) override { return existing.count(p) != 0; }
  std::string OwnFolder() override { return "C:\\Kelvora\\"; }
  std::optional<std::string> ReadOwnValue(const char* name) override {
    if (registryFails) return std::nullopt;
    auto it = own.find(name);
    return it == own.end() ? std::string() : it->second;
  }
  bool WriteOwnValue(const char* name, const std::string& v) override {
    if (registryFails) return false;
    own[name] = v;
    return true;
  }
  bool MachineKeyExists(const std::string& p) override { return machineKeys.count(p) != 0; }
  std::optional<std::string> ReadMachineValue(const std::string& p, const char* name) override {
    auto it = machineValues.find(p + "|" + name);
    if (it == machineValues.end()) return std::nullopt;
    return it->second;
  }
  std::vector<FolderEntry> ListFolder(const std::string& f) override {
    listed.push_back(f);
    return tree[f];
  }
};

const std::string kPolicy = "SOFTWARE\\Microsoft\\.NETFramework\\policy\\";

TEST(Search, SystemPathThenOwnFolderThenStoredPath) {
  FakeSearch s;
  s.loadable = {"gdiplus.dll"};
  EXPECT_NE(FindImagingLibrary(s), nullptr);
  EXPECT_EQ(s.loads, std::vector<std::string>{"gdiplus.dll"});

  FakeSearch beside;
  beside.existing = {"C:\\Kelvora\\gdiplus.dll"};
  beside.loadable = {"C:\\Kelvora\\gdiplus.dll"};
  EXPECT_NE(FindImagingLibrary(beside), nullptr);
  EXPECT_EQ(beside.loads.back(), "C:\\Kelvora\\gdiplus.dll");

  FakeSearch stored;
  stored.own["Path"] = "D:\\lib\\gdiplus.dll";
  stored.loadable = {"D:\\lib\\gdiplus.dll"};
  EXPECT_NE(FindImagingLibrary(stored), nullptr);
  EXPECT_TRUE(stored.listed.empty());
}

TEST(Search, FrameworkWalkRunsOncePerVersionAndRemembersThePath) {
  FakeSearch s;
  s.machineKeys = {kPolicy + "v1.1", kPolicy + "v1.0"};
  s.machineValues["SOFTWARE\\Microsoft\\.NETFramework|InstallRoot"] = "C:\\Fw";
  s.tree["C:\\Fw\\"] = {{"v1.0", true}, {"v1.1", true}};
  s.tree["C:\\Fw\\v1.0\\"] = {{"GDIPLUS.DLL", false}};  // present but does not load
  s.tree["C:\\Fw\\v1.1\\"] = {{"readme.txt", false}, {"sub", true}};
  s.tree["C:\\Fw\\v1.1\\sub\\"] = {{"GdiPlus.dll", false}};
  s.loadable = {"C:\\Fw\\v1.1\\sub\\GdiPlus.dll"};
  EXPECT_NE(FindImagingLibrary(s), nullptr);
  EXPECT_EQ(s.own["NetVer"], "1.1");
  EXPECT_EQ(s.own["Path"], "C:\\Fw\\v1.1\\sub\\GdiPlus.dll");
  EXPECT_EQ(s.frees.size(), 1u);  // tested by loading and freeing, then loaded for good

  // A failed walk is not repeated while the framework version stays the same.
  FakeSearch again;
  again.machineKeys = {kPolicy + "v2.0"};
  again.machineValues["SOFTWARE\\Microsoft\\.NETFramework|InstallRoot"] = "C:\\Fw\\";
  EXPECT_EQ(FindImagingLibrary(again), nullptr);
  EXPECT_EQ(again.own["NetVer"], "2.0");
  EXPECT_EQ(again.listed.size(), 1u);
  again.listed.clear();
  EXPECT_EQ(FindImagingLibrary(again), nullptr);
  EXPECT_TRUE(again.listed.empty());
}

TEST(Search, NoFrameworkAndRegistryFailureEndWithoutResult) {
  FakeSearch none;
  EXPECT_EQ(FindImagingLibrary(none), nullptr);
  EXPECT_EQ(none.own["NetVer"], "0");

  FakeSearch broken;
  broken.registryFails = true;
  broken.machineKeys = {kPolicy + "v2.0"};
  EXPECT_EQ(FindImagingLibrary(broken), nullptr);
  EXPECT_TRUE(broken.listed.empty());
}

}  // namespace
}  // namespace sysformats
