// Native stand-in: no structured exceptions here, only the two run-time hooks.
#include "crash/hooks.hpp"
#include "crash/unhandled.hpp"

namespace kelv {

void InstallCrashHooks() {
  InstallTerminateHook();
  InstallRaiseHook();
}

}  // namespace kelv
