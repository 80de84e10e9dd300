// The module as the host drives it: descriptor, options, both decode forms through the
// host file record, and the host heap.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "module.hpp"
#include "module_heap.hpp"
#include "picture_builders.hpp"

using namespace stdtest;

namespace {

int g_hostGets = 0;
int g_hostFrees = 0;
void* KELV_REGCALL HostGetMem(uint32_t size) {
  ++g_hostGets;
  return std::malloc(size);
}
void KELV_REGCALL HostFreeMem(void* block) {
  ++g_hostFrees;
  std::free(block);
}
void* KELV_REGCALL HostReallocMem(void** block, uint32_t size) {
  *block = std::realloc(*block, size);
  return *block;
}

// The record as far as the row sink variable (16 bytes on 32-bit x86): no heap routines.
constexpr int32_t kUpToRowSink = offsetof(TInModuleOptions, getMem);

KelvRowSinkProc g_sinkVariable = nullptr;
int g_sinkCalls = 0;
uint8_t KELV_CDECL CountingSink(intptr_t, int32_t, int32_t, int32_t) {
  ++g_sinkCalls;
  return 1;
}

// A picture written to a temporary file and opened the way the host opens it.
class HostFile {
public:
  explicit HostFile(const Bytes& bytes) {
    char name[] = "/tmp/stdformats_testXXXXXX";
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

class StdModule : public ::testing::Test {
protected:
  void SetUp() override {
    module_ = stdformats::DescribeModule();
    g_hostGets = g_hostFrees = 0;
    g_sinkVariable = nullptr;
    g_sinkCalls = 0;
  }
  void TearDown() override {
    stdformats::DescribeModule();  // back to the module's own heap
    ReleaseTestBuffers();
  }
  TInModuleOptions Options(int32_t size, uint32_t flags) {
    TInModuleOptions o{};
    o.size = size;
    o.allocBuffer = &TestAllocBuffer;
    o.flags = flags;
    o.rowSinkVariable = &g_sinkVariable;
    o.getMem = &HostGetMem;
    o.freeMem = &HostFreeMem;
    o.reallocMem = &HostReallocMem;
    return o;
  }
  void Decode6(int index, HostFile& file, int32_t* sizes, void** buffer) {
    reinterpret_cast<KelvDecode6Proc>(module_->decoders[index])(file.record(), &sizes[0], &sizes[1],
                                                                &sizes[2], &sizes[3], buffer);
  }
  TInModule* module_ = nullptr;
};

}  // namespace

TEST_F(StdModule, DescriptorNamesTheFourFormats) {
  EXPECT_EQ(module_->interfaceVersion, KELV_INMODULE_VERSION);
  EXPECT_EQ(module_->moduleVersion, 0x01000708u);
  EXPECT_STREQ(module_->name, "Standard image formats");
  EXPECT_EQ(module_->flags, 0x00010001u);
  EXPECT_EQ(std::string(module_->description).rfind("Standard image formats plugin ver 1.0.7.8\r\n", 0), 0u);
  ASSERT_EQ(module_->formatCount, 4);
  const char* ext[] = {".jpg", ".jpeg", ".bmp", ".ppm"};
  const char* names[] = {"JPEG", "JPEG", "Bitmap", "Portable pixel map"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(module_->extensions[i], ext[i]);
    EXPECT_STREQ(module_->formatNames[i], names[i]);
  }
  EXPECT_EQ(module_->decoders[0], module_->decoders[1]);
  EXPECT_EQ(module_->decoders[2], module_->decoders[3]);
  EXPECT_NE(module_->decoders[0], module_->decoders[2]);
  EXPECT_NE(std::string(stdformats::AboutText()).find("      Bitmap (without RLE compression) (.bmp)\r\n"),
            std::string::npos);
}

TEST_F(StdModule, SetOptionsAcknowledgesAndSwapsTheDecoders) {
  const KelvDecodeProc legacy = module_->decoders[0];
  TInModuleOptions small{};
  small.size = 4;
  EXPECT_EQ(module_->setOptions(&small), 0);
  EXPECT_EQ(module_->setOptions(nullptr), 0);

  TInModuleOptions release = Options(sizeof(TInModuleOptions), KELV_OPT_RELEASE | KELV_OPT_SIX_ARG);
  EXPECT_EQ(module_->setOptions(&release), 1);
  EXPECT_EQ(module_->decoders[0], legacy);  // the release changes nothing

  TInModuleOptions o = Options(sizeof(TInModuleOptions), KELV_OPT_SIX_ARG | KELV_OPT_FILL);
  EXPECT_EQ(module_->setOptions(&o), 1);
  EXPECT_EQ(o.flags, static_cast<uint32_t>(KELV_OPT_FILL));
  EXPECT_NE(module_->decoders[0], legacy);

  // Described again: legacy decoders, no allocator.
  module_ = stdformats::DescribeModule();
  EXPECT_EQ(module_->decoders[0], legacy);
  HostFile file(MakeBmp24(3, 3, Pattern));
  int32_t w = 0, h = 0;
  void* buffer = nullptr;
  reinterpret_cast<KelvDecode4Proc>(module_->decoders[2])(file.record(), &w, &h, &buffer);
  EXPECT_EQ(w, 0);  // no AllocBuffer: the decode fails instead of calling nil
  EXPECT_EQ(buffer, nullptr);
}

TEST_F(StdModule, BothFormsDecodeThroughTheHostFileRecord) {
  HostFile bmp(MakeBmp24(100, 80, Pattern));
  TInModuleOptions o = Options(kUpToRowSink, 0);
  ASSERT_EQ(module_->setOptions(&o), 1);
  int32_t w = 0, h = 0;
  void* buffer = nullptr;
  reinterpret_cast<KelvDecode4Proc>(module_->decoders[3])(bmp.record(), &w, &h, &buffer);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 80);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer, stdformats::LastBuffer());
  const uint8_t* p = static_cast<uint8_t*>(buffer) + (79 * 100 + 99) * 4;
  const Rgb last = Pattern(99, 79);
  EXPECT_EQ((Rgb{p[2], p[1], p[0]}), last);

