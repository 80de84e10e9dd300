#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cpuid.h>
#include <x86intrin.h>

#include <cstring>
#include <vector>

#include "common/owners_win.hpp"
#include "crash/machine_facts.hpp"
#include "crash/system_info.hpp"

namespace kelv {

namespace {

// Keeps a library loaded by name for one query.
class Library {
public:
  explicit Library(const char* name) : module_(LoadLibraryA(name)) {}
  template <typename Proc>
  Proc Get(const char* name) const {
    return module_ ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)))
                   : nullptr;
  }

private:
  win::UniqueLibrary module_;
};

// A process snapshot's empty value is INVALID_HANDLE_VALUE, OpenProcess's is null.
win::UniqueFile TakeSnapshot(HANDLE snapshot) { return win::UniqueFile(snapshot); }

ProcessorRecord QueryProcessor() {
  ProcessorRecord p;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(0, &a, &b, &c, &d)) return p;
  p.cpuidAvailable = true;
  const unsigned maxLeaf = a;
  char vendor[13] = {};
  std::memcpy(vendor, &b, 4);
  std::memcpy(vendor + 4, &d, 4);
  std::memcpy(vendor + 8, &c, 4);
  p.vendor = VendorFromString(vendor);
  p.vendorName = VendorName(p.vendor);
  if (maxLeaf >= 1) {
    __get_cpuid(1, &a, &b, &c, &d);
    p.stepping = a & 0xF;
    p.model = (a >> 4) & 0xF;
    p.family = (a >> 8) & 0xF;
    p.brandIndex = b & 0xFF;
    p.features = d;
    p.mmx = (d >> 23) & 1;
  }
  if (maxLeaf >= 2 && p.vendor == CpuVendor::Intel) {
    __get_cpuid(2, &a, &b, &c, &d);
    for (const unsigned reg : {a, b, c, d}) {
      if (reg & 0x80000000u) continue;  // register holds no descriptors
      for (int i = (reg == a ? 1 : 0); i < 4; ++i) {
        const uint32_t kb = L2CacheKBFromDescriptor(static_cast<uint8_t>(reg >> (8 * i)));
        if (kb > p.l2CacheKB) p.l2CacheKB = kb;
      }
    }
  }
  p.name = ProcessorName(p);
  return p;
}

// Counts time-stamp cycles against the performance counter over up to 20 short rounds.
void MeasureSpeed(ProcessorRecord& p) {
  if (!((p.features >> 4) & 1)) return;
  LARGE_INTEGER frequency{};
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart < 10) return;
  const HANDLE thread = GetCurrentThread();
  std::vector<uint64_t> tenths;
  for (int round = 0; round < 20; ++round) {
    const int priority = GetThreadPriority(thread);
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    LARGE_INTEGER t0{}, t1{}, t2{};
    QueryPerformanceCounter(&t0);
    do QueryPerformanceCounter(&t1); while (t1.QuadPart - t0.QuadPart < 50);
    const uint64_t c1 = __rdtsc();
    do QueryPerformanceCounter(&t2); while (t2.QuadPart - t1.QuadPart < 1000);
    const uint64_t c2 = __rdtsc();
    SetThreadPriority(thread, priority);
    const uint64_t ticks = static_cast<uint64_t>(t2.QuadPart - t1.QuadPart);
    const uint64_t micros = 100000 * ticks / static_cast<uint64_t>(frequency.QuadPart / 10);
    const uint64_t cycles = c2 - c1;
    p.totalMicros += micros;
    p.totalCycles += cycles;
    tenths.push_back(micros ? cycles * 10 / micros : 0);
    if (round >= 2 && MeasurementSettled(tenths)) break;
  }
  p.speedKnown = true;
  p.rawMhz = RawMhz(p.totalCycles, p.totalMicros);
  p.roundedMhz = RoundMhzToMark(p.rawMhz);
}

}  // namespace

std::string SystemTextNow() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(&v)) return "failed";
  return SystemText(v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.szCSDVersion);
}

std::string ProcessorTextNow() {
  ProcessorRecord p = QueryProcessor();
  MeasureSpeed(p);
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return ProcessorText(info.dwNumberOfProcessors, p);
}

std::string MemoryTextNow() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  uint64_t workingSet = 0, inUse = 0, total = 0;
  const Library psapi("psapi.dll");
  using GetInfo = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
  if (const auto get = psapi.Get<GetInfo>("GetProcessMemoryInfo")) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (get(GetCurrentProcess(), &counters, sizeof counters)) {
      workingSet = counters.WorkingSetSize;
      // The heap's committed private memory now and at its peak.
      inUse = counters.PagefileUsage;
      total = counters.PeakPagefileUsage;
    }
  }
  return MemoryText(status.dwAvailPhys, status.dwTotalPhys, workingSet, inUse, total);
}

std::string VersionTextOf(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return "er";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return "er";
  struct Translation {
    WORD language, codePage;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation))
    return "er";
  char prefix[64];
  wsprintfA(prefix, "\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
  auto value = [&](const char* name) -> std::string {
    char* text = nullptr;
    UINT n = 0;
    const std::string query = std::string(prefix) + name;
    if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &n) || !text) return {};
    return std::string(text, strnlen(text, n));
  };
  const std::string product = value("ProductName");
  const std::string version = value("ProductVersion");
  if (product.empty() && version.empty()) return "er";
  return product + " " + version;
}

std::string ProcessListTextNow() {
  std::string text;
  const Library kernel("kernel32.dll");
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using Walk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
  const auto snapshot = kernel.Get<Snapshot>("CreateToolhelp32Snapshot");
  const auto first = kernel.Get<Walk>("Process32First");
  const auto next = kernel.Get<Walk>("Process32Next");
  if (snapshot && first && next) {
    const win::UniqueFile snap = TakeSnapshot(snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snap && first(snap.get(), &entry); more; more = next(snap.get(), &entry))
      text += "\r" + std::string(entry.szExeFile) + " (" + VersionTextOf(entry.szExeFile) + ")";
  }
  const Library psapi("psapi.dll");
  using Enum = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
  using BaseName = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
  const auto enumProcesses = psapi.Get<Enum>("EnumProcesses");
  const auto baseName = psapi.Get<BaseName>("GetModuleBaseNameA");
  if (enumProcesses && baseName && psapi.Get<BaseName>("GetModuleFileNameExA")) {
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    if (enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) {
      ids.resize(bytes / sizeof(DWORD));
      for (const DWORD id : ids) {
        std::string name;
        if (id == 0) {
          name = "System Idle Process";
        } else {
          const win::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
          char buffer[MAX_PATH];
          const DWORD n = process ? baseName(process.get(), nullptr, buffer, sizeof buffer) : 0;
          name = n > 0 ? std::string(buffer, n) : "System Process";
        }
        text += "\r" + name + ", " + std::to_string(id);
      }
    }
  }
  return text;
}

}  // namespace kelv
