// The machine facts of the bug report, queried while the report is written (Win32).
#pragma once

#include <string>

namespace kelv {

std::string SystemTextNow();
// "failed" when the query fails.
std::string ProcessorTextNow();
std::string MemoryTextNow();
// Every process, each entry starting with CR; "erlist" when listing fails.
std::string ProcessListTextNow();
// "<ProductName> <ProductVersion>" of an executable, "er" when it cannot be read.
std::string VersionTextOf(const std::string& path);

}  // namespace kelv
