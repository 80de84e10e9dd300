// Test doubles for the catalogue: an in-memory file system whose searches return entries
// in a chosen order, with links between folders, a chosen code page and scripted
// failures, and an in-memory registry.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_fs.hpp"
#include "catalogue/path_list.hpp"
#include "settings/registry.hpp"

namespace kelv::test {

class FakeFileSystem : public CatalogueFileSystem {
public:
  // Folder path -> its entries in the order a search returns them.
  std::map<std::string, std::vector<std::pair<std::string, uint32_t>>> folders;
  std::map<std::string, std::vector<uint8_t>> files;
  std::map<std::string, uint64_t> times;
  // Error codes returned by the next calls (0: the call goes through).
  std::deque<uint32_t> readErrors, writeErrors;
  // Link path -> the folder it leads to.
  std::map<std::string, std::string> links;
  // Folders whose identity cannot be read.
  std::set<std::string> unidentified;
  int identifications = 0;  // IdentifyFolder calls (each opens a folder)
  // Paths use a double-byte code page whose lead bytes are those of cp932.
  bool cp932 = false;
  std::vector<uint32_t> sleeps;
  // Patterns of the full searches and of the searches stopped at their first entry.
  std::vector<std::string> searches, probes;
  std::vector<std::string> removed;

  void AddFolder(const std::string& path) { folders[path]; }
  // Adds a file (or, with FileAttrDirectory, a subfolder) to a folder.
  void Add(const std::string& folder, const std::string& name, uint32_t attributes = FileAttrNormal) {
    folders[folder].push_back({name, attributes});
    if (attributes & FileAttrDirectory) folders[folder + "\\" + name];
  }
  // Adds a junction to a folder, leading to target.
  void AddLink(const std::string& folder, const std::string& name, const std::string& target) {
    folders[folder].push_back({name, FileAttrDirectory | FileAttrReparsePoint});
    links[folder + "\\" + name] = target;
  }

  bool Search(const std::string& pattern, const FoundEntry& found) override {
    searches.push_back(pattern);
    const auto* entries = Listing(pattern);
    if (!entries) return false;
    found(".", FileAttrDirectory);
    found("..", FileAttrDirectory);
    for (const auto& [name, attributes] : *entries) found(name, attributes);
    return true;
  }
  bool HasMatch(const std::string& pattern) override {
    probes.push_back(pattern);
    return Listing(pattern) != nullptr;
  }
  bool IdentifyFolder(const std::string& path, FolderIdentity& identity) override {
    ++identifications;
    std::string real = Resolve(path);
    auto it = folders.find(real);
    if (it == folders.end() || unidentified.count(real)) return false;
    identity = {7, static_cast<uint64_t>(std::distance(folders.begin(), it)) + 1};
    return true;
  }
  bool IsLeadByte(uint8_t byte) const override {
    return cp932 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
  }
  // The program's strings are UTF-8 and the system's legacy code page is Windows-1252.
  bool utf8 = false;
  std::vector<std::string> legacyConverted;
  bool ProgramCodePageIsUtf8() const override { return utf8; }
  std::string FromLegacyCodePage(const std::string& name) const override {
    const_cast<FakeFileSystem*>(this)->legacyConverted.push_back(name);
    // 0x80-0x9F of Windows-1252 (0 where it has no character: the system keeps the C1
    // control); every other byte is the Latin-1 character of its value.
    static const uint16_t high[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                      0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    std::string out;
    for (unsigned char b : name) {
      uint32_t c = b >= 0x80 && b < 0xA0 && high[b - 0x80] ? high[b - 0x80] : b;
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }
  uint64_t LastWriteTime(const std::string& path) override {
    auto it = times.find(path);
    return it == times.end() ? 0 : it->second;
  }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  bool FolderExists(const std::string& path) override { return folders.count(path) != 0; }
  bool CreateFolder(const std::string& path) override {
    folders[path];
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    removed.push_back(path);
    auto& entries = folders[FolderOfPath(path)];
    std::erase_if(entries, [&](const auto& entry) { return FolderOfPath(path) + "\\" + entry.first == path; });
    return files.erase(path) != 0;
  }
  uint32_t ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& data) override {
    if (uint32_t error = Next(readErrors)) return error;
    auto it = files.find(path);
    if (it == files.end()) return SysErrorFileNotFound;
    data.assign(it->second.begin(), it->second.begin() + static_cast<std::ptrdiff_t>(std::min(maxBytes, it->second.size())));
    return 0;
  }
  uint32_t ReplaceFile(const std::string& path, const std::vector<uint8_t>& data) override {
    if (uint32_t error = Next(writeErrors)) return error;
    files[path] = data;
    ++times[path];
    return 0;
  }
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

private:
  // The folder a path names once the links along it are followed.
  std::string Resolve(std::string path) const {
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
      auto link = links.find(path.substr(0, at));
      if (link != links.end()) {
        path = link->second + path.substr(at);
        at = 0;
      }
    }
    auto link = links.find(path);
    return link == links.end() ? path : Resolve(link->second);
  }
  // The entries a "folder\\*.*" search lists; null when it finds nothing.
  const std::vector<std::pair<std::string, uint32_t>>* Listing(const std::string& pattern) const {
    const std::string suffix = "\\*.*";
    if (pattern.size() >= 260) return nullptr;  // longer paths fail as on Windows
    if (pattern.size() < suffix.size() || pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) != 0)
      return nullptr;
    auto it = folders.find(Resolve(pattern.substr(0, pattern.size() - suffix.size())));
    return it == folders.end() ? nullptr : &it->second;
  }

  static uint32_t Next(std::deque<uint32_t>& errors) {
    if (errors.empty()) return 0;
    uint32_t error = errors.front();
    errors.pop_front();
    return error;
  }
};

class FakeRegistry : public RegistryStore {
public:
  // "path" -> value name -> value (HKEY_CURRENT_USER only).
  std::map<std::string, std::map<std::string, RegValue>> keys;
  bool failOpen = false;

  static RegValue Text(const std::string& text, RegType type = RegType::String) {
    RegValue value{type, std::vector<uint8_t>(text.begin(), text.end())};
    value.data.push_back(0);
    return value;
  }

  std::unique_ptr<RegistryKey> Open(Hive hive, const std::string& path, KeyAccess access) override {
    if (failOpen) throw ERegistryExceptionStandIn();
    if (hive != Hive::CurrentUser || !keys.count(path)) return nullptr;
    return std::make_unique<Key>(keys[path]);
  }

  struct ERegistryExceptionStandIn : std::exception {};

private:
  class Key : public RegistryKey {
  public:
    explicit Key(std::map<std::string, RegValue>& values) : values_(values) {}
    std::optional<RegValue> Query(const std::string& name) const override {
      auto it = values_.find(name);
      if (it == values_.end()) return std::nullopt;
      return it->second;
    }
    bool SetString(const std::string& name, const std::string& value) override { return false; }
    bool SetBinary(const std::string& name, const std::vector<uint8_t>& data) override { return false; }
    bool DeleteValue(const std::string& name) override { return false; }
    std::vector<std::string> ValueNames() const override { return {}; }

  private:
    std::map<std::string, RegValue>& values_;
  };
};

// A catalogue entry's lists as plain vectors, for comparisons.
inline std::vector<std::string> Names(const TPathList& list) { return list.names(); }

}  // namespace kelv::test
