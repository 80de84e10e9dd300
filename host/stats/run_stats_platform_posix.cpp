// Native stand-ins: there are no windows here.
#include <chrono>
#include <thread>

#include "stats/run_stats.hpp"

namespace kelv {

RunStatsPlatform SystemRunStatsPlatform() {
  RunStatsPlatform p;
  p.sleepMs = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  p.windowClassName = [](int64_t) { return std::string(); };
  p.tickCount = [] {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  };
  return p;
}

}  // namespace kelv
