// The few file-system services the catalogue needs, behind one small interface so that
// the scanning and cache-file logic runs natively (and under test doubles) as it does on
// Windows. Paths are 8-bit ANSI strings with backslashes; the native stand-in accepts
// backslashes as separators too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelv {

// Attribute bits of a found entry (the platform's file attribute values).
enum : uint32_t {
  FileAttrReadOnly = 0x1,
  FileAttrHidden = 0x2,
  FileAttrSystem = 0x4,
  FileAttrDirectory = 0x10,
  FileAttrNormal = 0x80,
};

// System error codes the cache reader tells apart.
enum : uint32_t { SysErrorFileNotFound = 2, SysErrorAccessDenied = 5 };

class CatalogueFileSystem {
public:
  using FoundEntry = std::function<void(const std::string& name, uint32_t attributes)>;

  virtual ~CatalogueFileSystem() = default;

  // A directory search for `pattern` (a folder followed by "\*.*", or a name pattern):
  // calls `found` for every entry in the order the file system returns them, "." and ".."
  // included. False when the search finds nothing at all.
  virtual bool Search(const std::string& pattern, const FoundEntry& found) = 0;

  // Last-write time as a 64-bit file time; 0 when the file cannot be opened or its time
  // cannot be read.
  virtual uint64_t LastWriteTime(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder level (its parent must exist).
  virtual bool CreateFolder(const std::string& path) = 0;

  // Opens the file for reading while denying other writers and reads it whole, at most
  // `maxBytes`. 0 when the file was opened (then `data` holds what could be read), else
  // the system error code of the failed open.
  virtual uint32_t ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& data) = 0;

  // Writes `data` to a new temporary file in path's folder and replaces path with it only
  // once it is completely written and flushed, so a failure at any point leaves the old
  // file as it was. 0 on success, else the system error code.
  virtual uint32_t ReplaceFile(const std::string& path, const std::vector<uint8_t>& data) = 0;

  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The platform's file system.
CatalogueFileSystem& SystemFileSystem();

// The folder part of a path (before the last backslash or slash); empty when none.
std::string FolderOfPath(const std::string& path);

}  // namespace kelv
