// At most one bug report per process: the first failure to arrive makes the report; the
// process ends after it.
#pragma once

namespace kelv {

enum class ReportAdmission {
  First,              // this report goes ahead
  AgainOnThisThread,  // the report itself failed: end the process at once
  OtherThreadFirst,   // another thread is reporting and will end the process: wait for it
};

// Called once at the start of every report.
ReportAdmission AdmitReport();

// True once a report has started in this process.
bool ReportInProgress();

}  // namespace kelv
