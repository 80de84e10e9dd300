// Native stand-in of the catalogue's file-system services (std::filesystem and POSIX
// files), with backslashes taken as separators, and the ASCII case-insensitive order in
// place of the user-locale comparison.
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
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
    return List(pattern, [&](const std::string& name, uint32_t attributes) {
      found(name, attributes);
      return true;
    });
  }

  bool HasMatch(const std::string& pattern) override {
    return List(pattern, [](const std::string&, uint32_t) { return false; });
  }

  bool IdentifyFolder(const std::string& path, FolderIdentity& identity) override {
    struct stat info;
    if (::stat(NativePath(path).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    return true;
  }

  // UTF-8 and the single-byte code pages never use 0x5C inside a character.
  bool IsLeadByte(uint8_t) const override { return false; }

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

  bool RemoveFile(const std::string& path) override { return ::unlink(NativePath(path).c_str()) == 0; }

  uint32_t ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& data) override {
    data.clear();
    Fd file{::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return ErrorCode(errno);
    struct stat info {};
    const size_t expected = ::fstat(file.fd, &info) == 0 && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    // A read error part way ends the data there: the reader keeps what came before.
    ReadWholeInto(expected, maxBytes, data, [&](uint8_t* p, size_t n) -> size_t {
      for (;;) {
        const ssize_t got = ::read(file.fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? static_cast<size_t>(got) : 0;
      }
    });
    return 0;
  }

  uint32_t ReplaceFile(const std::string& path, const std::vector<uint8_t>& data) override {
    std::string target = NativePath(path);
    std::string folder = FolderOfPath(target);
    std::string temp;
    Fd file{CreateTempFile(folder.empty() ? std::string(".") : folder, temp)};
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

private:
  // Calls `found` for the entries matching the pattern until it returns false. Links to
  // folders are followed and reported as reparse points, as Windows reports junctions.
  template <typename Found>
  static bool List(const std::string& pattern, Found&& found) {
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
    bool more = true;
    auto report = [&](const std::string& name, uint32_t attributes) {
      if (!all && fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) return;
      any = true;
      more = found(name, attributes);
    };
    report(".", FileAttrDirectory);
    if (more) report("..", FileAttrDirectory);
    for (; more && it != fs::directory_iterator(); it.increment(ec)) {
      if (ec) break;
      std::string name = it->path().filename().string();
      uint32_t attributes = it->is_directory(ec) ? uint32_t{FileAttrDirectory} : 0u;
      if (it->is_symlink(ec)) attributes |= FileAttrReparsePoint;
      if (!name.empty() && name[0] == '.') attributes |= FileAttrHidden;
      if (attributes == 0) attributes = FileAttrNormal;
      report(name, attributes);
    }
    return any;
  }

  // A new file named as the Windows build names its temporary files: the prefix, a
  // number of one to four hex digits and ".tmp"; -1 with errno when none can be made.
  static int CreateTempFile(const std::string& folder, std::string& path) {
    static std::atomic<uint32_t> next{static_cast<uint32_t>(::getpid())};
    for (uint32_t attempt = 0; attempt < 0xFFFF; ++attempt) {
      uint32_t unique = next.fetch_add(1) % 0xFFFF + 1;
      char name[16];
      std::snprintf(name, sizeof name, "%s%X.tmp", kReplaceTempPrefix, unique);
      path = folder + "/" + name;
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
  }
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
