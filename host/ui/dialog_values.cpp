#include "ui/dialog_values.hpp"

#include <cmath>

#include "ui/number_edit.hpp"

namespace kelv::ui {

namespace {

OrderChoice OrderChoiceFor(int32_t order) {
  switch (order) {
    case OrderSequential: return OrderChoice::Sequential;
    case OrderRandom: return OrderChoice::Random;
    case 3: return OrderChoice::Sequential;  // both low bits: shown (and saved) as sequential
    case OrderReverse: return OrderChoice::Reverse;
    default: return OrderChoice::None;
  }
}

TextPosChoice TextPosChoiceFor(int32_t textPos) {
  switch (textPos) {
    case TextPosTop: return TextPosChoice::Top;
    case TextPosCenter: return TextPosChoice::Center;
    case TextPosBottom: return TextPosChoice::Bottom;
    default: return TextPosChoice::None;
  }
}

}  // namespace

int32_t ScreensItemFor(int32_t screens) {
  if (screens < 0) return -1;
  const auto item = static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(screens))));
  return item <= 5 ? item : -1;
}

DialogValues ValuesFromSettings(const Settings& s) {
  DialogValues v;
  v.delayText = std::to_string(s.Delay / 1000);
  v.durationText = std::to_string(s.Convert / 1000);
  v.useDirectDraw = s.DDraw;
  v.enlarge = s.Enlarge;
  v.fillScreen = s.crop;
  v.blurredBackground = s.Background;
  v.startFromRandom = s.StartFromRandom;
  v.startFromPrevious = s.StartFromPrevious;
  v.spacebarPauses = s.StopKey != 0;
  v.arrowKeys = s.ArrowKeys;
  v.wallpaper = s.Wallpaper;
  v.exitOnMouseMove = s.MouseMove;
  v.autoRotate = !s.ignoreexif;
  v.showFileName = s.ShowFileName;
  v.includePath = s.IncludePath;
  v.includeFolder = s.IncludeFolder;
  v.includeExtension = s.IncludeExtension;
  v.includeDate = s.TextDate;
  v.transparent = s.Textbg;
  v.everyMonitor = s.Monitors;
  v.panAndZoom = s.Motion;
  v.qualityItem = s.Resize <= 2 ? s.Resize : -1;
  v.screensItem = ScreensItemFor(s.Screens);
  v.order = OrderChoiceFor(s.Order);
  v.textPos = TextPosChoiceFor(s.TextPos);
  return v;
}

void ReadValuesInto(const DialogValues& v, Settings& s) {
  if (auto seconds = NumberEditValue(v.delayText, kDelayEditLimits)) s.Delay = *seconds * 1000;
  if (auto seconds = NumberEditValue(v.durationText, kDurationEditLimits)) s.Convert = *seconds * 1000;
  s.Enlarge = v.enlarge;
  s.Background = v.blurredBackground;
  s.DDraw = v.useDirectDraw;
  switch (v.order) {
    case OrderChoice::Sequential: s.Order = OrderSequential; break;
    case OrderChoice::Random: s.Order = OrderRandom; break;
    case OrderChoice::Reverse: s.Order = OrderReverse; break;
    case OrderChoice::None: break;
  }
  s.StartFromRandom = v.startFromRandom;
  s.StartFromPrevious = v.startFromPrevious;
  s.StopKey = v.spacebarPauses ? 1 : 0;
  s.ArrowKeys = v.arrowKeys;
  s.Wallpaper = v.wallpaper;
  s.MouseMove = v.exitOnMouseMove;
  if (v.screensItem >= 0) s.Screens = v.screensItem * v.screensItem;
  s.ShowFileName = v.showFileName;
  s.IncludePath = v.includePath;
  s.IncludeFolder = v.includeFolder;
  s.IncludeExtension = v.includeExtension;
  s.TextDate = v.includeDate;
  s.Textbg = v.transparent;
  s.Monitors = v.everyMonitor;
  s.Motion = v.panAndZoom;
  switch (v.textPos) {
    case TextPosChoice::Top: s.TextPos = TextPosTop; break;
    case TextPosChoice::Center: s.TextPos = TextPosCenter; break;
    case TextPosChoice::Bottom: s.TextPos = TextPosBottom; break;
    case TextPosChoice::None: break;
  }
}

std::string VersionLabelText(uint32_t word) {
  return "Version : " + std::to_string(word >> 24 & 0xFF) + "." + std::to_string(word >> 16 & 0xFF) + "." +
         std::to_string(word >> 8 & 0xFF) + "." + std::to_string(word & 0xFF);
}

}  // namespace kelv::ui
