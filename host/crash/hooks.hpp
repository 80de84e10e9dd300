// Installs the crash report's hooks at start-up, in this order: the C++ run-time's
// unhandled-exception procedure, the process-wide unhandled exception filter (Windows; the
// previous filter is kept and asked first) and the raise hook of kelv::Exception.
#pragma once

#include <string>

namespace kelv {

void InstallCrashHooks();

// A structured exception nobody handled is offered to the route before it is reported as
// a failure of the mode: a guard that knows better what was running (an effect call on
// this thread) reports it and does not return; otherwise the route returns.
using UnhandledRoute = void (*)(const std::string& message, const std::string& className, void* address);
void SetUnhandledRoute(UnhandledRoute route);

}  // namespace kelv