  o = Options(kUpToRowSink, KELV_OPT_SIX_ARG);
  ASSERT_EQ(module_->setOptions(&o), 1);
  const struct {
    int32_t minW, minH;
    bool below;
  } filters[] = {{120, 90, true}, {90, 120, true}, {90, 70, false}};
  for (const auto& f : filters) {
    int32_t sizes[4] = {0, 0, f.minW, f.minH};
    buffer = nullptr;
    Decode6(2, bmp, sizes, &buffer);
    EXPECT_EQ(sizes[2], f.below ? -100 : 100);
    EXPECT_EQ(sizes[3], f.below ? -80 : 80);
    EXPECT_EQ(buffer == nullptr, f.below);
  }

  // Sizes only: nothing allocated.
  HostFile jpeg(MakeJpeg(40, 30, Pattern));
  int32_t sizes[4] = {0, 0, 0, 0};
  const size_t before = AllocationRequests().size();
  reinterpret_cast<KelvDecode6Proc>(module_->decoders[0])(jpeg.record(), &sizes[0], &sizes[1],
                                                          &sizes[2], &sizes[3], nullptr);
  EXPECT_EQ(sizes[2], 40);
  EXPECT_EQ(sizes[3], 30);
  EXPECT_EQ(AllocationRequests().size(), before);
}

TEST_F(StdModule, RowSinkIsCapturedFromTheHostVariable) {
  TInModuleOptions o = Options(kUpToRowSink, KELV_OPT_SIX_ARG);
  ASSERT_EQ(module_->setOptions(&o), 1);
  HostFile jpeg(MakeJpeg(40, 30, Pattern));
  int32_t sizes[4] = {};
  void* buffer = nullptr;
  Decode6(0, jpeg, sizes, &buffer);
  EXPECT_NE(buffer, nullptr);  // variable empty: buffer mode
  EXPECT_EQ(g_sinkCalls, 0);

  g_sinkVariable = &CountingSink;
  buffer = reinterpret_cast<void*>(1);
  Decode6(0, jpeg, sizes, &buffer);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(g_sinkCalls, 31);
  EXPECT_EQ(sizes[0], 40);
}

