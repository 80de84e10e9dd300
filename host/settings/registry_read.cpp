#include <algorithm>

#include "settings/registry.hpp"

namespace kelv {

std::optional<std::string> ReadStringValue(const RegistryKey& key, const std::string& name,
                                           bool* typeError) {
  if (typeError) *typeError = false;
  std::optional<RegValue> value = key.Query(name);
  if (!value) return std::nullopt;
  if (value->type != RegType::String && value->type != RegType::ExpandString) {
    if (typeError) *typeError = true;
    return std::nullopt;
  }
  // Data written by other programs may carry several NULs or none at all.
  auto end = std::find(value->data.begin(), value->data.end(), uint8_t{0});
  return std::string(value->data.begin(), end);
}

}  // namespace kelv
