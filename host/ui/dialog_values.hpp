// What the settings dialog's General and Effects controls show for a settings record, and
// what reading them back writes into it. The Win32 side only moves these values into and
// out of the controls.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.hpp"

namespace kelv::ui {

enum class OrderChoice { None, Sequential, Random, Reverse };
enum class TextPosChoice { None, Top, Center, Bottom };

struct DialogValues {
  std::string delayText;     // seconds
  std::string durationText;  // seconds
  bool useDirectDraw = false;
  bool enlarge = false;
  bool fillScreen = false;
  bool blurredBackground = false;
  bool startFromRandom = false;
  bool startFromPrevious = false;
  bool spacebarPauses = false;
  bool arrowKeys = false;
  bool wallpaper = false;
  bool exitOnMouseMove = false;
  bool autoRotate = false;
  bool showFileName = false;
  bool includePath = false;
  bool includeFolder = false;
  bool includeExtension = false;
  bool includeDate = false;
  bool transparent = false;
  bool everyMonitor = false;  // "Monitors": pictures on every monitor
  bool panAndZoom = false;    // "Motion": the picture pans and zooms while it stays
  int32_t qualityItem = -1;  // combo selections; -1 selects nothing
  int32_t screensItem = -1;
  OrderChoice order = OrderChoice::None;
  TextPosChoice textPos = TextPosChoice::None;
};

// The controls' contents for a settings record (the dialog's fill).
DialogValues ValuesFromSettings(const Settings& settings);

// The images-per-screen item for a "Screens" value: round(√Screens), so 0, 1, 4, 9, 16 and
// 25 give items 0 to 5; values without an item give -1.
int32_t ScreensItemFor(int32_t screens);

// Reads the controls back into the record (OK, Preview and the effect preview). Fill the
// screen, the quality, EXIF rotation, the random-screens list and the font are not read:
// their controls change the record as soon as they change. Edits that hold no number and
// choices with nothing selected leave their settings as they were.
void ReadValuesInto(const DialogValues& values, Settings& settings);

// The nine caption controls (Include path, Include folder, Include extension, Include date
// taken, Font, Top, Center, Bottom, Transparent) are enabled exactly when Show file name (F)
// is checked.
inline bool CaptionControlsEnabled(const DialogValues& values) { return values.showFileName; }

// Blurred background is enabled exactly when Fill the screen is not checked: a picture
// meant to fill the screen leaves no bars to fill.
inline bool BlurredBackgroundEnabled(const DialogValues& values) { return !values.fillScreen; }

// How long the effect preview lets each picture stay between its transitions (ms): none
// (one transition after the other), or with pan and zoom long enough to see it move.
inline constexpr int32_t kEffectPreviewMotionStay = 3000;
inline int32_t EffectPreviewStay(const Settings& settings) { return settings.Motion ? kEffectPreviewMotionStay : 0; }

// "Version : " and the four bytes of the version word, most significant first.
std::string VersionLabelText(uint32_t versionWord);

}  // namespace kelv::ui
