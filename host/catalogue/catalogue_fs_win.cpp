// Win32 file-system services of the catalogue and the user-locale name comparison.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "catalogue/catalogue_fs.hpp"
#include "catalogue/name_compare.hpp"
#include "common/code_page_win.hpp"
#include "common/owners_win.hpp"

namespace kelv {

namespace {

// Removes the temporary file unless it was moved into place.
struct TempFile {
  std::string path;
  bool keep = false;
  ~TempFile() {
    if (!keep && !path.empty()) DeleteFileA(path.c_str());
  }
};

class Win32CatalogueFileSystem final : public CatalogueFileSystem {
public:
  bool Search(const std::string& pattern, const FoundEntry& found) override {
    // Searched as wide text: the 8-bit search gives at most 260 bytes of a name, which in
    // UTF-8 is only about 86 characters of Chinese or Japanese.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(win::WideFromProgram(pattern).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    const win::UniqueFind search(h);
    do {
      data.cFileName[MAX_PATH - 1] = 0;
      const std::string name = win::ProgramFromWide(data.cFileName);
      found(name, data.dwFileAttributes);
    } while (FindNextFileW(h, &data));
    return true;
  }

  bool HasMatch(const std::string& pattern) override {
    WIN32_FIND_DATAA data;
    // The search ends at its first entry.
    const win::UniqueFind search(FindFirstFileA(pattern.c_str(), &data));
    return static_cast<bool>(search);
  }

  bool IdentifyFolder(const std::string& path, FolderIdentity& identity) override {
    // A folder opens only with backup semantics; no access right is needed to read its
    // identity, and opening follows junctions and links to their target.
    win::UniqueFile folder(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder.get(), &info)) return false;
    // File systems without file numbers (some network shares) give 0: not an identity.
    if (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0) return false;
    identity = {info.dwVolumeSerialNumber,
                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
  }

  bool IsLeadByte(uint8_t byte) const override { return IsDBCSLeadByte(byte) != 0; }
  bool ProgramCodePageIsUtf8() const override { return GetACP() == CP_UTF8; }
  std::string FromLegacyCodePage(const std::string& name) const override { return win::ProgramFromLegacyAnsi(name); }

  uint64_t LastWriteTime(const std::string& path) override {
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    FILETIME written;
    if (!GetFileTime(file.get(), nullptr, nullptr, &written)) return 0;
    return (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  }

  bool FileExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool FolderExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool CreateFolder(const std::string& path) override { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

  uint32_t ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& data) override {
    data.clear();
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
      DWORD error = GetLastError();
      return error ? error : ERROR_GEN_FAILURE;
    }
    LARGE_INTEGER size;
    const size_t expected = GetFileSizeEx(file.get(), &size) && size.QuadPart > 0
                                ? static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(size.QuadPart), maxBytes))
                                : 0;
    // A read error part way ends the data there: the reader keeps what came before.
    ReadWholeInto(expected, maxBytes, data, [&](uint8_t* p, size_t n) -> size_t {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n, size_t{1} << 30));
      return ::ReadFile(file.get(), p, want, &got, nullptr) ? got : 0;
    });
    return 0;
  }

  uint32_t ReplaceFile(const std::string& path, const std::vector<uint8_t>& data) override {
    std::string folder = FolderOfPath(path);
    if (folder.empty()) folder.push_back('.');
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), kReplaceTempPrefix, 0, temp)) return LastError();
    TempFile guard{temp};
    {
      win::UniqueFile file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return LastError();
      size_t written = 0;
      while (written < data.size()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - written, 1u << 24));
        DWORD got = 0;
        if (!WriteFile(file.get(), data.data() + written, want, &got, nullptr)) return LastError();
        if (got == 0) return ERROR_WRITE_FAULT;
        written += got;
      }
      if (!FlushFileBuffers(file.get())) return LastError();
      if (!file.Close()) return LastError();
    }
    if (!MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return LastError();
    guard.keep = true;
    return 0;
  }

  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

private:
  static uint32_t LastError() {
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
  }
};

}  // namespace

CatalogueFileSystem& SystemFileSystem() {
  static Win32CatalogueFileSystem fs;
  return fs;
}

int CompareNames(const std::string& a, const std::string& b) { return win::CompareProgramText(a, b); }

}  // namespace kelv
