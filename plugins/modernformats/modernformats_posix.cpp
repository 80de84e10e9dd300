// Native stand-ins for the DLL layer: the host file record's handle field holds a POSIX
// file descriptor, and there is no about box, so the whole module runs under the unit tests.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "decode_error.hpp"
#include "file_bytes.hpp"
#include "module.hpp"

namespace modernformats {

FileBytes::FileBytes(void* handle) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
  struct stat info {};
  if (fstat(fd, &info) != 0 || info.st_size <= 0) throw DecodeError("Empty or unreadable file");
  if (static_cast<uint64_t>(info.st_size) > kMaxFileBytes) throw DecodeError("File too large");
  size_ = static_cast<size_t>(info.st_size);
  block_ = NewHeapBlock(size_);
  size_t total = 0;
  while (total < size_) {
    const ssize_t got = pread(fd, block_.As<char>() + total, size_ - total, static_cast<off_t>(total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw DecodeError("Read failed");
    total += static_cast<size_t>(got);
  }
}

void KELV_CDECL ShowAbout(KelvWindowHandle) {}

}  // namespace modernformats
