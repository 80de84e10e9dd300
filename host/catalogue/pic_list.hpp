// The catalogue: every picture the saver may show, organised by source. Entry 0 is
// "Root" (pictures the user added one by one), every other entry is a folder. A picture is
// addressed everywhere by its global index: its position when the `Pictures` lists of all
// entries are laid end to end in entry order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/path_list.hpp"

namespace kelv {

// One catalogue entry. Copies share the two lists (they are references); only the path
// text is copied.
struct TFolderItem {
  bool AutoRefresh = false;     // rescan this folder at program start
  bool IncludeSubdirs = true;   // the scan descends into subfolders
  std::uintptr_t TreeItem = 0;  // node of the settings dialog's folder tree; never stored
  std::shared_ptr<TPathList> Pictures = std::make_shared<TPathList>();
  std::string Path;
  // Kept sorted by CompareNames, no two names exactly equal.
  std::shared_ptr<TPathList> Filtered = std::make_shared<TPathList>();
};

// Where a global index lies: entry and position within the entry's `Pictures`.
struct PictureLocation {
  int32_t entry = -1;
  int32_t index = -1;
  bool found() const { return entry >= 0; }
};

class TPicList {
public:
  TPicList();
  ~TPicList();
  TPicList(const TPicList&) = delete;
  TPicList& operator=(const TPicList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  // Appends a new folder entry (AutoRefresh off, IncludeSubdirs on, empty lists).
  int32_t AddFolder(const std::string& path);
  // Appends a copy of the record; the new entry shares the record's lists.
  int32_t AddItem(const TFolderItem& item);
  // Raises EListError "List index exceeds bounds (i)" for an index outside the list.
  void DeleteItem(int32_t i);
  void Clear();
  // The entry itself, for changes in place. Raises the list error outside the list.
  // The global index is rebuilt on the next query after this call, so an entry's lists
  // may also be replaced through the pointer right away.
  TFolderItem* Item(int32_t i);
  const TFolderItem* Item(int32_t i) const;
  TFolderItem CopyItem(int32_t i) const;

  int32_t PictureCount() const;
  // The full path of global picture g; empty when g is outside 0 .. PictureCount-1.
  std::string PictureName(int32_t g) const;
  // The global index of the first picture whose path is exactly `name`, or -1.
  int32_t FindPicture(const std::string& name) const;
  // The entry and local index of global picture g when that picture is exactly `name`;
  // not found when it is another picture. Raises "getfoldi failed" when g is outside
  // the global index.
  PictureLocation LocatePicture(int32_t g, const std::string& name) const;
  // Moves global picture g to its entry's `Filtered` when it is exactly `name`.
  bool FilterPicture(int32_t g, const std::string& name);
  // Inserts name into the entry's `Filtered` in sorted position; "Dubl filtered" when the
  // list already holds exactly that name.
  void AddFiltered(int32_t entry, const std::string& name);
  // Merges the entry's `Filtered` back into its sorted `Pictures`.
  void RestoreFiltered(int32_t entry);
  void RestoreAllFiltered();

  // The catalogue differs from the cache file.
  bool Modified = false;
  // Last-write time of the cache file when it was loaded; 0 when missing or unreadable.
  uint64_t CacheTime = 0;

private:
  void CheckIndex(int32_t i) const;
  // The entry without marking the index stale (for the catalogue's own changes, which
  // go through the lists' change notices).
  TFolderItem& Entry(int32_t i);
  static void Attach(TFolderItem& item, const std::shared_ptr<uint64_t>& changes);
  void Invalidate() { ++*changes_; }
  // Entry and local index of g from the prefix sums; not found outside the index.
  PictureLocation Find(int32_t g) const;
  void RebuildIndex() const;

  std::vector<std::unique_ptr<TFolderItem>> items_;
  // Counts changes of the entry list and of the lengths of the entries' lists.
  std::shared_ptr<uint64_t> changes_ = std::make_shared<uint64_t>(0);
  // starts_[k]: global index of entry k's first picture; starts_[Count()]: the total.
  mutable std::vector<int64_t> starts_;
  mutable uint64_t indexedAt_ = UINT64_MAX;
};

// The process-wide catalogue.
TPicList& TheCatalogue();

}  // namespace kelv
