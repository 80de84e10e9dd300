// The platform's text output for DrawText: GDI fonts and text on the bitmap's memory DC
// (Win32); a stand-in that records what would be drawn (native build).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/caption.hpp"

namespace kelv {

class TBitmap;
struct LogFontA;

namespace caption_platform {

// The two fonts the program keeps: captions and messages/notices.
enum class FontSlot { Caption, Notice };

struct TextStyle {
  bool transparent = false;   // leave the background of the text cells alone
  bool leftAligned = false;   // x is the left edge (else the centre) of each line
  bool noticeBox = false;     // fill (10, 10)-(100, 100) with the background first
  uint32_t colour = 0;        // 0x00BBGGRR
};

// Deletes the caption font so that the next caption makes it from the settings again
// (the settings dialog's font chooser).
void ForgetCaptionFont();

// The line height of the slot's font (made from `font` the first time).
int32_t LineHeight(TBitmap& target, FontSlot slot, const LogFontA& font);
// Draws the lines into the target's DC and finishes the drawing before returning.
void Output(TBitmap& target, FontSlot slot, const LogFontA& font, const TextStyle& style,
            const std::vector<TextLine>& lines);

// Native build: every Output call since the last Clear (empty on Win32).
struct RecordedOutput {
  FontSlot slot;
  TextStyle style;
  std::vector<TextLine> lines;
};
std::vector<RecordedOutput>& Recorded();

}  // namespace caption_platform
}  // namespace kelv
