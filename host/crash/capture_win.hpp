// Win32 captures of the crash report: module table, stack trace, raw stack, registers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kelv {

struct ModuleRange {
  uintptr_t base = 0;
  uintptr_t codeStart = 0;
  uintptr_t codeEnd = 0;
  std::string name;  // "mainexe" or the plug-in's file name
};

// Entry 0 is the program ("mainexe"), then every library that provided a plug-in.
std::vector<ModuleRange> BuildModuleTable();

// One return address per line (CR LF after each), with module name and offset from the
// module's base where the address lies in a table entry's code.
std::string StackTraceFromContext(const CONTEXT& context, const std::vector<ModuleRange>& modules);
// Up to 320 bytes upwards from `stackPointer`, stopping at the top of this thread's stack.
std::string RawStackFrom(uintptr_t stackPointer);
std::string RegistersFromContext(const CONTEXT& context);

uintptr_t StackPointerOf(const CONTEXT& context);

// Copies a fault's record (code, access kind, data address), its registers and the stack
// at the fault into the capture state, unless a report is running or a capture is busy.
// Used by the exception filter and by guards that report a fault themselves.
void CaptureFaultOnce(const EXCEPTION_POINTERS& info);

}  // namespace kelv
