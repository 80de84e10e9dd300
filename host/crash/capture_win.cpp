#include "crash/capture_win.hpp"

#include <cstring>

#include "crash/capture.hpp"
#include "crash/report_gate.hpp"
#include "crash/report_text.hpp"
#include "plugins/plugin_host.hpp"

namespace kelv {

namespace {

ModuleRange RangeOf(HMODULE module, std::string name) {
  ModuleRange range;
  range.base = reinterpret_cast<uintptr_t>(module);
  range.name = std::move(name);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE) return range;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(range.base + dos->e_lfanew);
  range.codeStart = range.base + nt->OptionalHeader.BaseOfCode;
  range.codeEnd = range.codeStart + nt->OptionalHeader.SizeOfCode;
  return range;
}

std::string FileNameOf(HMODULE module) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return "?";
  std::string text(path, n);
  const size_t slash = text.find_last_of("\\/");
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

const ModuleRange* Find(const std::vector<ModuleRange>& modules, uintptr_t address) {
  for (const ModuleRange& m : modules)
    if (address >= m.codeStart && address < m.codeEnd) return &m;
  return nullptr;
}

std::string TraceLine(uintptr_t address, const std::vector<ModuleRange>& modules) {
  std::string line = AddressHex(address);
  if (const ModuleRange* m = Find(modules, address)) line += " " + m->name + "+" + HexDigits(address - m->base, 8);
  return line + "\r\n";
}

void StackLimits(uintptr_t& low, uintptr_t& high) {
  const auto* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
  low = reinterpret_cast<uintptr_t>(tib->StackLimit);
  high = reinterpret_cast<uintptr_t>(tib->StackBase);
}

}  // namespace

std::vector<ModuleRange> BuildModuleTable() {
  std::vector<ModuleRange> table;
  table.push_back(RangeOf(GetModuleHandleA(nullptr), "mainexe"));
  for (const HMODULE module : ModuleLibraries()) table.push_back(RangeOf(module, FileNameOf(module)));
  return table;
}

uintptr_t StackPointerOf(const CONTEXT& c) {
#if defined(_WIN64)
  return static_cast<uintptr_t>(c.Rsp);
#else
  return static_cast<uintptr_t>(c.Esp);
#endif
}

#if defined(_WIN64)

// The system's unwinder walks the frames from the captured context upwards.
std::string StackTraceFromContext(const CONTEXT& start, const std::vector<ModuleRange>& modules) {
  CONTEXT c = start;
  std::string text;
  for (int frame = 0; frame < 64 && c.Rip != 0; ++frame) {
    text += TraceLine(static_cast<uintptr_t>(c.Rip), modules);
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(c.Rip, &imageBase, nullptr);
    if (entry) {
      void* handlerData = nullptr;
      DWORD64 establisher = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, c.Rip, entry, &c, &handlerData, &establisher, nullptr);
    } else {
      // A leaf function: the return address is on top of the stack.
      uintptr_t low = 0, high = 0;
      StackLimits(low, high);
      if (c.Rsp < low || c.Rsp + 8 > high) break;
      c.Rip = *reinterpret_cast<const DWORD64*>(c.Rsp);
      c.Rsp += 8;
    }
  }
  return text;
}

std::string RegistersFromContext(const CONTEXT& c) {
  const std::pair<const char*, DWORD64> regs[] = {
      {"RAX", c.Rax}, {"RBX", c.Rbx}, {"RCX", c.Rcx}, {"RDX", c.Rdx}, {"RSI", c.Rsi}, {"RDI", c.Rdi},
      {"RBP", c.Rbp}, {"RSP", c.Rsp}, {"R8", c.R8},   {"R9", c.R9},   {"R10", c.R10}, {"R11", c.R11},
      {"R12", c.R12}, {"R13", c.R13}, {"R14", c.R14}, {"R15", c.R15}};
  std::string text;
  for (const auto& [name, value] : regs) text += std::string(text.empty() ? "" : " ") + name + "=" + HexDigits(value, 16);
  return text;
}

#else

