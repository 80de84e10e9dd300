#include <windows.h>

#include "stats/run_stats.hpp"

namespace kelv {

RunStatsPlatform SystemRunStatsPlatform() {
  RunStatsPlatform p;
  p.sleepMs = [](uint32_t ms) { Sleep(ms); };
  p.windowClassName = [](int64_t handle) {
    const HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
    char name[256];
    if (!IsWindow(window)) return std::string();
    const int n = GetClassNameA(window, name, sizeof name);
    return n > 0 ? std::string(name, static_cast<size_t>(n)) : std::string();
  };
  p.tickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
  return p;
}

}  // namespace kelv
