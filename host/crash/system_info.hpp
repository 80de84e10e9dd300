// The machine facts of the bug report: operating system, processor with its measured
// clock speed, memory. The formatting and naming rules live here; the queries that fill
// the records are in the Win32 file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

enum class CpuVendor { Unknown, Intel, Cyrix, Amd, Transmeta };

struct ProcessorRecord {
  bool cpuidAvailable = false;
  bool mmx = false;  // feature bit 23
  CpuVendor vendor = CpuVendor::Unknown;
  uint32_t family = 0;
  uint32_t model = 0;
  uint32_t stepping = 0;
  uint32_t brandIndex = 0;
  uint32_t l2CacheKB = 0;  // from the cache descriptors; 0 = no second-level cache
  uint32_t features = 0;   // CPUID 1 EDX
  std::string vendorName;
  std::string name;
  // Measured speed.
  bool speedKnown = false;
  uint32_t rawMhz = 0;
  uint32_t roundedMhz = 0;
  uint64_t totalMicros = 0;
  uint64_t totalCycles = 0;
};

// The CPUID vendor string's vendor ("GenuineIntel", "CyrixInstead", "AuthenticAMD",
// "GenuineTMx86"), and the vendor's name.
CpuVendor VendorFromString(const std::string& vendorString);
std::string VendorName(CpuVendor vendor);

// The processor's name from vendor, family, model, stepping, brand index and cache size.
std::string ProcessorName(const ProcessorRecord& p);

// Whole MHz from the measured totals; a fraction above one half rounds up.
uint32_t RawMhz(uint64_t totalCycles, uint64_t totalMicros);
// The nearest of the marks 0, 20, 33, 50, 60, 66, 80, 90, 100 within the hundred; a tie
// goes to the higher mark (1995 -> 2000, 733 -> 733).
uint32_t RoundMhzToMark(uint32_t rawMhz);

// The clock measurement's early stop: the last three rounds' speeds (in tenths of MHz)
// spread by less than 4 tenths. `tenths` holds every round so far.
bool MeasurementSettled(const std::vector<uint64_t>& tenths);

// "2x Pentium III, 733 MHz"; the count only when above one.
std::string ProcessorText(uint32_t processorCount, const ProcessorRecord& p);

// "Windows NT 5.1 Build: 2600 Service Pack 3" (platform id 2) or
// "Windows 4.10 Build: 2222 A" (low 16 bits of the build number).
std::string SystemText(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build,
                       const std::string& servicePack);

// "<avail> of <total> MB, Allocated <working set> (<in use> of <total>) KB"; bytes in.
std::string MemoryText(uint64_t availPhys, uint64_t totalPhys, uint64_t workingSet,
                       uint64_t managerInUse, uint64_t managerTotal);

// The Intel cache-descriptor byte's second-level cache size in KB (0 for others).
uint32_t L2CacheKBFromDescriptor(uint8_t descriptor);

}  // namespace kelv
