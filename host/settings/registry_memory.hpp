// An in-memory registry: the store of the native build and of unit tests. Key paths and
// value names are case-insensitive as in the real registry; value names enumerate in the
// order they were first written. Tests pre-load values of any type with Put and read back
// what the code under test wrote with Get.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "settings/registry.hpp"

namespace kelv {

class MemoryRegistry : public RegistryStore {
public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  std::unique_ptr<RegistryKey> Open(Hive hive, const std::string& path, KeyAccess access) override;

  // Test and set-up helpers. Put creates the key when missing.
  void Put(Hive hive, const std::string& path, const std::string& name, RegValue value);
  void PutString(Hive hive, const std::string& path, const std::string& name, const std::string& text);
  void PutBinary(Hive hive, const std::string& path, const std::string& name, std::vector<uint8_t> data);
  void PutDWord(Hive hive, const std::string& path, const std::string& name, uint32_t value);
  std::optional<RegValue> Get(Hive hive, const std::string& path, const std::string& name) const;
  bool KeyExists(Hive hive, const std::string& path) const;
  void DeleteKey(Hive hive, const std::string& path);
  void Clear();
  // Makes every Open of this key fail (as for a key without access rights), or lifts that.
  void DenyAccess(Hive hive, const std::string& path, bool denied = true);

  struct KeyData;  // shared by the store and the open keys

private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace kelv