// Without unwind tables: a 32-bit value on the stack is taken as a return address when it
// lies in a module's code and the bytes before it form a call instruction.
std::string StackTraceFromContext(const CONTEXT& c, const std::vector<ModuleRange>& modules) {
  uintptr_t low = 0, high = 0;
  StackLimits(low, high);
  std::string text;
  for (uintptr_t sp = c.Esp & ~uintptr_t{3}; sp >= low && sp + 4 <= high; sp += 4) {
    const uintptr_t value = *reinterpret_cast<const uint32_t*>(sp);
    const ModuleRange* m = Find(modules, value);
    if (!m || value < m->codeStart + 6) continue;
    const auto* p = reinterpret_cast<const uint8_t*>(value);
    const bool call = p[-5] == 0xE8 || (p[-2] == 0xFF && (p[-1] & 0x38) == 0x10) ||
                      (p[-3] == 0xFF && (p[-2] & 0x38) == 0x10) || (p[-6] == 0xFF && (p[-5] & 0x38) == 0x10);
    if (call) text += TraceLine(value, modules);
  }
  return text;
}

std::string RegistersFromContext(const CONTEXT& c) {
  return "EAX=" + HexDigits(c.Eax, 8) + " EBX=" + HexDigits(c.Ebx, 8) + " ECX=" + HexDigits(c.Ecx, 8) +
         " EDX=" + HexDigits(c.Edx, 8) + " ESI=" + HexDigits(c.Esi, 8) + " EDI=" + HexDigits(c.Edi, 8) +
         " EBP=" + HexDigits(c.Ebp, 8) + " ESP=" + HexDigits(c.Esp, 8);
}

#endif

std::string RawStackFrom(uintptr_t sp) {
  uintptr_t low = 0, high = 0;
  StackLimits(low, high);
  if (sp < low || sp >= high) return "failed";
  const size_t count = high - sp < 320 ? high - sp : 320;
  std::vector<uint8_t> bytes(count);
  std::memcpy(bytes.data(), reinterpret_cast<const void*>(sp), count);
  return FormatRawStack(bytes);
}

void CaptureFaultOnce(const EXCEPTION_POINTERS& info) {
  if (!info.ExceptionRecord || ReportInProgress() || CaptureBusy.exchange(true)) return;
  const EXCEPTION_RECORD& record = *info.ExceptionRecord;
  CaptureState& state = TheCapture();
  try {
    state.exceptionCode = record.ExceptionCode;
    state.accessKind = 0;
    state.dataAddress = 0;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
      state.accessKind = record.ExceptionInformation[0] != 0 ? 1 : 0;
      state.dataAddress = record.ExceptionInformation[1];
    }
    LastCapturedObject.store(record.ExceptionAddress);
    state.frameValue.reset();
    if (info.ContextRecord) {
      state.registersText = RegistersFromContext(*info.ContextRecord);
      state.stackTraceText = StackTraceFromContext(*info.ContextRecord, BuildModuleTable());
      state.rawStackText = RawStackFrom(StackPointerOf(*info.ContextRecord));
    }
  } catch (...) {
    state.stackTraceText = "failed";
    state.rawStackText = "failed";
  }
  CaptureBusy.store(false);
}

// The raise hook's capture: the stack as it is where the exception is being made, and the
// raiser's frame (its stack pointer, found by the unwinder at the raise address).
void CaptureAtRaise(const void*, void* raiseAddress) {
  CaptureState& state = TheCapture();
  try {
    CONTEXT c{};
    c.ContextFlags = CONTEXT_FULL;
    RtlCaptureContext(&c);
    const std::vector<ModuleRange> modules = BuildModuleTable();
    state.stackTraceText = StackTraceFromContext(c, modules);
    state.rawStackText = RawStackFrom(StackPointerOf(c));
    state.frameValue = raiseAddress ? -1 : -2;
#if defined(_WIN64)
    if (raiseAddress) {
      CONTEXT walk = c;
      for (int frame = 0; frame < 64 && walk.Rip != 0; ++frame) {
        if (walk.Rip == reinterpret_cast<DWORD64>(raiseAddress)) {
          state.frameValue = static_cast<int64_t>(walk.Rsp);
          break;
        }
        DWORD64 imageBase = 0;
        const PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(walk.Rip, &imageBase, nullptr);
        if (!entry) break;
        void* handlerData = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, walk.Rip, entry, &walk, &handlerData, &establisher, nullptr);
      }
    }
#else
    if (raiseAddress) state.frameValue = static_cast<int64_t>(c.Ebp);
#endif
  } catch (...) {
    state.stackTraceText = "failed1";
    state.rawStackText = "failed1";
  }
}

}  // namespace kelv
