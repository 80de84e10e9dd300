#include "saver/effect_guard_win.hpp"

#include <windows.h>

#include <atomic>

#include "crash/app_mode.hpp"
#include "crash/capture_win.hpp"
#include "crash/hooks.hpp"
#include "crash/report_entry.hpp"
#include "crash/report_text.hpp"
#include "kelv_effectmodule.h"

namespace kelv {

namespace {

thread_local const EffectCallContext* t_active = nullptr;
std::atomic<bool> g_installed{false};

bool IsModuleRuntimeError(DWORD code) { return (code & 0xFFFF0000u) == KELV_FX_RUNTIME_ERROR_EXCEPTION(0); }

bool InsideLibrary(void* address, HMODULE library) {
  if (!library || !address) return false;
  HMODULE owner = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &owner))
    return false;
  return owner == library;
}

// Sees every structured exception of the process first. It takes only those of an active
// effect call that the module raised as a run-time error, or errors whose address lies in
// the module's code; anything else (C++ throws, exceptions the system handles itself)
// goes its usual way.
LONG WINAPI EffectCallHandler(EXCEPTION_POINTERS* info) {
  const EffectCallContext* context = t_active;
  if (!context || !info || !info->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  const DWORD code = record.ExceptionCode;
  const bool isError = (code & 0xF0000000u) == 0xC0000000u;
  const bool runtime = IsModuleRuntimeError(code);
  if (!runtime && !(isError && InsideLibrary(record.ExceptionAddress, context->library)))
    return EXCEPTION_CONTINUE_SEARCH;

  const auto address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
  std::string message;
  std::string className = "EExternalException";
  if (runtime) {
    const uint64_t error = record.NumberParameters >= 1 ? record.ExceptionInformation[0] : (code & 0xFFFF);
    message = "Runtime error " + std::to_string(error) + " at " + AddressHex(address);
  } else if (code == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
    message = "Access violation at address " + AddressHex(address) + ": " +
              (record.ExceptionInformation[0] != 0 ? "write to " : "read from ") +
              AddressHex(record.ExceptionInformation[1]);
    className = "EAccessViolation";
  } else {
    message = "System exception " + HexDigits(code, 8) + " at address " + AddressHex(address);
  }
  t_active = nullptr;  // a fault while reporting goes to the process's own filter
  // The report shows the registers, the stack and the access at the fault, not where
  // the report was made.
  CaptureFaultOnce(*info);
  ReportCallFailure(*context, message, className, record.ExceptionAddress);
}

// A structured exception that no handler took while an effect call was active on this
// thread (one the module raised itself, from outside its own code): the process's
// filter hands it here, and it is reported as a failure of that call.
void RouteUnhandled(const std::string& message, const std::string& className, void* address) {
  const EffectCallContext* context = t_active;
  if (!context) return;
  t_active = nullptr;
  ReportCallFailure(*context, message, className, address);
}

}  // namespace

void InstallEffectGuard() {
  if (g_installed.exchange(true)) return;
  AddVectoredExceptionHandler(1, &EffectCallHandler);
  SetUnhandledRoute(&RouteUnhandled);
}

void ReportCallFailure(const EffectCallContext& context, const std::string& message, const std::string& className,
                       void* address) {
  const uint32_t mode = AppMode.load();
  if (context.preStep) ReportEffectFailure(message, className, address, context.text, mode);
  ReportWithContext(message, className, address, context.text, mode);
}

void ReportActiveEffectFailure(const std::string& message, const std::string& className, void* address) {
  const EffectCallContext* context = t_active;
  if (context) ReportCallFailure(*context, message, className, address);
  ReportModeFailure(message, className, address, AppMode.load() | AppModeShowThread);
}

ActiveEffectCall::ActiveEffectCall(const EffectCallContext& context) : previous_(t_active) { t_active = &context; }
ActiveEffectCall::~ActiveEffectCall() { t_active = previous_; }

}  // namespace kelv
