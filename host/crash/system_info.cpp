#include "crash/system_info.hpp"

#include <algorithm>

namespace kelv {

CpuVendor VendorFromString(const std::string& v) {
  if (v == "GenuineIntel") return CpuVendor::Intel;
  if (v == "CyrixInstead") return CpuVendor::Cyrix;
  if (v == "AuthenticAMD") return CpuVendor::Amd;
  if (v == "GenuineTMx86") return CpuVendor::Transmeta;
  return CpuVendor::Unknown;
}

std::string VendorName(CpuVendor vendor) {
  switch (vendor) {
    case CpuVendor::Intel: return "Intel";
    case CpuVendor::Cyrix: return "Cyrix";
    case CpuVendor::Amd: return "AMD";
    case CpuVendor::Transmeta: return "Transmeta";
    case CpuVendor::Unknown: break;
  }
  return "Unknown";
}

namespace {

std::string FamilyModelStepping(const char* prefix, const ProcessorRecord& p) {
  return std::string(prefix) + "(Family:" + std::to_string(p.family) + " Model:" + std::to_string(p.model) +
         " Stepping:" + std::to_string(p.stepping) + ")";
}

std::string IntelName(const ProcessorRecord& p) {
  switch (p.family) {
    case 4:
      switch (p.model) {
        case 0:
        case 1: return "Intel 486DX Processor";
        case 2: return "Intel 486SX Processor";
        case 3: return "Intel DX2 Processor";
        case 4: return "Intel 486 Processor";
        case 5: return "Intel SX2 Processor";
        case 7: return "Write-Back Enhanced Intel DX2 Processor";
        case 8: return "Intel DX4 Processor";
        default: return "Intel 486 Processor";
      }
    case 5: return "Pentium";
    case 6:
      switch (p.model) {
        case 1: return "Pentium Pro";
        case 3: return "Pentium II";
        case 5:
          if (p.l2CacheKB == 0) return "Celeron";
          return p.l2CacheKB <= 0x400 ? "Pentium II" : "Pentium II Xeon";
        case 6: return p.l2CacheKB <= 128 ? "Celeron" : "Pentium II";
        case 7: return p.l2CacheKB >= 0x400 ? "Pentium III Xeon" : "Pentium III";
        case 8:
          switch (p.brandIndex) {
            case 1: return "Celeron";
            case 3: return "Pentium III Xeon";
            default: return "Pentium III";
          }
        case 10: return "Pentium III Xeon";
        case 11: return "Pentium III";
        default: return "P6 (Model " + std::to_string(p.model) + ")";
      }
    case 15:
      switch (p.brandIndex) {
        case 1: return "Celeron";
        case 14: return "Xeon";
        default: return "Pentium 4";
      }
    default: return FamilyModelStepping("Intel", p);
  }
}

std::string CyrixName(const ProcessorRecord& p) {
  if (p.family == 4 && p.model == 4) return "Cyrix MediaGX";
  if (p.family == 5 && p.model == 2) return "Cyrix 6x86";
  if (p.family == 5 && p.model == 4) return "Cyrix GXm";
  if (p.family == 6) return "6x86MX";
  return std::to_string(p.family) + "x86";
}

std::string AmdName(const ProcessorRecord& p) {
  if (p.family == 4) return "Am486(R) or Am5x86";
  if (p.family != 5) return FamilyModelStepping("AMD", p);
  switch (p.model) {
    case 0:
    case 1:
    case 2:
    case 3: return "AMD-K5 (Model " + std::to_string(p.model) + ")";
    case 6: return "AMD-K6(R)";
    case 7: return "AMD-K6";
    case 8: return "AMD-K6(R) -2";
    case 9: return "AMD-K6(R) -3";
    default: return "Unknown AMD Model (" + std::to_string(p.model) + ")";
  }
}

}  // namespace

std::string ProcessorName(const ProcessorRecord& p) {
  switch (p.vendor) {
    case CpuVendor::Intel: return IntelName(p);
    case CpuVendor::Cyrix: return CyrixName(p);
    case CpuVendor::Amd: return AmdName(p);
    case CpuVendor::Transmeta: return "Crusoe";
    case CpuVendor::Unknown: break;
  }
  return "Unknown";
}

uint32_t RawMhz(uint64_t totalCycles, uint64_t totalMicros) {
  if (totalMicros == 0) return 0;
  const uint64_t whole = totalCycles / totalMicros;
  const uint64_t rest = totalCycles % totalMicros;
  return static_cast<uint32_t>(whole + (2 * rest > totalMicros ? 1 : 0));
}

uint32_t RoundMhzToMark(uint32_t rawMhz) {
  static constexpr uint32_t kMarks[] = {0, 20, 33, 50, 60, 66, 80, 90, 100};
  const uint32_t hundred = rawMhz / 100 * 100;
  const uint32_t within = rawMhz % 100;
  uint32_t best = 0;
  uint32_t bestDistance = ~0u;
  for (const uint32_t mark : kMarks) {
    const uint32_t distance = mark > within ? mark - within : within - mark;
    if (distance <= bestDistance) {  // marks ascend: a tie takes the higher one
      best = mark;
      bestDistance = distance;
    }
  }
  return hundred + best;
}

bool MeasurementSettled(const std::vector<uint64_t>& tenths) {
  if (tenths.size() < 3) return false;
  const auto last = tenths.end();
  const auto [lo, hi] = std::minmax_element(last - 3, last);
  return *hi - *lo < 4;
}

std::string ProcessorText(uint32_t processorCount, const ProcessorRecord& p) {
  std::string text = processorCount > 1 ? std::to_string(processorCount) + "x " : std::string();
  return text + p.name + ", " + std::to_string(p.roundedMhz) + " MHz";
}

std::string SystemText(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build,
                       const std::string& servicePack) {
  const std::string version = std::to_string(major) + "." + std::to_string(minor) + " Build: ";
  if (platformId == 2) return "Windows NT " + version + std::to_string(build) + " " + servicePack;
  return "Windows " + version + std::to_string(build & 0xFFFF) + " " + servicePack;
}

std::string MemoryText(uint64_t availPhys, uint64_t totalPhys, uint64_t workingSet,
                       uint64_t managerInUse, uint64_t managerTotal) {
  return std::to_string(availPhys >> 20) + " of " + std::to_string(totalPhys >> 20) + " MB, Allocated " +
         std::to_string(workingSet >> 10) + " (" + std::to_string(managerInUse >> 10) + " of " +
         std::to_string(managerTotal >> 10) + ") KB";
}

uint32_t L2CacheKBFromDescriptor(uint8_t d) {
  switch (d) {
    case 0x41: case 0x79: case 0x81: return 128;
    case 0x42: case 0x7A: case 0x82: return 256;
    case 0x43: case 0x7B: case 0x83: case 0x86: return 512;
    case 0x44: case 0x7C: case 0x84: case 0x87: case 0x78: return 1024;
    case 0x45: case 0x85: case 0x7D: return 2048;
    default: return 0;
  }
}

}  // namespace kelv
