// The run-time hooks of the crash report that every platform has: the procedure the C++
// run-time calls when an exception leaves every handler, and the raise hook.
#pragma once

#include <exception>
#include <string>

namespace kelv {

struct FailureInfo {
  std::string message;
  std::string className;
  void* address = nullptr;  // where it was raised; unknown (0) for foreign objects
};

// What the report says about an exception object: a kelv::Exception gives its own message,
// class name and raise address; any other object the text "Exception object <class> is not
// of class Exception.".
FailureInfo DescribeFailure(const std::exception_ptr& failure);

// Installed with std::set_terminate: reports the exception in flight with AppMode | 0x100
// and ends the process with exit code 217.
[[noreturn]] void UnhandledExceptionProcedure();

// Installs UnhandledExceptionProcedure and the raise hook (which chains to the hook that
// was there before). The platform's InstallCrashHooks calls this around its own filter.
void InstallTerminateHook();
void InstallRaiseHook();

}  // namespace kelv
