#include "crash/interim_report.hpp"

#include <cinttypes>
#include <cstdio>

namespace kelv {

std::string FormatInterimReport(const std::string& message, const std::string& className,
                                const void* address, uint32_t mode, const std::string& extraLine) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "%08" PRIXPTR, reinterpret_cast<uintptr_t>(address));
  std::string text = "BugReport\r\n";
  text += "Exception: " + message + "\r\n";
  text += "Exception class: " + className + "\r\n";
  text += std::string("Exception address: ") + hex + "\r\n";
  text += "App mode: " + std::to_string(mode) + "\r\n";
  if (!extraLine.empty()) text += extraLine + "\r\n";
  return text;
}

}  // namespace kelv
