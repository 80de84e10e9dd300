#include <windows.h>

#include "crash/report_platform.hpp"

namespace kelv {

void WriteErrorOutput(const std::string& text) {
  const HANDLE out = GetStdHandle(STD_ERROR_HANDLE);  // not owned: never closed here
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  for (size_t done = 0; done < text.size();) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(text.size() - done);
    if (!WriteFile(out, text.data() + done, chunk, &written, nullptr) || written == 0) return;
    done += written;
  }
}

void EndProcessNow(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

void BlockThisThread() {
  for (;;) Sleep(INFINITE);
}

}  // namespace kelv
