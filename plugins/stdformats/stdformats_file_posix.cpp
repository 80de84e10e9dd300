// Native stand-in for the host's file handle: the handle field holds a POSIX file
// descriptor, so the whole module runs under the unit tests.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "byte_source.hpp"
#include "module.hpp"

namespace stdformats {

namespace {
int Descriptor(void* handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }
}  // namespace

HostFileSource::HostFileSource(void* handle) : handle_(handle) {
  struct stat info {};
  if (fstat(Descriptor(handle_), &info) == 0 && info.st_size > 0)
    setSize(static_cast<uint64_t>(info.st_size));
}

size_t HostFileSource::readAt(uint64_t pos, void* dst, size_t n) {
  size_t total = 0;
  while (total < n) {
    const ssize_t got = pread(Descriptor(handle_), static_cast<char*>(dst) + total, n - total,
                              static_cast<off_t>(pos + total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

void KELV_CDECL ShowAbout(KelvWindowHandle) {}

}  // namespace stdformats
