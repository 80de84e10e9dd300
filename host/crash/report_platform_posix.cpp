// Native stand-ins, used by the unit tests.
#include <unistd.h>

#include "crash/capture.hpp"
#include "crash/report_platform.hpp"

namespace kelv {

void WriteErrorOutput(const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void EndProcessNow(int exitCode) { _exit(exitCode); }

void BlockThisThread() {
  for (;;) pause();
}

}  // namespace kelv

namespace kelv {

// Natively the stack is not captured: the report prints "no".
void CaptureAtRaise(const void*, void*) {}

}  // namespace kelv
