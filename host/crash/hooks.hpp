// Installs the crash report's hooks at start-up, in this order: the C++ run-time's
// unhandled-exception procedure, the process-wide unhandled exception filter (Windows; the
// previous filter is kept and asked first) and the raise hook of kelv::Exception.
#pragma once

namespace kelv {

void InstallCrashHooks();

}  // namespace kelv
