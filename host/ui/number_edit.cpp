#include "ui/number_edit.hpp"

#include <algorithm>

#include "settings/settings_store.hpp"

namespace kelv::ui {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

}  // namespace

std::optional<StrippedText> StripNonDigits(const std::string& text, int32_t caret) {
  std::string digits;
  std::copy_if(text.begin(), text.end(), std::back_inserter(digits), IsDigit);
  if (digits.size() == text.size()) return std::nullopt;
  const auto removed = static_cast<int32_t>(text.size() - digits.size());
  const auto length = static_cast<int32_t>(digits.size());
  return StrippedText{std::move(digits), std::clamp(caret - removed, 0, length)};
}

std::optional<std::string> ValidateNumberText(const std::string& text, const NumberEditLimits& limits) {
  const std::optional<int32_t> value = ParseDecimalInt32(text);
  if (!value) {
    if (AllDigits(text)) return std::to_string(limits.maximum);
    return std::string(kNotANumberText);
  }
  if (*value > limits.maximum) return std::to_string(limits.maximum);
  if (*value <= 0) return std::string(limits.lowestText);
  return std::nullopt;
}

std::optional<int32_t> NumberEditValue(const std::string& text, const NumberEditLimits& limits) {
  const std::string shown = ValidateNumberText(text, limits).value_or(text);
  return ParseDecimalInt32(shown);
}

int32_t TrackBarValueFor(const std::string& text, int32_t currentPosition) {
  std::optional<int32_t> value = ParseDecimalInt32(text);
  if (!value && AllDigits(text)) value = kTrackBarValueCap;
  return std::min(value.value_or(currentPosition), kTrackBarValueCap);
}

}  // namespace kelv::ui
