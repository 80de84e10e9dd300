// The rules of the dialog's number edits (delay and effect duration): what typing leaves
// in them, what they hold once they lose focus, and which trackbar position they stand for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelv::ui {

struct NumberEditLimits {
  int32_t maximum;          // larger values are replaced by this
  const char* lowestText;   // what replaces a value of 0 or less
};
inline constexpr NumberEditLimits kDelayEditLimits{86400, "0"};
inline constexpr NumberEditLimits kDurationEditLimits{1000, "1"};
// Text that is not a number becomes this once the edit loses focus.
inline constexpr const char* kNotANumberText = "5";
// The highest value a number edit hands its trackbar.
inline constexpr int32_t kTrackBarValueCap = 1000;

struct StrippedText {
  std::string text;
  int32_t caret;
};

// The text without its characters outside '0'..'9' and the caret moved back by the number
// removed; nothing when every character is a digit.
std::optional<StrippedText> StripNonDigits(const std::string& text, int32_t caret);

// The text an edit must show when it loses focus, or nothing when its text stays. A run of
// digits too long for 32 bits is above the maximum, not "not a number".
std::optional<std::string> ValidateNumberText(const std::string& text, const NumberEditLimits& limits);

// The value an edit stands for when the settings are read: its number held inside the
// limits, or nothing when the text is not a number.
std::optional<int32_t> NumberEditValue(const std::string& text, const NumberEditLimits& limits);

// The trackbar position an edit's text asks for: its number (capped at 1000), or the
// trackbar's current position when the text is not a number.
int32_t TrackBarValueFor(const std::string& text, int32_t currentPosition);

}  // namespace kelv::ui
