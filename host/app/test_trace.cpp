#include "app/test_trace.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kelv {

const std::string& TestTracePath() {
  static const std::string path = [] {
    const char* value = std::getenv(kTestTraceVariable);
    return std::string(value ? value : "");
  }();
  return path;
}

std::string CommandLineTraceLine(const CommandLine& cmd) {
  // The handle is printed as the 32-bit number it was read from.
  const auto parent = static_cast<int32_t>(static_cast<intptr_t>(cmd.parentWindow));
  return "mode=" + cmd.modeText + " param=" + cmd.paramText + " parent=" + std::to_string(parent);
}

void AppendTraceLine(const std::string& path, const std::string& line) {
  if (path.empty()) return;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "ab"),
                                                              &std::fclose);
  if (file) std::fputs((line + "\n").c_str(), file.get());
}

}  // namespace kelv