TEST_F(StdModule, OnlyAFullRecordHandsOverTheHostHeap) {
  HostFile bmp(MakeBmp24(20, 20, Pattern));
  HostFile jpeg(MakeJpeg(40, 30, Pattern));
  TInModuleOptions o = Options(kUpToRowSink, KELV_OPT_SIX_ARG);
  ASSERT_EQ(module_->setOptions(&o), 1);
  int32_t sizes[4] = {};
  void* buffer = nullptr;
  Decode6(2, bmp, sizes, &buffer);
  ASSERT_EQ(sizes[0], 20);
  sizes[0] = sizes[1] = 0;  // no wish: full size
  Decode6(0, jpeg, sizes, &buffer);
  ASSERT_EQ(sizes[0], 40);
  EXPECT_FALSE(stdformats::UsingHostHeap());
  EXPECT_EQ(g_hostGets, 0);

  o = Options(sizeof(TInModuleOptions), 0);
  ASSERT_EQ(module_->setOptions(&o), 1);
  EXPECT_TRUE(stdformats::UsingHostHeap());
  Decode6(2, bmp, sizes, &buffer);
  ASSERT_EQ(sizes[0], 20);
  EXPECT_GT(g_hostGets, 0);
  EXPECT_EQ(g_hostGets, g_hostFrees);  // nothing of the module outlives the decode
}

TEST_F(StdModule, HeapBlocksGoBackToTheHeapThatGaveThemAcrossASwitch) {
  stdformats::HeapBlock own = stdformats::NewHeapBlock(16);
  TInModuleOptions o = Options(sizeof(TInModuleOptions), 0);
  ASSERT_EQ(module_->setOptions(&o), 1);
  stdformats::HeapBlock host = stdformats::NewHeapBlock(0);
  EXPECT_EQ(g_hostGets, 1);
  EXPECT_TRUE(host);  // a zero-byte request still gives a block
  EXPECT_EQ(host.Size(), 0u);

  stdformats::HeapBlock moved = std::move(host);
  EXPECT_FALSE(host);
  stdformats::DescribeModule();  // back to the module's own heap
  own.Reset();                   // made before the switch: not a host block
  EXPECT_EQ(g_hostFrees, 0);
  moved = stdformats::NewHeapBlock(8);  // the host block it held goes back to the host
  EXPECT_EQ(g_hostFrees, 1);
  EXPECT_EQ(g_hostGets, 1);
  EXPECT_EQ(moved.Size(), 8u);
}

TEST_F(StdModule, FailuresClearEverySizeAndTheBuffer) {
  TInModuleOptions o = Options(kUpToRowSink, KELV_OPT_SIX_ARG);
  ASSERT_EQ(module_->setOptions(&o), 1);
  HostFile bad(Bytes{'B', 'M', 1, 2, 3});
  int32_t sizes[4] = {640, 480, 10, 10};
  void* buffer = reinterpret_cast<void*>(1);
  Decode6(2, bad, sizes, &buffer);
  EXPECT_EQ(sizes[0] | sizes[1] | sizes[2] | sizes[3], 0);
  EXPECT_EQ(buffer, nullptr);
  Decode6(0, bad, sizes, &buffer);  // not a JPEG either
  EXPECT_EQ(sizes[0] | sizes[1] | sizes[2] | sizes[3], 0);

  // The host buffer refused.
  o.allocBuffer = [](uint32_t) -> void* { return nullptr; };
  ASSERT_EQ(module_->setOptions(&o), 1);
  HostFile good(MakeBmp24(4, 4, Pattern));
  int32_t more[4] = {0, 0, 0, 0};
  Decode6(2, good, more, &buffer);
  EXPECT_EQ(more[0] | more[1] | more[2] | more[3], 0);
  EXPECT_EQ(buffer, nullptr);
}
