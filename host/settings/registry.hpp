// A small view of the registry, so that the encodings and the load and save rules run
// natively against an in-memory store in tests and against the real registry on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelv {

enum class Hive { CurrentUser, LocalMachine };

// How a key is opened: read-only or writable without creating it, or writable and
// created when missing.
enum class KeyAccess { Read, Write, Create };

enum class RegType : uint32_t {
  None = 0,
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,        // REG_BINARY
  DWord = 4,         // REG_DWORD
  MultiString = 7,   // REG_MULTI_SZ
  Other = 0xFFFF,
};

struct RegValue {
  RegType type = RegType::None;
  std::vector<uint8_t> data;  // for strings: the characters without the terminating NUL
};

// The product key and the keys below it.
inline constexpr const char* kProductKey = "Software\\Tarnwick\\Kelvora";
inline constexpr const char* kPluginsKey = "Software\\Tarnwick\\Kelvora\\Plugins";
inline constexpr const char* kFoldersKey = "Software\\Tarnwick\\Kelvora\\Folders";
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class RegistryKey {
public:
  virtual ~RegistryKey() = default;
  // The value's type and data, or nothing when the value does not exist.
  virtual std::optional<RegValue> Query(const std::string& name) const = 0;
  // Writes report success; the callers that must not check them simply ignore it.
  virtual bool SetString(const std::string& name, const std::string& value) = 0;
  virtual bool SetBinary(const std::string& name, const std::vector<uint8_t>& data) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
  virtual std::vector<std::string> ValueNames() const = 0;
};

class RegistryStore {
public:
  virtual ~RegistryStore() = default;
  // Nothing when the key cannot be opened (or created, with KeyAccess::Create).
  virtual std::unique_ptr<RegistryKey> Open(Hive hive, const std::string& path,
                                            KeyAccess access) = 0;
};

// A string value's text: REG_SZ / REG_EXPAND_SZ data up to the first NUL. Nothing for a
// missing value; `typeError` is set when the value exists with another type.
std::optional<std::string> ReadStringValue(const RegistryKey& key, const std::string& name,
                                           bool* typeError = nullptr);

// The registry of this machine (Win32), or an in-memory store (native build).
RegistryStore& SystemRegistry();

}  // namespace kelv
