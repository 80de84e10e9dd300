// Test doubles for the catalogue: an in-memory file system whose searches return entries
// in a chosen order and whose failures are scripted, and an in-memory registry.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
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
  std::vector<uint32_t> sleeps;
  std::vector<std::string> searches;

  void AddFolder(const std::string& path) { folders[path]; }
  // Adds a file (or, with FileAttrDirectory, a subfolder) to a folder.
  void Add(const std::string& folder, const std::string& name, uint32_t attributes = FileAttrNormal) {
    folders[folder].push_back({name, attributes});
    if (attributes & FileAttrDirectory) folders[folder + "\\" + name];
  }

  bool Search(const std::string& pattern, const FoundEntry& found) override {
    searches.push_back(pattern);
    const std::string suffix = "\\*.*";
    if (pattern.size() < suffix.size() || pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) != 0)
      return false;
    auto it = folders.find(pattern.substr(0, pattern.size() - suffix.size()));
    if (it == folders.end()) return false;
    found(".", FileAttrDirectory);
    found("..", FileAttrDirectory);
    for (const auto& [name, attributes] : it->second) found(name, attributes);
    return true;
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
