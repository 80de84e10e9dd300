// Filling the catalogue from the disk: the recursive folder scan, the first catalogue
// built from the settings' folder list, and the start-up rescan of the folders marked for
// refresh, which keeps the size filter's verdicts.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "catalogue/catalogue_fs.hpp"
#include "catalogue/pic_list.hpp"

namespace kelv {

class RegistryStore;

class FolderScanner {
public:
  explicit FolderScanner(CatalogueFileSystem& fs = SystemFileSystem()) : fs_(fs) {}
  FolderScanner(const FolderScanner&) = delete;
  FolderScanner& operator=(const FolderScanner&) = delete;

  // The extensions that count as pictures: lower case, with the leading dot.
  std::vector<std::string> Extensions;
  // The full paths found by the last RefreshFolder.
  std::vector<std::string> ScanResult;
  // The scan descends into subfolders.
  bool IncludeSubdirs = true;

  // The folder being refreshed, for the settings dialog's progress display (which may
  // read it from another thread).
  std::string CurrentScanRoot() const;

  // Fills ScanResult with the sorted pictures under path (emptied first unless append).
  // One trailing backslash is removed from path. A missing or unreadable folder adds
  // nothing, and neither does an empty path (it would name the root of the current drive).
  void RefreshFolder(std::string path, bool append);
  // Appends the pictures of dir (and, with IncludeSubdirs, of its subfolders) to list in
  // the order the file system returns them. Each folder is scanned once, however many
  // junctions or links lead to it.
  void ScanFolder(const std::string& dir, std::vector<std::string>& list);
  // A search for the pattern finds at least one entry.
  bool FolderHasEntries(const std::string& pattern);
  // The file name's extension (from its last dot) is one of Extensions, ignoring the case
  // of ASCII letters.
  bool IsPictureName(const std::string& name) const;

  CatalogueFileSystem& FileSystem() const { return fs_; }

private:
  struct TreeWalk;
  void ScanTree(const std::string& dir, bool throughLink, TreeWalk& walk);

  CatalogueFileSystem& fs_;
  mutable std::mutex rootLock_;
  std::string root_;
};

// The process-wide scanner (its extension list is set once the input modules are loaded).
FolderScanner& TheScanner();

// The extension list from the extensions the input modules declare, in load order and
// declaration order: lower-cased (A-Z only), exact duplicates dropped.
std::vector<std::string> BuildExtensionList(const std::vector<std::string>& declared);

// The user's "My Pictures" shell folder; empty when it cannot be read.
std::string DefaultPicturesFolder(RegistryStore& registry);

// The first catalogue, from the folder list of the settings. An empty folder list gets
// the installation folder and the user's picture folder added to it. Only folders holding
// pictures become entries.
void BuildCatalogue(TPicList& list, FolderScanner& scanner, std::vector<std::string>& folderRoots,
                    const std::string& installFolder, RegistryStore& registry);

// Rescans the folders marked AutoRefresh (never entry 0), keeping pictures that are still
// filtered out of the show in Filtered.
void RefreshAutoFolders(TPicList& list, FolderScanner& scanner);

}  // namespace kelv
