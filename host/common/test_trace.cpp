#include "common/test_trace.hpp"

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

void AppendTraceLine(const std::string& path, const std::string& line) {
  if (path.empty()) return;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "ab"),
                                                              &std::fclose);
  if (file) std::fputs((line + "\n").c_str(), file.get());
}

}  // namespace kelv
