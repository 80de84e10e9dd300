#include <windows.h>

#include <cstdio>

#include "app/app_state.hpp"
#include "crash/hooks.hpp"
#include "crash/report_entry.hpp"
#include "crash/unhandled.hpp"

namespace kelv {

namespace {
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

// A C++ throw travels as a structured exception with this code (the upper bits carry
// flags); when nobody catches it, the C run-time's filter lets the throw return so that
// the C++ run-time calls the unhandled-exception procedure.
constexpr DWORD kCxxThrowMask = 0x20FFFFFF;
constexpr DWORD kCxxThrowCode = 0x20474343;

bool IsCxxThrow(DWORD code) { return (code & kCxxThrowMask) == kCxxThrowCode; }

std::string Hex(uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(value));
  return text;
}

// Hardware faults and other structured exceptions that nobody handled: C++ guards never
// see them, so the filter hands them to the report itself.
LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* info) {
  const LONG answer = g_previousFilter ? g_previousFilter(info) : EXCEPTION_EXECUTE_HANDLER;
  const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
  if (!record || IsCxxThrow(record->ExceptionCode) || answer == EXCEPTION_CONTINUE_EXECUTION)
    return answer;

  const auto address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
  std::string message;
  std::string className;
  if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
    const bool write = record->ExceptionInformation[0] != 0;
    message = "Access violation at address " + Hex(address) + ": " +
              (write ? "write to " : "read from ") + Hex(record->ExceptionInformation[1]);
    className = "EAccessViolation";
  } else {
    message = "System exception " + Hex(record->ExceptionCode) + " at address " + Hex(address);
    className = "EExternalException";
  }
  ReportModeFailure(message, className, record->ExceptionAddress,
                    AppMode.load() | AppModeUnhandled);
}
}  // namespace

void InstallCrashHooks() {
  InstallTerminateHook();
  g_previousFilter = SetUnhandledExceptionFilter(&CrashExceptionFilter);
  InstallRaiseHook();
}

}  // namespace kelv
