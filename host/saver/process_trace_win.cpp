#include "saver/process_trace_win.hpp"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace kelv {

namespace {

// Wine's GDI handle table: 65,536 entries of 24 bytes, each with the object's type in
// byte 14 (0 for a free entry). The process environment block points to it where Windows
// keeps the pointer to its own table.
constexpr size_t kGdiEntries = 0x10000;
constexpr size_t kGdiEntrySize = 24;
constexpr size_t kGdiTypeByte = 14;
#ifdef _WIN64
constexpr size_t kPebGdiTable = 0xF8;
#else
constexpr size_t kPebGdiTable = 0x94;
#endif

// The whole range is committed readable memory (a pointer the table does not back is
// never read).
bool Readable(const uint8_t* begin, size_t size) {
  const uint8_t* const end = begin + size;
  for (const uint8_t* p = begin; p < end;) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(p, &info, sizeof info) == 0) return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0) return false;
    p = static_cast<const uint8_t*>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

int64_t CountGdiTableEntries() {
  const auto* peb = reinterpret_cast<const uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  if (!peb) return -1;
  const uint8_t* table = nullptr;
  std::memcpy(&table, peb + kPebGdiTable, sizeof table);
  if (!table || !Readable(table, kGdiEntries * kGdiEntrySize)) return -1;
  int64_t live = 0;
  for (size_t i = 0; i < kGdiEntries; ++i) live += table[i * kGdiEntrySize + kGdiTypeByte] != 0 ? 1 : 0;
  return live;
}

bool Ours(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId();
}

BOOL CALLBACK CountChild(HWND window, LPARAM count) {
  if (Ours(window)) ++*reinterpret_cast<int64_t*>(count);
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
  if (Ours(window)) {
    ++*reinterpret_cast<int64_t*>(count);
    EnumChildWindows(window, &CountChild, count);  // every descendant
  }
  return TRUE;
}

// The process's windows: top-level ones with their descendants, and message-only ones.
int64_t CountOwnWindows() {
  int64_t count = 0;
  EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&count));
  for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
       w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr)) {
    if (Ours(w)) ++count;
  }
  return count;
}

// The system's list of open handles (NtQuerySystemInformation, SystemHandleInformation),
// for where GetProcessHandleCount counts nothing (Wine answers 0): the entries this
// process owns.
struct SystemHandleEntry {
  ULONG ownerProcess;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};

int64_t CountOwnHandles() {
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto query = ntdll ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                                 GetProcAddress(ntdll, "NtQuerySystemInformation")))
                           : nullptr;
  if (!query) return -1;
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<uint8_t> buffer(1 << 16);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return -1;
    const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
    const size_t room = (buffer.size() - offsetof(SystemHandleList, entries)) / sizeof(SystemHandleEntry);
    const DWORD self = GetCurrentProcessId();
    int64_t own = 0;
    for (size_t i = 0; i < std::min<size_t>(list->count, room); ++i) own += list->entries[i].ownerProcess == self ? 1 : 0;
    return own;
  }
  return -1;
}

int64_t FileTimeValue(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

}  // namespace

ProcessCounts ReadProcessCounts() {
  ProcessCounts counts;
  HANDLE self = GetCurrentProcess();
  DWORD handles = 0;
  // A running process always holds handles: none counted means that the system does not
  // count them.
  counts.handles = GetProcessHandleCount(self, &handles) && handles != 0 ? static_cast<int64_t>(handles) : CountOwnHandles();
  SetLastError(0);
  const DWORD gdi = GetGuiResources(self, GR_GDIOBJECTS);
  const bool counted = gdi != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
  counts.gdi = counted ? static_cast<int64_t>(gdi) : CountGdiTableEntries();
  counts.user = counted ? static_cast<int64_t>(GetGuiResources(self, GR_USEROBJECTS)) : CountOwnWindows();
  return counts;
}

std::string ProcessCountsText(const ProcessCounts& counts) {
  return " handles=" + std::to_string(counts.handles) + " gdi=" + std::to_string(counts.gdi) +
         " user=" + std::to_string(counts.user);
}

int64_t MillisSinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  GetSystemTimeAsFileTime(&now);
  return (FileTimeValue(now) - FileTimeValue(created)) / 10000;  // 100-ns units
}

}  // namespace kelv
