// The report entries every guard hands its failure to. Each writes the bug report and
// ends the process with exit code 217; none returns.
#pragma once

#include <cstdint>
#include <string>

namespace kelv {

// A mode guard or the unhandled-exception procedure caught a failure.
[[noreturn]] void ReportModeFailure(const std::string& message, const std::string& className,
                                    void* address, uint32_t mode);
// An effect call failed; `pluginText` names the module, version, group and effect.
[[noreturn]] void ReportEffectFailure(const std::string& message, const std::string& className,
                                      void* address, const std::string& pluginText, uint32_t mode);
// Like the effect entry, with a context line written unchanged.
[[noreturn]] void ReportWithContext(const std::string& message, const std::string& className,
                                    void* address, const std::string& contextLine, uint32_t mode);

}  // namespace kelv
