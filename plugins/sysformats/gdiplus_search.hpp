// Where the platform-formats module finds the imaging library: the system's search path,
// the module's own folder, the path remembered in the registry, and finally a walk through
// the framework folders, done once per framework version.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The loader's module handle under its own name (the system headers declare HMODULE as a
// pointer to this incomplete struct), so that the portable search holds it typed.
struct HINSTANCE__;

namespace sysformats {

using Library = HINSTANCE__*;

inline constexpr const char* kImagingLibrary = "gdiplus.dll";
inline constexpr const char* kOwnKey = "Software\\sysformats";
inline constexpr const char* kFrameworkKey = "SOFTWARE\\Microsoft\\.NETFramework";

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// The platform under the search.
class SearchPlatform {
public:
  virtual ~SearchPlatform() = default;
  // A library handle, or null (the loader's handle was 32 or less).
  virtual Library Load(const std::string& nameOrPath) = 0;
  virtual void Free(Library library) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // The folder of the module's own file, with a trailing backslash.
  virtual std::string OwnFolder() = 0;
  // Values of HKEY_CURRENT_USER "Software\sysformats" (the key is created when missing):
  // nothing when the registry fails, an empty text for a missing value.
  virtual std::optional<std::string> ReadOwnValue(const char* name) = 0;
  virtual bool WriteOwnValue(const char* name, const std::string& value) = 0;
  // HKEY_LOCAL_MACHINE keys, opened read-only.
  virtual bool MachineKeyExists(const std::string& path) = 0;
  virtual std::optional<std::string> ReadMachineValue(const std::string& path, const char* name) = 0;
  // The entries of a folder except "." and "..", in the file system's order.
  virtual std::vector<FolderEntry> ListFolder(const std::string& folder) = 0;
};

// "2.0", "1.1", "1.0" or "0": the newest framework policy key present.
std::string FrameworkVersion(SearchPlatform& platform);

// The loaded imaging library, or null when every step failed.
Library FindImagingLibrary(SearchPlatform& platform);

}  // namespace sysformats
