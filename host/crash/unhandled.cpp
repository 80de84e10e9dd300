#include "crash/unhandled.hpp"

#include <atomic>

#include "common/exception.hpp"
#include "crash/app_mode.hpp"
#include "crash/capture.hpp"
#include "crash/report_entry.hpp"
#include "crash/report_gate.hpp"

namespace kelv {

namespace {
RaiseHook g_previousRaiseHook = nullptr;

// Captures the stack where the exception is made, unless a report or another capture is
// running, and unless this object was captured already (the same object again must not
// overwrite the first capture).
void CrashRaiseHook(const Exception& e, void* raiseAddress) {
  if (!ReportInProgress() && LastCapturedObject.load() != &e && !CaptureBusy.exchange(true)) {
    LastCapturedObject.store(&e);
    CaptureAtRaise(&e, raiseAddress);
    CaptureBusy.store(false);
  }
  if (g_previousRaiseHook) g_previousRaiseHook(e, raiseAddress);
}
}  // namespace

FailureInfo DescribeFailure(const std::exception_ptr& failure) {
  FailureInfo info;
  if (!failure) {
    // std::terminate without an exception in flight (a broken noexcept promise, a
    // joinable thread destroyed, ...).
    info.message = "Program terminated without an exception object.";
    return info;
  }
  try {
    std::rethrow_exception(failure);
  } catch (const Exception& e) {
    info.message = e.message();
    info.className = e.className();
    info.address = e.raiseAddress();
  } catch (...) {
    info.className = CurrentExceptionClassName();
    info.message = "Exception object " + info.className + " is not of class Exception.";
  }
  return info;
}

void UnhandledExceptionProcedure() {
  const FailureInfo info = DescribeFailure(std::current_exception());
  ReportModeFailure(info.message, info.className, info.address, AppMode.load() | AppModeUnhandled);
}

void InstallTerminateHook() { std::set_terminate(&UnhandledExceptionProcedure); }

void InstallRaiseHook() {
  const RaiseHook previous = SetRaiseHook(&CrashRaiseHook);
  // Installing twice must not chain the hook to itself (endless recursion at every raise).
  if (previous != &CrashRaiseHook) g_previousRaiseHook = previous;
}

}  // namespace kelv
