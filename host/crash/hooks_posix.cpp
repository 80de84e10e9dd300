// Native stand-in: no structured exceptions here, only the two run-time hooks.
#include "crash/hooks.hpp"
#include "crash/unhandled.hpp"

namespace kelv {

// No filter here: nothing is ever routed.
void SetUnhandledRoute(UnhandledRoute) {}

void InstallCrashHooks() {
  InstallTerminateHook();
  InstallRaiseHook();
}

}  // namespace kelv
