#include "settings/settings.hpp"

#include <cstring>

namespace kelv {

namespace {
LogFontA CourierNew(int32_t height) {
  LogFontA font{};
  font.height = height;
  font.weight = 400;
  font.charSet = 1;  // DEFAULT_CHARSET
  std::strcpy(font.faceName, "Courier New");
  return font;
}
}  // namespace

LogFontA Settings::DefaultCaptionFont() { return CourierNew(-13); }

LogFontA Settings::NoticeFontFor(int screenWidth) {
  if (screenWidth >= 640 && screenWidth <= 1000) return CourierNew(-16);
  if (screenWidth >= 1300 && screenWidth <= 2000) return CourierNew(-20);
  return CourierNew(-18);
}

Settings& TheSettings() {
  static Settings settings;
  return settings;
}

}  // namespace kelv
