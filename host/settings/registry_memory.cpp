#include "settings/registry_memory.hpp"

#include <algorithm>
#include <cctype>

#include "common/code_page.hpp"

namespace kelv {

namespace {
// Key and value names compare without case; only single-byte characters fold, and a
// 0x5C counts as a separator only where it is a character of its own (the second byte of
// a double-byte character may be 0x5C, or an ASCII capital).
std::string Fold(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t at = 0; at < s.size();) {
    if (IsProgramLeadByte(static_cast<uint8_t>(s[at])) && at + 1 < s.size()) {
      out.append(s, at, 2);
      at += 2;
    } else {
      out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(s[at]))));
      ++at;
    }
  }
  // "A\\B\\" and "a\\b" name the same key.
  while (!out.empty() && FindLastDelimiter(out, "\\") == out.size() - 1) out.pop_back();
  while (!out.empty() && out.front() == '\\') out.erase(out.begin());
  return out;
}
}  // namespace

struct MemoryRegistry::KeyData {
  // In the order the values were first written; names compare case-insensitively.
  std::vector<std::pair<std::string, RegValue>> values;

  std::pair<std::string, RegValue>* Find(const std::string& name) {
    std::string folded = Fold(name);
    for (auto& v : values)
      if (Fold(v.first) == folded) return &v;
    return nullptr;
  }
};

struct MemoryRegistry::Shared {
  mutable std::mutex mutex;
  std::map<std::pair<Hive, std::string>, std::shared_ptr<KeyData>> keys;
  std::set<std::pair<Hive, std::string>> denied;

  // The key, created with all its parents when missing (as RegCreateKeyEx does).
  std::shared_ptr<KeyData>& Ensure(Hive hive, const std::string& folded) {
    for (size_t pos = FindNextDelimiter(folded, '\\', 0); pos != std::string::npos;
         pos = FindNextDelimiter(folded, '\\', pos + 1)) {
      auto& parent = keys[std::make_pair(hive, folded.substr(0, pos))];
      if (!parent) parent = std::make_shared<KeyData>();
    }
    auto& key = keys[std::make_pair(hive, folded)];
    if (!key) key = std::make_shared<KeyData>();
    return key;
  }
};

namespace {

class MemoryKey : public RegistryKey {
public:
  MemoryKey(std::shared_ptr<void> owner, std::mutex& mutex,
            std::shared_ptr<MemoryRegistry::KeyData> data, bool writable)
      : owner_(std::move(owner)), mutex_(mutex), data_(std::move(data)), writable_(writable) {}

  std::optional<RegValue> Query(const std::string& name) const override {
    std::lock_guard lock(mutex_);
    if (auto* v = data_->Find(name)) return v->second;
    return std::nullopt;
  }
  bool SetString(const std::string& name, const std::string& value) override {
    return Set(name, RegValue{RegType::String, std::vector<uint8_t>(value.begin(), value.end())});
  }
  bool SetBinary(const std::string& name, const std::vector<uint8_t>& data) override {
    return Set(name, RegValue{RegType::Binary, data});
  }
  bool DeleteValue(const std::string& name) override {
    if (!writable_) return false;
    std::lock_guard lock(mutex_);
    auto& values = data_->values;
    std::string folded = Fold(name);
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const auto& v) { return Fold(v.first) == folded; });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
  }
  std::vector<std::string> ValueNames() const override {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& v : data_->values) names.push_back(v.first);
    return names;
  }

private:
  bool Set(const std::string& name, RegValue value) {
    if (!writable_) return false;
    std::lock_guard lock(mutex_);
    if (auto* v = data_->Find(name))
      v->second = std::move(value);  // the stored name keeps its first spelling
    else
      data_->values.emplace_back(name, std::move(value));
    return true;
  }

  std::shared_ptr<void> owner_;  // keeps the store's state alive while the key is open
  std::mutex& mutex_;
  std::shared_ptr<MemoryRegistry::KeyData> data_;
  bool writable_;
};

}  // namespace

MemoryRegistry::MemoryRegistry() : shared_(std::make_shared<Shared>()) {}
MemoryRegistry::~MemoryRegistry() = default;

std::unique_ptr<RegistryKey> MemoryRegistry::Open(Hive hive, const std::string& path,
                                                  KeyAccess access) {
  std::lock_guard lock(shared_->mutex);
  auto id = std::make_pair(hive, Fold(path));
  if (shared_->denied.count(id)) return nullptr;
  auto it = shared_->keys.find(id);
  if (it == shared_->keys.end()) {
    if (access != KeyAccess::Create) return nullptr;
    return std::make_unique<MemoryKey>(shared_, shared_->mutex, shared_->Ensure(hive, id.second),
                                       true);
  }
  return std::make_unique<MemoryKey>(shared_, shared_->mutex, it->second,
                                     access != KeyAccess::Read);
}

void MemoryRegistry::Put(Hive hive, const std::string& path, const std::string& name,
                         RegValue value) {
  std::lock_guard lock(shared_->mutex);
  auto& key = shared_->Ensure(hive, Fold(path));
  if (auto* v = key->Find(name))
    v->second = std::move(value);
  else
    key->values.emplace_back(name, std::move(value));
}

void MemoryRegistry::PutString(Hive hive, const std::string& path, const std::string& name,
                               const std::string& text) {
  Put(hive, path, name, RegValue{RegType::String, std::vector<uint8_t>(text.begin(), text.end())});
}

void MemoryRegistry::PutBinary(Hive hive, const std::string& path, const std::string& name,
                               std::vector<uint8_t> data) {
  Put(hive, path, name, RegValue{RegType::Binary, std::move(data)});
}

void MemoryRegistry::PutDWord(Hive hive, const std::string& path, const std::string& name,
                              uint32_t value) {
  std::vector<uint8_t> data{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  Put(hive, path, name, RegValue{RegType::DWord, std::move(data)});
}

std::optional<RegValue> MemoryRegistry::Get(Hive hive, const std::string& path,
                                            const std::string& name) const {
  std::lock_guard lock(shared_->mutex);
  auto it = shared_->keys.find(std::make_pair(hive, Fold(path)));
  if (it == shared_->keys.end()) return std::nullopt;
  if (auto* v = it->second->Find(name)) return v->second;
  return std::nullopt;
}

bool MemoryRegistry::KeyExists(Hive hive, const std::string& path) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->keys.count(std::make_pair(hive, Fold(path))) != 0;
}

void MemoryRegistry::DeleteKey(Hive hive, const std::string& path) {
  std::lock_guard lock(shared_->mutex);
  // Subkeys go with their key, as with a recursive delete in the real registry.
  std::string prefix = Fold(path) + "\\";
  for (auto it = shared_->keys.begin(); it != shared_->keys.end();) {
    const auto& [h, p] = it->first;
    if (h == hive && (p == Fold(path) || p.rfind(prefix, 0) == 0))
      it = shared_->keys.erase(it);
    else
      ++it;
  }
}

void MemoryRegistry::Clear() {
  std::lock_guard lock(shared_->mutex);
  shared_->keys.clear();
  shared_->denied.clear();
}

void MemoryRegistry::DenyAccess(Hive hive, const std::string& path, bool denied) {
  std::lock_guard lock(shared_->mutex);
  auto id = std::make_pair(hive, Fold(path));
  if (denied)
    shared_->denied.insert(id);
  else
    shared_->denied.erase(id);
}

}  // namespace kelv
