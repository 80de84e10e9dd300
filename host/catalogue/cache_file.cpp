#include "catalogue/cache_file.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "catalogue/name_compare.hpp"
#include "common/code_page.hpp"
#include "common/exception.hpp"

namespace kelv {

namespace {

constexpr uint32_t kVersionWithPlainCounts = 0x02020000;  // P and T both 32 bits
constexpr uint32_t kVersionWithFiltered = 0x02030000;     // F, B and the filtered block
constexpr size_t kHeadFieldsAfterPath = 18;                // 0x00, flags, P, T, F, B

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Both read the names as they are kept (a list still packed is not unpacked for this).
void PutNames(std::vector<uint8_t>& out, const TPathList& names) {
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string_view name = names.NameAt(i);
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
  }
}

uint64_t BlockLength(const TPathList& names) {
  uint64_t length = 0;
  for (size_t i = 0; i < names.size(); ++i) length += names.NameAt(i).size() + 1;
  return length;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// The name in the program's code page: a name that is not UTF-8 while the program's
// strings are was written under the legacy code page.
void UpgradeName(std::string& name, const CatalogueFileSystem* legacyNames) {
  if (legacyNames && !IsValidUtf8(name)) name = legacyNames->FromLegacyCodePage(name);
}

// Where the names of a block start (offsets into the file): at most `count` names, each
// ended by a 0x00 byte; bytes after the last terminator are a name cut off by the end of
// the file and are not taken. Empty names take their place in the count but are not kept
// (no picture has an empty path).
std::vector<uint32_t> NameStarts(const uint8_t* file, const uint8_t* block, size_t size, uint32_t count) {
  static_assert(kCatalogueFileMaxBytes <= UINT32_MAX, "offsets into the file are 32 bits");
  const uint8_t* const end = block + size;
  std::vector<uint32_t> starts;
  // A kept name takes two bytes at least, its terminator included.
  starts.reserve(std::min<size_t>(count, size / 2));
  uint32_t names = 0;
  for (const uint8_t* p = block; names < count && p < end; ++names) {
    const auto* zero = static_cast<const uint8_t*>(std::memchr(p, 0, static_cast<size_t>(end - p)));
    if (!zero) break;
    if (zero > p) starts.push_back(static_cast<uint32_t>(p - file));
    p = zero + 1;
  }
  return starts;
}

std::string_view NameIn(const uint8_t* file, uint32_t start) {
  return std::string_view(reinterpret_cast<const char*>(file + start));
}

// Whether every name of a block is UTF-8 already (the usual case, in which the names stay
// packed in the file's bytes).
bool AllValidUtf8(const uint8_t* file, const std::vector<uint32_t>& starts) {
  for (uint32_t start : starts)
    if (!IsValidUtf8(NameIn(file, start))) return false;
  return true;
}

// The names of a block written under the legacy code page, as the program's strings.
std::vector<std::string> UpgradedNames(const uint8_t* file, const std::vector<uint32_t>& starts,
                                       const CatalogueFileSystem* legacyNames) {
  std::vector<std::string> names;
  names.reserve(starts.size());
  for (uint32_t start : starts) {
    names.emplace_back(NameIn(file, start));
    UpgradeName(names.back(), legacyNames);
  }
  return names;
}

// The filtered names in the program's code page, sorted again where a conversion changed
// their order.
void UpgradeFiltered(std::vector<std::string>& filtered, const CatalogueFileSystem* legacyNames) {
  bool changed = false;
  for (std::string& name : filtered) {
    if (IsValidUtf8(name)) continue;
    UpgradeName(name, legacyNames);
    changed = true;
  }
  if (changed && !std::is_sorted(filtered.begin(), filtered.end(), NameLess()))
    std::stable_sort(filtered.begin(), filtered.end(), NameLess());
}

// Makes a stored entry's filtered list safe for the catalogue's merges: exact duplicates
// keep their first occurrence, names that are also among the pictures leave the filtered
// list (the picture stays in the show), and the rest is sorted.
std::vector<std::string> NormalisedFiltered(const uint8_t* file, const std::vector<uint32_t>& pictures,
                                            const std::vector<uint32_t>& filteredStarts) {
  std::vector<std::string> filtered;
  if (filteredStarts.empty()) return filtered;
  std::unordered_set<std::string_view> unique;
  std::vector<std::string_view> kept;
  kept.reserve(filteredStarts.size());
  for (uint32_t start : filteredStarts) {
    if (unique.insert(NameIn(file, start)).second) kept.push_back(NameIn(file, start));
  }
  std::unordered_set<std::string_view> shown;
  for (uint32_t start : pictures) {
    const std::string_view picture = NameIn(file, start);
    if (unique.count(picture)) shown.insert(picture);
  }
  filtered.reserve(kept.size());
  for (std::string_view name : kept)
    if (!shown.count(name)) filtered.emplace_back(name);
  if (!std::is_sorted(filtered.begin(), filtered.end(), NameLess()))
    std::stable_sort(filtered.begin(), filtered.end(), NameLess());
  return filtered;
}

// Removes the temporary files that saves cut short (by a crash or a power failure) left in
// the folder; files of any other name are not touched. A save under way in another process
// keeps its temporary file open without sharing while it writes, so that file cannot be
// removed; should it go in the moment between that save's closing and moving it, the
// attempt fails and the save's next attempt writes a new one.
void RemoveStaleTempFiles(const std::string& folder, CatalogueFileSystem& fs) {
  const std::string dir = folder.empty() ? std::string(".") : folder;
  std::vector<std::string> stale;
  fs.Search(dir + "\\*.*", [&](const std::string& name, uint32_t attributes) {
    if (!(attributes & FileAttrDirectory) && IsReplaceTempName(name)) stale.push_back(name);
  });
  for (const std::string& name : stale) fs.RemoveFile(dir + "\\" + name);
}

[[noreturn]] void RaiseWriteFailure(const std::string& path, uint32_t error) {
  throw EInOutError("Unable to write file \"" + path + "\", Error = " + std::to_string(error));
}

}  // namespace

std::vector<uint8_t> EncodeCatalogue(const TPicList& list) {
  std::vector<uint8_t> out;
  size_t total = 6;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TFolderItem& item = *list.Item(i);
    total += 2 + item.Path.size() + kHeadFieldsAfterPath + BlockLength(*item.Pictures) + BlockLength(*item.Filtered);
  }
  out.reserve(total);
  out.push_back('P');
  out.push_back('R');
  Put32(out, kCatalogueFileVersion);
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TFolderItem& item = *list.Item(i);
    const uint64_t picturesLength = BlockLength(*item.Pictures);
    const uint64_t filteredLength = BlockLength(*item.Filtered);
    Put16(out, static_cast<uint16_t>(item.Path.size() + kHeadFieldsAfterPath));
    out.insert(out.end(), item.Path.begin(), item.Path.end());
    out.push_back(0);
    out.push_back(static_cast<uint8_t>((item.AutoRefresh ? 1 : 0) | (item.IncludeSubdirs ? 2 : 0)));
    Put32(out, static_cast<uint32_t>(item.Pictures->size()));
    Put32(out, static_cast<uint32_t>(picturesLength + filteredLength));
    Put32(out, static_cast<uint32_t>(item.Filtered->size()));
    Put32(out, static_cast<uint32_t>(filteredLength));
    PutNames(out, *item.Pictures);
    PutNames(out, *item.Filtered);
  }
  return out;
}

