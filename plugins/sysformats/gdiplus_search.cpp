#include "gdiplus_search.hpp"

#include "plugincommon/ascii_case.hpp"

namespace sysformats {

namespace {

// Junctions can make a folder tree endless; no framework installation nests this deep.
constexpr int kMaxDepth = 32;

// Depth-first: the first file named gdiplus.dll that loads (it is freed again at once).
std::optional<std::string> WalkFor(SearchPlatform& platform, const std::string& folder, int depth) {
  if (depth > kMaxDepth) return std::nullopt;
  for (const FolderEntry& entry : platform.ListFolder(folder)) {
    std::string path = folder + entry.name;
    if (entry.isFolder) {
      if (auto found = WalkFor(platform, path + "\\", depth + 1)) return found;
    } else if (kelv::plugin::LowerAscii(entry.name) == kImagingLibrary) {
      if (Library library = platform.Load(path)) {
        platform.Free(library);
        return path;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::string FrameworkVersion(SearchPlatform& platform) {
  static const char* const kVersions[][2] = {{"v2.0", "2.0"}, {"v1.1", "1.1"}, {"v1.0", "1.0"}};
  for (const auto& v : kVersions)
    if (platform.MachineKeyExists(std::string(kFrameworkKey) + "\\policy\\" + v[0])) return v[1];
  return "0";
}

Library FindImagingLibrary(SearchPlatform& platform) {
  if (Library library = platform.Load(kImagingLibrary)) return library;

  const std::string besideModule = platform.OwnFolder() + kImagingLibrary;
  if (platform.FileExists(besideModule))
    if (Library library = platform.Load(besideModule)) return library;

  std::optional<std::string> stored = platform.ReadOwnValue("Path");
  if (!stored) return nullptr;
  if (!stored->empty())
    if (Library library = platform.Load(*stored)) return library;

  // The framework walk runs once per framework version.
  const std::string version = FrameworkVersion(platform);
  std::optional<std::string> storedVersion = platform.ReadOwnValue("NetVer");
  if (!storedVersion || *storedVersion == version) return nullptr;
  if (!platform.WriteOwnValue("NetVer", version)) return nullptr;
  std::optional<std::string> root = platform.ReadMachineValue(kFrameworkKey, "InstallRoot");
  if (!root || root->empty()) return nullptr;
  if (root->back() != '\\') *root += '\\';
  std::optional<std::string> found = WalkFor(platform, *root, 0);
  if (!found) return nullptr;
  platform.WriteOwnValue("Path", *found);
  return platform.Load(*found);
}

}  // namespace sysformats
