// The report entries: at most one report per process; the first failure makes it.
#include "crash/report_entry.hpp"

#include "crash/report_driver.hpp"
#include "crash/report_gate.hpp"
#include "crash/report_platform.hpp"

namespace kelv {

namespace {
[[noreturn]] void Report(const std::string& message, const std::string& className, void* address,
                         const std::string& extraLine, uint32_t mode) {
  switch (AdmitReport()) {
    case ReportAdmission::First:
      break;
    case ReportAdmission::AgainOnThisThread:
      // The report itself failed. It still is a failure: 217, never a clean 0.
      EndProcessNow(kReportExitCode);
    case ReportAdmission::OtherThreadFirst:
      // Ending the process here would cut the first report short.
      BlockThisThread();
  }
  MakeReportAndEnd(ReportRequest{message, className, address, extraLine, mode});
}
}  // namespace

void ReportModeFailure(const std::string& message, const std::string& className, void* address,
                       uint32_t mode) {
  Report(message, className, address, {}, mode);
}

void ReportEffectFailure(const std::string& message, const std::string& className, void* address,
                         const std::string& pluginText, uint32_t mode) {
  Report(message, className, address, pluginText.empty() ? "" : "Plugin: " + pluginText, mode);
}

void ReportWithContext(const std::string& message, const std::string& className, void* address,
                       const std::string& contextLine, uint32_t mode) {
  Report(message, className, address, contextLine, mode);
}

}  // namespace kelv
