#include <windows.h>

#include <cstdio>

#include "app/app_state.hpp"
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

// Copies the fault's record and registers and the stack at the fault. A C++ throw was
// captured by the raise hook already when it was made.
void CaptureFault(const EXCEPTION_POINTERS& info) {
  const EXCEPTION_RECORD& record = *info.ExceptionRecord;
  if (IsCxxThrow(record.ExceptionCode) && TheCapture().stackTraceText != "no") return;
  CaptureState& state = TheCapture();
  try {
    state.exceptionCode = record.ExceptionCode;
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
}

// Hardware faults and other structured exceptions that nobody handled: C++ guards never
// see them, so the filter hands them to the report itself.
LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
  if (record && !ReportInProgress() && !CaptureBusy.exchange(true)) {
    CaptureFault(*info);
    CaptureBusy.store(false);
  }
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
  ReportModeFailure(message, className, record->ExceptionAddress, AppMode.load() | AppModeUnhandled);
}
}  // namespace

void InstallCrashHooks() {
  InstallTerminateHook();
  g_previousFilter = SetUnhandledExceptionFilter(&CrashExceptionFilter);
  InstallRaiseHook();
}

}  // namespace kelv
