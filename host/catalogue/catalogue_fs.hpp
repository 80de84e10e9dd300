// The few file-system services the catalogue needs, behind one small interface so that
// the scanning and cache-file logic runs natively (and under test doubles) as it does on
// Windows. Paths are 8-bit strings in the program's code page (UTF-8 where the system
// honours the manifest's choice) with backslashes; the native stand-in accepts
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
  FileAttrReparsePoint = 0x400,  // a junction or symbolic link (with FileAttrDirectory: to a folder)
};

// What tells one folder from every other while a scan runs, whatever path reached it.
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  auto operator<=>(const FolderIdentity&) const = default;
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
  // The same search stopped at its first entry: true when it finds anything at all.
  virtual bool HasMatch(const std::string& pattern) = 0;
  // The identity of the folder at path (links followed); false when the platform cannot
  // tell it, for example when the folder cannot be opened.
  virtual bool IdentifyFolder(const std::string& path, FolderIdentity& identity) = 0;
  // True when the byte starts a double-byte character in the code page of the 8-bit
  // paths, so that the byte after it (which may be 0x5C) is not a separator.
  virtual bool IsLeadByte(uint8_t byte) const = 0;
  // True when the program's 8-bit strings are UTF-8 (its manifest's choice, honoured from
  // Windows 10 1903 on): only then can a name written by an earlier run under the legacy
  // code page be told by its bytes.
  virtual bool ProgramCodePageIsUtf8() const { return false; }
  // A name written under the system's legacy ANSI code page, in the program's code page.
  virtual std::string FromLegacyCodePage(const std::string& name) const { return name; }

  // Last-write time as a 64-bit file time; 0 when the file cannot be opened or its time
  // cannot be read.
  virtual uint64_t LastWriteTime(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder level (its parent must exist).
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;

  // Opens the file for reading while denying other writers and reads it whole, at most
  // `maxBytes`. 0 when the file was opened (then `data` holds what could be read), else
  // the system error code of the failed open.
  virtual uint32_t ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& data) = 0;

  // Writes `data` to a new temporary file in path's folder and replaces path with it only
  // once it is completely written and flushed, so a failure at any point leaves the old
  // file as it was. 0 on success, else the system error code. The temporary file's name
  // is kReplaceTempPrefix, one to four hex digits and ".tmp" (see IsReplaceTempName).
  virtual uint32_t ReplaceFile(const std::string& path, const std::vector<uint8_t>& data) = 0;

  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The platform's file system.
CatalogueFileSystem& SystemFileSystem();

// The folder part of a path (before the last backslash or slash); empty when none.
std::string FolderOfPath(const std::string& path);

// The path without one trailing backslash. The string is walked from its start, character
// by character, so that a double-byte character whose second byte is 0x5C stays whole.
std::string WithoutTrailingBackslash(std::string path, const CatalogueFileSystem& fs);

// The reading loop of ReadWholeFile: `expected` is the file's size when it was opened,
// `read` reads up to n bytes to p and gives the count read (0 at the end or on a failure,
// which ends the data there). The data goes into one buffer of the expected size, read
// only once (no growing and copying on the way); a file that grew meanwhile is read on
// to its end, at most maxBytes in all.
void ReadWholeInto(size_t expected, size_t maxBytes, std::vector<uint8_t>& data,
                   const std::function<size_t(uint8_t* p, size_t n)>& read);

inline constexpr char kReplaceTempPrefix[] = "kvc";
// The name is one ReplaceFile gives its temporary files (letters in any case): such a file
// left in the folder is the remains of a save that was cut short.
bool IsReplaceTempName(const std::string& name);

}  // namespace kelv
