// The registry of this machine through the ANSI registry functions of advapi32.
#include <windows.h>

#include <utility>

#include "common/owners_win.hpp"
#include "settings/registry.hpp"

namespace kelv {

namespace {

RegType TypeOf(DWORD type) {
  switch (type) {
    case REG_NONE: return RegType::None;
    case REG_SZ: return RegType::String;
    case REG_EXPAND_SZ: return RegType::ExpandString;
    case REG_BINARY: return RegType::Binary;
    case REG_DWORD: return RegType::DWord;
    case REG_MULTI_SZ: return RegType::MultiString;
    default: return RegType::Other;
  }
}

class Win32Key : public RegistryKey {
public:
  explicit Win32Key(win::UniqueKey key) : key_(std::move(key)) {}

  std::optional<RegValue> Query(const std::string& name) const override {
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    RegValue value;
    // The value may grow between the two calls: retry with the size the registry reports.
    for (int attempt = 0; attempt < 8; ++attempt) {
      value.data.resize(size);
      DWORD got = size;
      rc = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                            value.data.empty() ? nullptr : value.data.data(), &got);
      if (rc == ERROR_MORE_DATA) {
        size = got > size ? got : size * 2 + 16;
        continue;
      }
      if (rc != ERROR_SUCCESS) return std::nullopt;
      value.data.resize(got);
      value.type = TypeOf(type);
      if ((value.type == RegType::String || value.type == RegType::ExpandString) &&
          !value.data.empty() && value.data.back() == 0)
        value.data.pop_back();
      return value;
    }
    return std::nullopt;
  }

  bool SetString(const std::string& name, const std::string& value) override {
    return RegSetValueExA(key_.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }

  bool SetBinary(const std::string& name, const std::vector<uint8_t>& data) override {
    return RegSetValueExA(key_.get(), name.c_str(), 0, REG_BINARY, data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    return RegDeleteValueA(key_.get(), name.c_str()) == ERROR_SUCCESS;
  }

  std::vector<std::string> ValueNames() const override {
    std::vector<std::string> names;
    DWORD count = 0;
    DWORD maxName = 0;
    if (RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &maxName, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::vector<char> buffer(maxName + 2);
    for (DWORD index = 0;; ++index) {
      DWORD length = static_cast<DWORD>(buffer.size());
      LONG rc = RegEnumValueA(key_.get(), index, buffer.data(), &length, nullptr, nullptr,
                              nullptr, nullptr);
      if (rc == ERROR_MORE_DATA && buffer.size() < 65536) {  // a longer name was added meanwhile
        buffer.resize(buffer.size() * 2 + 256);
        --index;
        continue;
      }
      if (rc != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS ends the list
      names.emplace_back(buffer.data(), length);
    }
    return names;
  }

private:
  win::UniqueKey key_;
};

class Win32Registry : public RegistryStore {
public:
  std::unique_ptr<RegistryKey> Open(Hive hive, const std::string& path,
                                    KeyAccess access) override {
    HKEY root = hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    LONG rc;
    if (access == KeyAccess::Create) {
      rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    } else {
      REGSAM sam = access == KeyAccess::Read ? KEY_READ : (KEY_READ | KEY_WRITE);
      rc = RegOpenKeyExA(root, path.c_str(), 0, sam, &key);
    }
    if (rc != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32Key>(win::UniqueKey(key));
  }
};

}  // namespace

RegistryStore& SystemRegistry() {
  static Win32Registry store;
  return store;
}

}  // namespace kelv