void DecodeCatalogue(const uint8_t* data, size_t size, TPicList& list, const CatalogueFileSystem* legacyNames) {
  DecodeCatalogue(std::make_shared<const std::vector<uint8_t>>(data, data + size), list, legacyNames);
}

void DecodeCatalogue(std::shared_ptr<const std::vector<uint8_t>> file, TPicList& list,
                     const CatalogueFileSystem* legacyNames) {
  // Only UTF-8 tells a name of another code page by its bytes.
  if (legacyNames && !legacyNames->ProgramCodePageIsUtf8()) legacyNames = nullptr;
  const uint8_t* const data = file->data();
  const uint8_t* const end = data + file->size();
  const uint8_t* p = data;
  auto left = [&] { return static_cast<size_t>(end - p); };

  if (left() < 2) return;
  uint32_t version = 0;
  if (p[0] == 'P' && p[1] == 'R') {
    p += 2;
    if (left() < 4) return;
    version = Get32(p);
    p += 4;
  } else {
    p += 2;  // the oldest layout: the two bytes are skipped
  }

  // The fields after the path's 0x00 in each layout: flags and the counts and lengths.
  const size_t fieldsSize = version < kVersionWithPlainCounts ? 1 + 2 + 4 : version < kVersionWithFiltered ? 1 + 4 + 4 : 1 + 16;

  for (;;) {
    if (left() < 2) break;
    const size_t headSize = Get16(p);
    p += 2;
    if (headSize == 0 || left() < headSize) break;
    const uint8_t* head = p;
    p += headSize;

    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(head, 0, headSize));
    if (!zero) break;
    const uint8_t* fields = zero + 1;
    // A head too short for its fields is damaged: nothing is read beyond it.
    if (static_cast<size_t>(head + headSize - fields) < fieldsSize) break;

    TFolderItem item;
    item.Path.assign(reinterpret_cast<const char*>(head), static_cast<size_t>(zero - head));
    UpgradeName(item.Path, legacyNames);
    item.AutoRefresh = (fields[0] & 1) != 0;
    item.IncludeSubdirs = (fields[0] & 2) != 0;
    uint32_t pictureCount, picturesLength, filteredCount = 0, filteredLength = 0;
    if (version < kVersionWithPlainCounts) {
      pictureCount = Get16(fields + 1);
      picturesLength = Get32(fields + 3);
    } else {
      pictureCount = Get32(fields + 1);
      picturesLength = Get32(fields + 5);
      if (version >= kVersionWithFiltered) {
        filteredCount = Get32(fields + 9);
        filteredLength = Get32(fields + 13);
        // T covers both blocks (a B larger than T wraps round and runs into the end).
        picturesLength -= filteredLength;
      }
    }

    // Blocks are cut at the end of the file: the names read completely are kept and the
    // reading stops after this entry.
    size_t picturesAvailable = std::min<size_t>(picturesLength, left());
    bool shortBlock = picturesAvailable < picturesLength;
    std::vector<uint32_t> pictures = NameStarts(data, p, picturesAvailable, pictureCount);
    p += picturesAvailable;
    std::vector<uint32_t> filtered;
    if (version >= kVersionWithFiltered && !shortBlock) {
      size_t filteredAvailable = std::min<size_t>(filteredLength, left());
      shortBlock = filteredAvailable < filteredLength;
      filtered = NameStarts(data, p, filteredAvailable, filteredCount);
      p += filteredAvailable;
    }
    // The pictures stay packed in the file's bytes (a show needs only the names it
    // shows); the filtered names, checked and sorted here, become strings.
    std::vector<std::string> filteredNames = NormalisedFiltered(data, pictures, filtered);
    if (legacyNames) UpgradeFiltered(filteredNames, legacyNames);
    item.Filtered = std::make_shared<TPathList>(std::move(filteredNames));
    if (legacyNames && !AllValidUtf8(data, pictures))
      item.Pictures = std::make_shared<TPathList>(UpgradedNames(data, pictures, legacyNames));
    else
      item.Pictures = std::make_shared<TPathList>(PackedNames{file, std::move(pictures)});
    list.AddItem(item);
    if (shortBlock) break;
  }
}

