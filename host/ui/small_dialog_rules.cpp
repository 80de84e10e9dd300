#include "ui/small_dialog_rules.hpp"

#include <algorithm>

#include "settings/settings_store.hpp"

namespace kelv::ui {

std::array<bool, 5> CheckedImagesPerScreen(const Settings& s) {
  std::array<bool, 5> checked{};
  const int32_t count = std::clamp<int32_t>(s.RandomScreensCount, 0, static_cast<int32_t>(s.RandomScreens.size()));
  for (size_t box = 0; box < checked.size(); ++box)
    checked[box] = std::find(s.RandomScreens.begin(), s.RandomScreens.begin() + count, kImagesPerScreenCounts[box]) !=
                   s.RandomScreens.begin() + count;
  return checked;
}

bool ApplyImagesPerScreen(const std::array<bool, 5>& checked, bool oneMoreOften, Settings& s) {
  if (std::none_of(checked.begin(), checked.end(), [](bool c) { return c; })) return false;
  s.RandomScreensCount = 0;
  for (size_t box = 0; box < checked.size(); ++box)
    if (checked[box]) s.RandomScreens[static_cast<size_t>(s.RandomScreensCount++)] = kImagesPerScreenCounts[box];
  s.Random1often = oneMoreOften;
  return true;
}

FilterChoice ReadFilterChoice(bool on, const std::string& widthText, const std::string& heightText,
                              const Settings& s) {
  FilterChoice choice;
  choice.on = on;
  const std::optional<int32_t> width = ParseDecimalInt32(widthText);
  const std::optional<int32_t> height = ParseDecimalInt32(heightText);
  choice.width = width && height && *width > 0 ? *width : s.filterx;
  choice.height = width && height && *height > 0 ? *height : s.filtery;
  choice.changed = choice.on != s.filterres || choice.width != s.filterx || choice.height != s.filtery;
  return choice;
}

}  // namespace kelv::ui
