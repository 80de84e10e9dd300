#include "catalogue/folder_scan.hpp"

#include <algorithm>
#include <deque>
#include <exception>
#include <set>

#include "catalogue/name_compare.hpp"
#include "common/ascii_case.hpp"
#include "settings/registry.hpp"

namespace kelv {

namespace {

}  // namespace

std::string FolderScanner::CurrentScanRoot() const {
  std::lock_guard<std::mutex> lock(rootLock_);
  return root_;
}

bool FolderScanner::IsPictureName(const std::string& name) const {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = LowerAscii(name.substr(dot));
  return std::find(Extensions.begin(), Extensions.end(), extension) != Extensions.end();
}

bool FolderScanner::FolderHasEntries(const std::string& pattern) { return fs_.HasMatch(pattern); }

// A junction or link may lead back into the tree being scanned (endlessly, until the path
// grows too long) or to a folder scanned elsewhere in it. Not following links at all would
// lose the pictures of a linked folder kept outside the tree, so a folder already seen is
// not scanned again. The plain folders of the tree are scanned before any link is
// followed, so that a folder keeps its own path whatever order the file system lists links
// in. Plain folders cannot form a loop among themselves: their identities are asked for
// (one open of each folder) only when the tree holds a link at all, since that open is
// slow on large trees. A folder whose identity cannot be told is still scanned when the
// tree itself holds it, but not when a link leads to it.
struct FolderScanner::TreeWalk {
  std::vector<std::string>& list;
  std::vector<std::string> plain;  // plain folders scanned before any link
  std::set<FolderIdentity> visited;
  std::deque<std::string> links;  // links met and not yet followed
  bool followingLinks = false;
};

void FolderScanner::ScanFolder(const std::string& dir, std::vector<std::string>& list) {
  TreeWalk walk{list, {}, {}, {}, false};
  ScanTree(dir, false, walk);
  if (walk.links.empty()) return;
  for (const std::string& folder : walk.plain) {
    FolderIdentity identity;
    if (fs_.IdentifyFolder(folder, identity)) walk.visited.insert(identity);
  }
  walk.followingLinks = true;
  while (!walk.links.empty()) {
    std::string link = std::move(walk.links.front());
    walk.links.pop_front();
    ScanTree(link, true, walk);
  }
}

void FolderScanner::ScanTree(const std::string& dir, bool throughLink, TreeWalk& walk) {
  if (!walk.followingLinks) {
    walk.plain.push_back(dir);
  } else {
    FolderIdentity identity;
    if (fs_.IdentifyFolder(dir, identity)) {
      if (!walk.visited.insert(identity).second) return;
    } else if (throughLink) {
      return;
    }
  }
  fs_.Search(dir + "\\*.*", [&](const std::string& name, uint32_t attributes) {
    if (name == "." || name == "..") return;
    if (!(attributes & FileAttrDirectory)) {
      if (IsPictureName(name)) walk.list.push_back(dir + "\\" + name);
    } else if (IncludeSubdirs) {
      if (attributes & FileAttrReparsePoint)
        walk.links.push_back(dir + "\\" + name);
      else
        ScanTree(dir + "\\" + name, false, walk);
    }
  });
}

void FolderScanner::RefreshFolder(std::string path, bool append) {
  if (!append) ScanResult.clear();
  path = WithoutTrailingBackslash(std::move(path), fs_);
  // "" + "\\*.*" would search the root of the current drive.
  if (path.empty()) return;
  if (!FolderHasEntries(path + "\\*.*")) return;
  {
    std::lock_guard<std::mutex> lock(rootLock_);
    root_ = path;
  }
  std::vector<std::string> found;
  ScanFolder(path, found);
  std::stable_sort(found.begin(), found.end(), NameLess());
  ScanResult.insert(ScanResult.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
}

FolderScanner& TheScanner() {
  static FolderScanner scanner;
  return scanner;
}

std::vector<std::string> BuildExtensionList(const std::vector<std::string>& declared) {
  std::vector<std::string> list;
  for (const std::string& extension : declared) {
    std::string lower = LowerAscii(extension);
    if (std::find(list.begin(), list.end(), lower) == list.end()) list.push_back(std::move(lower));
  }
  return list;
}

std::string DefaultPicturesFolder(RegistryStore& registry) {
  try {
    auto key = registry.Open(Hive::CurrentUser, kShellFoldersKey, KeyAccess::Read);
    if (!key) return {};
    auto value = key->Query("My Pictures");
    if (!value || (value->type != RegType::String && value->type != RegType::ExpandString)) return {};
    const auto& data = value->data;
    auto end = std::find(data.begin(), data.end(), uint8_t{0});
    return std::string(data.begin(), end);
  } catch (const std::exception&) {
    return {};
  }
}

void BuildCatalogue(TPicList& list, FolderScanner& scanner, std::vector<std::string>& folderRoots,
                    const std::string& installFolder, RegistryStore& registry) {
  if (list.Count() == 0) list.AddFolder("Root");
  if (folderRoots.empty()) {
    // Without an installation folder (a damaged installation) there is nothing to add:
    // an empty path would scan the whole current drive.
    if (!installFolder.empty()) folderRoots.push_back(installFolder);
    std::string pictures = DefaultPicturesFolder(registry);
    if (!pictures.empty()) folderRoots.push_back(pictures);
  }
  for (const std::string& path : folderRoots) {
    scanner.IncludeSubdirs = true;
    scanner.RefreshFolder(path, false);
    if (scanner.ScanResult.empty()) continue;
    int32_t entry = list.AddFolder(path);
    list.Item(entry)->Pictures->append(scanner.ScanResult);
  }
}

void RefreshAutoFolders(TPicList& list, FolderScanner& scanner) {
  for (int32_t i = 1; i < list.Count(); ++i) {
    TFolderItem& item = *list.Item(i);
    // An entry without a path (only a damaged cache file holds one) names no folder to
    // scan: it is kept as it was stored.
    if (!item.AutoRefresh || WithoutTrailingBackslash(item.Path, scanner.FileSystem()).empty()) continue;
    scanner.IncludeSubdirs = item.IncludeSubdirs;
    scanner.RefreshFolder(item.Path, false);
    list.Modified = true;

    // Merge the sorted scan with the sorted filtered names: a filtered name that sorts
    // before the scanned one is gone from the disk, one that compares equal stays
    // filtered, and names after the last scanned one are kept untouched.
    const std::vector<std::string>& filtered = item.Filtered->names();
    std::vector<std::string> pictures;
    std::vector<std::string> stillFiltered;
    pictures.reserve(scanner.ScanResult.size());
    size_t k = 0;
    for (const std::string& scanned : scanner.ScanResult) {
      bool keepFiltered = false;
      while (k < filtered.size()) {
        int order = CompareNames(filtered[k], scanned);
        if (order < 0) {
          ++k;  // no longer on disk: dropped
          continue;
        }
        if (order == 0) {
          stillFiltered.push_back(filtered[k++]);
          keepFiltered = true;
        }
        break;
      }
      if (!keepFiltered) pictures.push_back(scanned);
    }
    stillFiltered.insert(stillFiltered.end(), filtered.begin() + static_cast<std::ptrdiff_t>(k), filtered.end());
    item.Filtered->assign(std::move(stillFiltered));
    item.Pictures->assign(std::move(pictures));
  }
}

}  // namespace kelv
