// The one process-wide settings record. Fields are named after their registry values
// under the product key; LoadAllSettings fills it once per process, the settings dialog
// changes it and SaveSettings writes it back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

// Byte-for-byte the platform's 60-byte LOGFONTA record (stored as the "Font" value).
struct LogFontA {
  int32_t height;
  int32_t width;
  int32_t escapement;
  int32_t orientation;
  int32_t weight;
  uint8_t italic;
  uint8_t underline;
  uint8_t strikeOut;
  uint8_t charSet;
  uint8_t outPrecision;
  uint8_t clipPrecision;
  uint8_t quality;
  uint8_t pitchAndFamily;
  char faceName[32];
};
static_assert(sizeof(LogFontA) == 60, "LogFontA must match LOGFONTA");

// Display orders (the low three bits of "Order").
enum : int32_t { OrderSequential = 1, OrderRandom = 2, OrderReverse = 4 };

// Caption positions ("TextPos").
enum : int32_t { TextPosTop = 1, TextPosCenter = 2, TextPosBottom = 3 };

struct Settings {
  int32_t Delay = 5000;
  int32_t Convert = 5000;
  bool Enlarge = false;
  bool crop = false;
  // The bars beside a picture hold its blurred copy instead of black ("1" only).
  bool Background = false;
  uint8_t Resize = 1;
  int32_t Order = OrderSequential;
  bool StartFromRandom = false;
  bool StartFromPrevious = true;
  bool DDraw = true;
  int32_t StopKey = 1;
  bool pmon = true;
  bool ArrowKeys = true;
  bool Wallpaper = false;
  bool MouseMove = true;
  bool rtresize = true;
  bool ignoreexif = false;
  int32_t Screens = 0;
  std::array<uint8_t, 5> RandomScreens{1, 4, 9, 16, 25};
  int32_t RandomScreensCount = 5;
  bool Random1often = true;
  LogFontA Font = DefaultCaptionFont();
  uint32_t FontColor = 0x0000FF00;  // COLORREF 0x00BBGGRR: green
  bool ShowFileName = false;
  bool IncludePath = false;
  bool IncludeExtension = false;
  bool IncludeFolder = false;
  bool TextDate = false;  // the caption adds the date the picture was taken
  int32_t TextPos = TextPosBottom;
  bool Textbg = false;
  bool TextOverlay = true;
  bool RandomPos = false;
  bool filterres = false;
  int32_t filterx = 100;
  int32_t filtery = 100;
  // "Monitors": a full-screen run shows pictures on every monitor (1) instead of covering
  // the other monitors black (0, and any other stored value).
  bool Monitors = false;
  // "Motion": a single picture on the screen slowly pans and zooms while it stays (1), or
  // stands still (0, and any other stored value).
  bool Motion = false;

  // Filled by the load, never saved.
  std::string InstallFolder;
  std::string PluginFolder;
  bool InstallInUserHive = false;
  std::string HelpFile;
  std::string CacheFile;
  std::vector<std::string> FolderRoots;
  LogFontA NoticeFont = NoticeFontFor(0);

  static LogFontA DefaultCaptionFont();
  // The font of the notices the saver draws itself, by screen width in pixels.
  static LogFontA NoticeFontFor(int screenWidth);
};

// The process-wide record.
Settings& TheSettings();

}  // namespace kelv
