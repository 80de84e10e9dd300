#include <windows.h>

#include <cstdio>

#include "crash/app_mode.hpp"
#include "crash/capture.hpp"
#include "crash/capture_win.hpp"
#include "crash/hooks.hpp"
#include "crash/report_entry.hpp"
#include "crash/report_gate.hpp"
#include "crash/report_text.hpp"
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

UnhandledRoute g_route = nullptr;

// Hardware faults and other structured exceptions that nobody handled: C++ guards never
// see them, so the filter hands them to the report itself.
LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
  if (record && !(IsCxxThrow(record->ExceptionCode) && TheCapture().stackTraceText != "no"))
    CaptureFaultOnce(*info);
  const LONG answer = g_previousFilter ? g_previousFilter(info) : EXCEPTION_EXECUTE_HANDLER;
  if (!record || IsCxxThrow(record->ExceptionCode) || answer == EXCEPTION_CONTINUE_EXECUTION)
    return answer;

  const auto address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
  std::string message;
  std::string className;
  if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
    const bool write = record->ExceptionInformation[0] != 0;
    message = "Access violation at address " + AddressHex(address) + ": " +
              (write ? "write to " : "read from ") + AddressHex(record->ExceptionInformation[1]);
    className = "EAccessViolation";
  } else {
    message = "System exception " + HexDigits(record->ExceptionCode, 8) + " at address " + AddressHex(address);
    className = "EExternalException";
  }
  // A guard that is active on this thread (an effect call) reports it as its own failure.
  if (g_route) g_route(message, className, record->ExceptionAddress);
  ReportModeFailure(message, className, record->ExceptionAddress, AppMode.load() | AppModeUnhandled);
}
}  // namespace

void SetUnhandledRoute(UnhandledRoute route) { g_route = route; }

void InstallCrashHooks() {
  InstallTerminateHook();
  g_previousFilter = SetUnhandledExceptionFilter(&CrashExceptionFilter);
  InstallRaiseHook();
}

}  // namespace kelv