void SaveCatalogue(const TPicList& list, const std::string& path, CatalogueFileSystem& fs) {
  // A path longer than its 16-bit head length can describe would corrupt the file.
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (list.Item(i)->Path.size() + kHeadFieldsAfterPath > UINT16_MAX)
      throw EInOutError("Unable to write file \"" + path + "\", entry path too long (" + std::to_string(i) + ")");
  }
  std::string folder = FolderOfPath(path);
  if (!folder.empty() && !fs.FolderExists(folder)) fs.CreateFolder(folder);

  const std::vector<uint8_t> data = EncodeCatalogue(list);
  uint32_t error = fs.ReplaceFile(path, data);
  if (error != 0) {
    fs.Sleep(300);
    error = fs.ReplaceFile(path, data);
  }
  if (error != 0) {
    fs.Sleep(500);
    error = fs.ReplaceFile(path, data);
  }
  if (error != 0) RaiseWriteFailure(path, error);
  RemoveStaleTempFiles(folder, fs);
}

bool LoadCatalogue(TPicList& list, const std::string& path, CatalogueFileSystem& fs) {
  std::vector<uint8_t> data;
  uint32_t error = fs.ReadWholeFile(path, kCatalogueFileMaxBytes, data);
  if (error != 0) {
    // A short overlap with another process writing the file is waited out.
    const bool firstDenied = error == SysErrorAccessDenied;
    fs.Sleep(300);
    error = fs.ReadWholeFile(path, kCatalogueFileMaxBytes, data);
    if (error != 0) {
      if (firstDenied && error == SysErrorAccessDenied)
        throw EInOutError("accessdenied set, Error = " + std::to_string(error));
      if (firstDenied) throw EInOutError("accessdenied set, and Error = " + std::to_string(error));
      fs.Sleep(500);
      error = fs.ReadWholeFile(path, kCatalogueFileMaxBytes, data);
      if (error != 0) {
        fs.Sleep(2000);
        error = fs.ReadWholeFile(path, kCatalogueFileMaxBytes, data);
        if (error != 0)
          throw EInOutError("Unable to open file \"" + path + "\", Error = " + std::to_string(error));
      }
    }
  }
  DecodeCatalogue(std::make_shared<const std::vector<uint8_t>>(std::move(data)), list, &fs);
  return true;
}

uint64_t CacheFileTime(const std::string& path, CatalogueFileSystem& fs) { return fs.LastWriteTime(path); }

}  // namespace kelv
