// Native stand-in of the catalogue's file-system services (std::filesystem and POSIX
// files), with backslashes taken as separators, and the ASCII case-insensitive order in
// place of the user-locale comparison.
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "catalogue/catalogue_fs.hpp"
#include "catalogue/name_compare.hpp"
#include "common/ascii_case.hpp"

namespace kelv {

namespace {

namespace fs = std::filesystem;

std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Win32-like error codes for the errno values the callers tell apart.
uint32_t ErrorCode(int error) {
  switch (error) {
    case ENOENT: return SysErrorFileNotFound;
    case EACCES:
    case EPERM: return SysErrorAccessDenied;
    case ENOSPC: return 112;  // disk full
    default: return error > 0 ? static_cast<uint32_t>(error) : 31;
  }
}

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

class PosixCatalogueFileSystem final : public CatalogueFileSystem {
public:
  bool Search(const std::string& pattern, const FoundEntry& found) override {
    std::string native = NativePath(pattern);
    size_t slash = native.rfind('/');
    std::string dir = slash == std::string::npos ? "." : native.substr(0, slash);
    if (dir.empty()) dir = "/";
    std::string mask = slash == std::string::npos ? native : native.substr(slash + 1);
    bool all = mask == "*" || mask == "*.*";

    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return false;
    bool any = false;
    auto report = [&](const std::string& name, uint32_t attributes) {
      if (!all && fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) return;
      any = true;
      found(name, attributes);
    };
    report(".", FileAttrDirectory);
    report("..", FileAttrDirectory);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      if (ec) break;
      std::string name = it->path().filename().string();
      // Links to folders are not followed, so a link loop cannot make the scan endless.
      bool folder = it->is_directory(ec) && !it->is_symlink(ec);
      uint32_t attributes = folder ? uint32_t{FileAttrDirectory} : 0u;
      if (!name.empty() && name[0] == '.') attributes |= FileAttrHidden;
      if (attributes == 0) attributes = FileAttrNormal;
      report(name, attributes);
    }
    return any;
  }

  uint64_t LastWriteTime(const std::string& path) override {
    std::error_code ec;
    auto time = fs::last_write_time(NativePath(path), ec);
    if (ec) return 0;
    return static_cast<uint64_t>(time.time_since_epoch().count());
  }

  bool FileExists(const std::string& path) override {
    std::error_code ec;
    return fs::is_regular_file(NativePath(path), ec);
  }

  bool FolderExists(const std::string& path) override {
    std::error_code ec;
    return fs::is_directory(NativePath(path), ec);
  }

  bool CreateFolder(const std::string& path) override {
    std::error_code ec;
    return fs::create_directory(NativePath(path), ec);
  }

  uint32_t ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& data) override {
    data.clear();
    Fd file{::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return ErrorCode(errno);
    constexpr size_t kChunk = 1 << 20;
    while (data.size() < maxBytes) {
      size_t at = data.size();
      size_t want = std::min(kChunk, maxBytes - at);
      data.resize(at + want);
      ssize_t got = ::read(file.fd, data.data() + at, want);
      if (got < 0 && errno == EINTR) {
        data.resize(at);
        continue;
      }
      // A read error part way ends the data there: the reader keeps what came before.
      data.resize(at + (got > 0 ? static_cast<size_t>(got) : 0));
      if (got <= 0) break;
    }
    return 0;
  }

  uint32_t ReplaceFile(const std::string& path, const std::vector<uint8_t>& data) override {
    std::string target = NativePath(path);
    std::string folder = FolderOfPath(target);
    std::string temp = (folder.empty() ? std::string(".") : folder) + "/kvcXXXXXX";
    Fd file{::mkstemp(temp.data())};
    if (file.fd < 0) return ErrorCode(errno);
    int error = 0;
    size_t written = 0;
    while (written < data.size() && !error) {
      ssize_t got = ::write(file.fd, data.data() + written, data.size() - written);
      if (got < 0 && errno != EINTR) error = errno;
      if (got > 0) written += static_cast<size_t>(got);
    }
    if (!error && ::fsync(file.fd) != 0) error = errno;
    if (::close(file.fd) != 0 && !error) error = errno;
    file.fd = -1;
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
      ::unlink(temp.c_str());
      return ErrorCode(error);
    }
    return 0;
  }

  void Sleep(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

}  // namespace

CatalogueFileSystem& SystemFileSystem() {
  static PosixCatalogueFileSystem fs;
  return fs;
}

int CompareNames(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(LowerAscii(a[i]));
    unsigned char y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace kelv
