#include "app/run_settings.hpp"

#include <algorithm>

namespace kelv {

namespace {
constexpr const char* kRunSettings = "RunSettings";

// Only a string value holding exactly "1" (up to its first NUL) asks for the dialog.
bool HoldsRequest(const RegistryKey& key) {
  const std::optional<RegValue> value = key.Query(kRunSettings);
  if (!value) return false;
  if (value->type != RegType::String && value->type != RegType::ExpandString) return false;
  const auto& data = value->data;
  const auto end = std::find(data.begin(), data.end(), uint8_t{0});
  return end - data.begin() == 1 && data[0] == '1';
}

bool ConsumeIn(RegistryStore& registry, Hive hive) {
  {
    const std::unique_ptr<RegistryKey> key = registry.Open(hive, kProductKey, KeyAccess::Read);
    if (!key || !HoldsRequest(*key)) return false;
  }
  if (std::unique_ptr<RegistryKey> key = registry.Open(hive, kProductKey, KeyAccess::Write))
    key->DeleteValue(kRunSettings);  // a refused delete (HKLM for a plain user) still counts
  return true;
}
}  // namespace

bool ConsumeRunSettingsRequest(RegistryStore& registry) {
  return ConsumeIn(registry, Hive::CurrentUser) || ConsumeIn(registry, Hive::LocalMachine);
}

}  // namespace kelv
