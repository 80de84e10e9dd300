#include "crash/report_path.hpp"

namespace kelv {

std::string ChooseReportPath(const std::string& folder,
                             const std::function<bool(const std::string&)>& exists,
                             const std::function<double()>& random) {
  std::string path = folder + "\\BugReport.html";
  for (int attempt = 0; attempt < 10001 && exists(path); ++attempt) {
    const int n = static_cast<int>(9999.0 * random());
    path = folder + "\\BugReport" + std::to_string(n) + ".html";
  }
  return path;
}

}  // namespace kelv
