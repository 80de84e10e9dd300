// Text on composed screens: the file-name caption of a picture and the program's own
// messages and notices. Where each line goes is worked out here, portably; putting the
// glyphs into the bitmap is the platform's text output (caption_platform.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

class TBitmap;
struct LogFontA;

// Position codes of DrawText.
enum : int32_t {
  TextCodeTop = 1,       // caption, one line at the top
  TextCodeCenter = 2,    // caption, one line in the middle
  TextCodeBottom = 3,    // caption, one line at the bottom
  TextCodeNotice = 4,    // block of lines at the top left (help notices)
  TextCodeMessage = 10,  // block of lines in the centre (messages)
};

// The messages of the display order.
inline constexpr const char* kNoPicturesMessage = "No pictures selected";
inline constexpr const char* kCantReadMessage = "Can't read pictures";
inline constexpr const char* kAllFilteredMessage = "All pictures are filtered, check filter settings";
// Colour of the messages: pure red (0x00BBGGRR).
inline constexpr uint32_t kMessageColour = 255;

struct TextLine {
  int32_t x = 0;  // reference point: the left edge (code 4) or the centre of the line
  int32_t y = 0;  // top of the line
  std::string text;
};

// The lines of `text` for position `code` on a target of width x height, with the font's
// line height and the "TextOverlay" inset (captions only). Codes 4 and 10 split the text
// at carriage returns; the character after each carriage return starts the next line.
// Unknown codes give no lines.
std::vector<TextLine> PlanText(const std::string& text, int32_t code, int32_t width,
                               int32_t height, int32_t lineHeight, bool overlay);

// The caption of the picture at `path`: the file name alone, or the whole path, with or
// without the extension, optionally after the parent folder's name and a backslash.
std::string CaptionText(const std::string& path, bool includePath, bool includeExtension,
                        bool includeFolder);

// Draws text in black-backed cells (transparent for captions with "Textbg") in `colour`
// (0x00BBGGRR). Captions (codes 1-3) and messages/notices (4, 10) each keep one font for
// the process, made from the description the first time it is needed.
void DrawText(TBitmap& target, const std::string& text, int32_t code, const LogFontA& font,
              uint32_t colour);

// A message of the display order: the target is cleared to black, then the text goes in
// the middle in the notice font, red.
void DrawMessage(TBitmap& target, const std::string& text);

}  // namespace kelv
