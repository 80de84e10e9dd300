// The platform's report maker: writes the report for one admitted failure, shows it and
// ends the process with exit code 217.
#pragma once

#include <cstdint>
#include <string>

namespace kelv {

inline constexpr int kReportExitCode = 217;

struct ReportRequest {
  std::string message;
  std::string className;
  void* address = nullptr;
  std::string extraLine;  // plug-in or context line, empty when none
  uint32_t mode = 0;
};

[[noreturn]] void MakeReportAndEnd(const ReportRequest& request);

}  // namespace kelv
