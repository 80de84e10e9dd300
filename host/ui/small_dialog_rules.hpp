// What the Images per screen and Filter dialogs do with their controls on OK.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings.hpp"

namespace kelv::ui {

// The picture counts of the Images per screen dialog's boxes, in their order.
inline constexpr std::array<uint8_t, 5> kImagesPerScreenCounts{1, 4, 9, 16, 25};
inline constexpr const char* kNoImagesPerScreenMessage = "At least one checkbox must be checked";

// Which boxes show checked for the record: a count is checked when it is among the first
// RandomScreensCount bytes of RandomScreens.
std::array<bool, 5> CheckedImagesPerScreen(const Settings& settings);

// OK: the checked counts in ascending order go to RandomScreens and the "more often" box to
// Random1often; false (and nothing changed) when no box is checked.
bool ApplyImagesPerScreen(const std::array<bool, 5>& checked, bool oneMoreOften, Settings& settings);

struct FilterChoice {
  bool on = false;
  int32_t width = 0;
  int32_t height = 0;
  bool changed = false;  // differs from the record: the filtered pictures go back first
};

// OK of the Filter dialog: when either edit holds no number both sizes stay as they are;
// a size of 0 or less keeps its own current value.
FilterChoice ReadFilterChoice(bool on, const std::string& widthText, const std::string& heightText,
                              const Settings& settings);

}  // namespace kelv::ui
