// The plain-text bug report written to the standard error output until the HTML report
// exists: the same facts as the first lines of the HTML report.
#pragma once

#include <cstdint>
#include <string>

namespace kelv {

inline constexpr int kReportExitCode = 217;

// "BugReport" followed by the exception's message, class name, raise address (hex) and the
// mode word (decimal), then `extraLine` when it is not empty; every line ends in CR LF.
std::string FormatInterimReport(const std::string& message, const std::string& className,
                                const void* address, uint32_t mode, const std::string& extraLine);

}  // namespace kelv
