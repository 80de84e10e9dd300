// Native stand-in for the text output: nothing is drawn; each call is recorded so that
// the tests can see which lines would have gone where, in which style.
#include <cstdlib>

#include "imaging/caption_platform.hpp"
#include "settings/settings.hpp"

namespace kelv::caption_platform {

void ForgetCaptionFont() {}

int32_t LineHeight(TBitmap&, FontSlot, const LogFontA& font) {
  // A font height below zero is the character height; GDI adds the internal leading,
  // which the stand-in leaves out.
  return font.height == 0 ? 16 : std::abs(font.height);
}

void Output(TBitmap&, FontSlot slot, const LogFontA&, const TextStyle& style,
            const std::vector<TextLine>& lines) {
  Recorded().push_back({slot, style, lines});
}

std::vector<RecordedOutput>& Recorded() {
  static std::vector<RecordedOutput> recorded;
  return recorded;
}

}  // namespace kelv::caption_platform
