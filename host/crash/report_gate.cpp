#include "crash/report_gate.hpp"

#include <atomic>

namespace kelv {

namespace {
std::atomic<bool> g_reportInProgress{false};
// Set on the thread that owns the running report, so that a failure inside the report
// is told apart from a second failure on another thread.
thread_local bool t_ownsReport = false;
}  // namespace

ReportAdmission AdmitReport() {
  if (!g_reportInProgress.exchange(true)) {
    t_ownsReport = true;
    return ReportAdmission::First;
  }
  return t_ownsReport ? ReportAdmission::AgainOnThisThread : ReportAdmission::OtherThreadFirst;
}

bool ReportInProgress() { return g_reportInProgress.load(); }

}  // namespace kelv
