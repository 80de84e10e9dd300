#include "catalogue/pic_list.hpp"

#include <algorithm>
#include <utility>

#include "catalogue/name_compare.hpp"
#include "common/exception.hpp"

namespace kelv {

TPicList::TPicList() = default;

TPicList::~TPicList() { Clear(); }

void TPicList::Attach(TFolderItem& item, const std::shared_ptr<uint64_t>& changes) {
  if (!item.Pictures) item.Pictures = std::make_shared<TPathList>();
  if (!item.Filtered) item.Filtered = std::make_shared<TPathList>();
  item.Pictures->AttachTo(changes);
  item.Filtered->AttachTo(changes);
}

int32_t TPicList::AddFolder(const std::string& path) {
  TFolderItem item;
  item.Path = path;
  return AddItem(item);
}

int32_t TPicList::AddItem(const TFolderItem& item) {
  auto copy = std::make_unique<TFolderItem>(item);
  Attach(*copy, changes_);
  items_.push_back(std::move(copy));
  Invalidate();
  return Count() - 1;
}

void TPicList::CheckIndex(int32_t i) const {
  if (i < 0 || i >= Count()) throw EListError("List index exceeds bounds (" + std::to_string(i) + ")");
}

void TPicList::DeleteItem(int32_t i) {
  CheckIndex(i);
  items_.erase(items_.begin() + i);
  Invalidate();
}

void TPicList::Clear() {
  items_.clear();
  Invalidate();
}

TFolderItem* TPicList::Item(int32_t i) {
  CheckIndex(i);
  Invalidate();
  return items_[static_cast<size_t>(i)].get();
}

const TFolderItem* TPicList::Item(int32_t i) const {
  CheckIndex(i);
  return items_[static_cast<size_t>(i)].get();
}

TFolderItem& TPicList::Entry(int32_t i) {
  CheckIndex(i);
  return *items_[static_cast<size_t>(i)];
}

TFolderItem TPicList::CopyItem(int32_t i) const { return *Item(i); }

void TPicList::RebuildIndex() const {
  starts_.resize(items_.size() + 1);
  int64_t sum = 0;
  for (size_t k = 0; k < items_.size(); ++k) {
    starts_[k] = sum;
    TFolderItem& item = *items_[k];
    // Lists put into an entry through Item() since the last rebuild report to us too.
    Attach(item, changes_);
    sum += static_cast<int64_t>(item.Pictures->size());
  }
  starts_[items_.size()] = sum;
  indexedAt_ = *changes_;
}

PictureLocation TPicList::Find(int32_t g) const {
  if (indexedAt_ != *changes_) RebuildIndex();
  // Negative indices are outside the index too (a plain walk would read before the
  // first entry's list).
  if (g < 0 || g >= starts_.back()) return {};
  // The first entry whose range ends after g; entries without pictures have empty ranges
  // and are stepped over.
  auto end = std::upper_bound(starts_.begin() + 1, starts_.end(), static_cast<int64_t>(g));
  size_t entry = static_cast<size_t>(end - starts_.begin()) - 1;
  return {static_cast<int32_t>(entry), static_cast<int32_t>(g - starts_[entry])};
}

int32_t TPicList::PictureCount() const {
  if (indexedAt_ != *changes_) RebuildIndex();
  return static_cast<int32_t>(std::min<int64_t>(starts_.back(), INT32_MAX));
}

std::string TPicList::PictureName(int32_t g) const {
  PictureLocation at = Find(g);
  if (!at.found()) return {};
  return std::string(items_[static_cast<size_t>(at.entry)]->Pictures->NameAt(static_cast<size_t>(at.index)));
}

int32_t TPicList::FindPicture(const std::string& name) const {
  int64_t first = 0;
  for (const auto& item : items_) {
    const TPathList& pictures = *item->Pictures;
    for (size_t k = 0; k < pictures.size(); ++k) {
      if (pictures.NameAt(k) == name) return static_cast<int32_t>(std::min<int64_t>(first + k, INT32_MAX));
    }
    first += static_cast<int64_t>(pictures.size());
  }
  return -1;
}

PictureLocation TPicList::LocatePicture(int32_t g, const std::string& name) const {
  PictureLocation at = Find(g);
  if (!at.found()) throw Exception("getfoldi failed");
  if (items_[static_cast<size_t>(at.entry)]->Pictures->NameAt(static_cast<size_t>(at.index)) != name) return {};
  return at;
}

bool TPicList::FilterPicture(int32_t g, const std::string& name) {
  PictureLocation at = Find(g);
  if (!at.found()) return false;
  TPathList& pictures = *items_[static_cast<size_t>(at.entry)]->Pictures;
  if (pictures.NameAt(static_cast<size_t>(at.index)) != name) return false;
  pictures.erase(static_cast<size_t>(at.index));
  AddFiltered(at.entry, name);
  return true;
}

void TPicList::AddFiltered(int32_t entry, const std::string& name) {
  TPathList& filtered = *Entry(entry).Filtered;
  if (filtered.empty() || CompareNames(name, filtered.back()) > 0) {
    filtered.push_back(name);
    return;
  }
  // The list is sorted, so the first element that name compares <= to is found by
  // bisection. Names that compare equal (differing in case only) sit together there;
  // all of them are checked, so that the list never holds one name twice.
  const auto& names = filtered.names();
  auto at = std::lower_bound(names.begin(), names.end(), name, NameLess());
  for (auto it = at; it != names.end() && CompareNames(name, *it) == 0; ++it) {
    if (*it == name) throw Exception("Dubl filtered");
  }
  filtered.insert(static_cast<size_t>(at - names.begin()), name);
}

void TPicList::RestoreFiltered(int32_t entry) {
  TFolderItem& item = Entry(entry);
  TPathList& filtered = *item.Filtered;
  if (filtered.empty()) return;
  const TPathList& pictures = *item.Pictures;
  // One merge into a new list; the entry changes only when the whole merge succeeded, so
  // a broken catalogue loses no names on the way to the crash report.
  std::vector<std::string> merged;
  merged.reserve(pictures.size() + filtered.size());
  size_t next = 0;
  for (const std::string& picture : pictures) {
    while (next < filtered.size() && CompareNames(filtered[next], picture) <= 0) {
      if (filtered[next] == picture) throw Exception("restfilt dubl");
      merged.push_back(filtered[next++]);
    }
    merged.push_back(picture);
  }
  for (; next < filtered.size(); ++next) {
    const std::string& name = filtered[next];
    if (!merged.empty()) {
      if (CompareNames(name, merged.back()) < 0) throw Exception("restfilt err2");
      if (name == merged.back()) throw Exception("restfilt dubl2");
    }
    merged.push_back(name);
  }
  item.Pictures->assign(std::move(merged));
  filtered.clear();
}

void TPicList::RestoreAllFiltered() {
  for (int32_t i = 0; i < Count(); ++i) RestoreFiltered(i);
}

TPicList& TheCatalogue() {
  static TPicList catalogue;
  return catalogue;
}

}  // namespace kelv
