// Run statistics: counters in the product key about how runs end (starts, crash reports,
// runs found dead at the next start) and the marker "win" of the running instance's main
// window, which lets the next start tell a live instance from a run that died.
//
// Values (REG_SZ, decimal text; missing, non-numeric or of another type count as 0):
//   "ver" version that last reset the counters, "win" 0 / -1 / window handle,
//   "count" starts, "er" crash reports, "uer" dead runs with a window recorded,
//   "uwer" dead runs without one, "prever" bad ends since the last clean end.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "common/native_handles.hpp"
#include "settings/registry.hpp"

namespace kelv {

// Milliseconds tick at start-up, recorded by the run statistics.
inline uint32_t StartTick = 0;

// The platform services the statistics use, replaceable in tests.
struct RunStatsPlatform {
  std::function<void(uint32_t)> sleepMs;
  // The class name of the window with this handle, empty when there is no such window.
  std::function<std::string(int64_t)> windowClassName;
  std::function<uint32_t()> tickCount;
};

class RunStats {
public:
  RunStats(RegistryStore& registry, RunStatsPlatform platform, uint32_t versionWord);

  void Start();
  void RecordWindow(int64_t window, bool force);
  void CleanEnd();
  void RecordCrash();
  std::string Summary();
  void UpdateBuckets(bool counted, bool crash);

  bool OtherInstance() const { return otherInstance_; }
  // b0 size of "count", b1 crash rate, b2 rate of dead runs with a window, b3 without.
  const std::array<int, 4>& Buckets() const { return buckets_; }

private:
  RegistryStore& registry_;
  RunStatsPlatform platform_;
  uint32_t versionWord_;
  bool otherInstance_ = false;
  bool markerWritten_ = false;
  std::array<int, 4> buckets_{};
};

// The number a counter text stands for: decimal with an optional minus sign, else 0.
int64_t CounterNumber(const std::string& text);
// The size class of a start count and the class of a rate (0 ... 7).
int CountClass(int64_t n);
int RateClass(double rate);

// Sleep, window lookup and tick count of this system (Win32, or native stand-ins).
RunStatsPlatform SystemRunStatsPlatform();

// The process's statistics, on the real registry (in-memory natively).
void StatsStart();
// The window is kept as its number: the next start asks the system whether it still exists.
void StatsRecordWindow(NativeWindow window, bool force);
void StatsCleanEnd();
void StatsRecordCrash();
std::string StatsSummary();

}  // namespace kelv
