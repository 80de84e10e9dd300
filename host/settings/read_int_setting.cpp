#include <cstdint>

#include "settings/settings_store.hpp"

namespace kelv {

namespace {
constexpr int32_t kLargestSetting = 1000000000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

// What counts as a decimal integer: optional blanks (spaces, tabs) before and after, an
// optional '+' or '-', then one or more digits 0-9 and nothing else. The number must fit
// a 32-bit signed integer; anything longer is a conversion error like any other text, so
// "99999999999" reads as the default rather than as the largest setting. Hexadecimal
// forms, thousands separators and decimal points are not numbers here.
std::optional<int32_t> ParseDecimalInt32(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  bool negative = false;
  if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
    negative = text[begin] == '-';
    ++begin;
  }
  if (begin == end) return std::nullopt;
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

int32_t ReadIntSetting(const RegistryKey& key, const std::string& name, int32_t defaultValue) {
  // A value of another type (REG_DWORD, REG_BINARY, ...) is a read error: the default.
  std::optional<std::string> text = ReadStringValue(key, name);
  if (!text || text->empty()) return defaultValue;
  std::optional<int32_t> number = ParseDecimalInt32(*text);
  if (!number) return defaultValue;
  return *number > kLargestSetting ? kLargestSetting : *number;
}

}  // namespace kelv
