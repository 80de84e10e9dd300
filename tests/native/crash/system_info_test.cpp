#include <gtest/gtest.h>

#include "crash/system_info.hpp"

namespace kelv {
namespace {

ProcessorRecord Cpu(CpuVendor vendor, uint32_t family, uint32_t model, uint32_t brand = 0, uint32_t l2 = 256) {
  ProcessorRecord p;
  p.vendor = vendor;
  p.family = family;
  p.model = model;
  p.stepping = 3;
  p.brandIndex = brand;
  p.l2CacheKB = l2;
  return p;
}

TEST(ProcessorName, VendorsFamiliesAndModels) {
  EXPECT_EQ(VendorFromString("GenuineIntel"), CpuVendor::Intel);
  EXPECT_EQ(VendorFromString("CyrixInstead"), CpuVendor::Cyrix);
  EXPECT_EQ(VendorFromString("AuthenticAMD"), CpuVendor::Amd);
  EXPECT_EQ(VendorFromString("GenuineTMx86"), CpuVendor::Transmeta);
  EXPECT_EQ(VendorName(VendorFromString("HygonGenuine")), "Unknown");

  const CpuVendor I = CpuVendor::Intel;
  struct Case { ProcessorRecord p; const char* name; } cases[] = {
      {Cpu(I, 4, 1), "Intel 486DX Processor"}, {Cpu(I, 4, 2), "Intel 486SX Processor"},
      {Cpu(I, 4, 7), "Write-Back Enhanced Intel DX2 Processor"}, {Cpu(I, 4, 9), "Intel 486 Processor"},
      {Cpu(I, 5, 2), "Pentium"}, {Cpu(I, 6, 1), "Pentium Pro"},
      {Cpu(I, 6, 5, 0, 0), "Celeron"}, {Cpu(I, 6, 5, 0, 512), "Pentium II"}, {Cpu(I, 6, 5, 0, 2048), "Pentium II Xeon"},
      {Cpu(I, 6, 6, 0, 128), "Celeron"}, {Cpu(I, 6, 6, 0, 256), "Pentium II"},
      {Cpu(I, 6, 7, 0, 512), "Pentium III"}, {Cpu(I, 6, 7, 0, 1024), "Pentium III Xeon"},
      {Cpu(I, 6, 8, 1), "Celeron"}, {Cpu(I, 6, 8, 3), "Pentium III Xeon"}, {Cpu(I, 6, 8, 9), "Pentium III"},
      {Cpu(I, 6, 10), "Pentium III Xeon"}, {Cpu(I, 6, 11), "Pentium III"}, {Cpu(I, 6, 15), "P6 (Model 15)"},
      {Cpu(I, 15, 0, 14), "Xeon"}, {Cpu(I, 15, 0, 1), "Celeron"}, {Cpu(I, 15, 0, 9), "Pentium 4"},
      {Cpu(I, 7, 12), "Intel(Family:7 Model:12 Stepping:3)"},
      {Cpu(CpuVendor::Cyrix, 4, 4), "Cyrix MediaGX"}, {Cpu(CpuVendor::Cyrix, 5, 4), "Cyrix GXm"},
      {Cpu(CpuVendor::Cyrix, 6, 0), "6x86MX"}, {Cpu(CpuVendor::Cyrix, 5, 9), "5x86"},
      {Cpu(CpuVendor::Amd, 4, 0), "Am486(R) or Am5x86"}, {Cpu(CpuVendor::Amd, 5, 3), "AMD-K5 (Model 3)"},
      {Cpu(CpuVendor::Amd, 5, 8), "AMD-K6(R) -2"}, {Cpu(CpuVendor::Amd, 5, 5), "Unknown AMD Model (5)"},
      {Cpu(CpuVendor::Amd, 15, 1), "AMD(Family:15 Model:1 Stepping:3)"},
      {Cpu(CpuVendor::Transmeta, 5, 4), "Crusoe"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProcessorName(c.p), c.name) << c.p.family << "/" << c.p.model;
}

TEST(ProcessorSpeed, RawMhzAndTheMarks) {
  EXPECT_EQ(RawMhz(19954, 10), 1995u);  // 1995.4
  EXPECT_EQ(RawMhz(7335, 10), 733u);    // exactly one half stays down
  EXPECT_EQ(RawMhz(7336, 10), 734u);
  EXPECT_EQ(RawMhz(100, 0), 0u);
  const std::pair<uint32_t, uint32_t> marks[] = {{600, 600}, {733, 733}, {1995, 2000}, {1994, 1990}, {742, 750},
                                                 {741, 733}, {663, 666}, {663 - 10, 650}, {10, 20}, {9, 0},
                                                 {85, 90}, {27, 33}, {26, 20}};
  for (const auto& [raw, rounded] : marks) EXPECT_EQ(RoundMhzToMark(raw), rounded) << raw;
}

TEST(ProcessorSpeed, MeasurementSettlesOnThreeCloseRounds) {
  EXPECT_FALSE(MeasurementSettled({7330, 7331}));
  EXPECT_TRUE(MeasurementSettled({7330, 7333, 7331}));
  EXPECT_FALSE(MeasurementSettled({7330, 7334, 7331}));
  EXPECT_TRUE(MeasurementSettled({9000, 7330, 7333, 7331}));
}

TEST(MachineTexts, SystemProcessorAndMemory) {
  EXPECT_EQ(SystemText(2, 5, 1, 2600, "Service Pack 3"), "Windows NT 5.1 Build: 2600 Service Pack 3");
  EXPECT_EQ(SystemText(1, 4, 10, 0x040A08AE, " A "), "Windows 4.10 Build: 2222  A ");
  ProcessorRecord p;
  p.name = "Pentium III";
  p.roundedMhz = 733;
  EXPECT_EQ(ProcessorText(1, p), "Pentium III, 733 MHz");
  EXPECT_EQ(ProcessorText(2, p), "2x Pentium III, 733 MHz");
  EXPECT_EQ(MemoryText(100ull << 20 | 12345, 512ull << 20, 2048ull << 10 | 1000, 10 << 10, 20 << 10),
            "100 of 512 MB, Allocated 2048 (10 of 20) KB");
}

}  // namespace
}  // namespace kelv
