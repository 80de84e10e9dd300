// The few platform services the report entries need.
#pragma once

#include <string>

namespace kelv {

// Writes the text to the process's standard error output (nothing when there is none).
void WriteErrorOutput(const std::string& text);
// Ends the process at once with the given exit code.
[[noreturn]] void EndProcessNow(int exitCode);
// Blocks this thread for good (another thread's report ends the process).
[[noreturn]] void BlockThisThread();

}  // namespace kelv
