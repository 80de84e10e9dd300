// Where the bug report is written: "BugReport.html" in the program's application-data
// folder, or "BugReport<N>.html" when that exists, so that an older report stays.
#pragma once

#include <functional>
#include <string>

namespace kelv {

// `folder` is the program's data folder (AppData + "\Kelvora"). `exists` tells whether a
// file is there; `random` gives R in [0, 1). Up to 10001 numbered names are tried; the
// last one tried is returned even when it exists (it is then overwritten).
std::string ChooseReportPath(const std::string& folder,
                             const std::function<bool(const std::string&)>& exists,
                             const std::function<double()>& random);

}  // namespace kelv
