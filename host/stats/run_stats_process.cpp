// The process's one set of run statistics, kept on the system registry.
#include "common/version.hpp"
#include "stats/run_stats.hpp"

namespace kelv {

namespace {
RunStats& ProcessStats() {
  static RunStats stats(SystemRegistry(), SystemRunStatsPlatform(), kProgramVersionWord);
  return stats;
}
}  // namespace

void StatsStart() { ProcessStats().Start(); }
void StatsRecordWindow(NativeWindow window, bool force) {
  ProcessStats().RecordWindow(static_cast<int64_t>(reinterpret_cast<intptr_t>(window)), force);
}
void StatsCleanEnd() { ProcessStats().CleanEnd(); }
void StatsRecordCrash() { ProcessStats().RecordCrash(); }
std::string StatsSummary() { return ProcessStats().Summary(); }

}  // namespace kelv
