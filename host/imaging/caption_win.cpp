// GDI text output for DrawText: the two process-wide fonts and the text itself, drawn on
// the target bitmap's memory DC.
#include <windows.h>

#include <cstring>
#include <string>

#include "common/code_page_win.hpp"
#include "common/owners_win.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/caption_platform.hpp"
#include "settings/settings.hpp"

namespace kelv::caption_platform {

namespace {

// Made on first use and kept until the settings dialog chooses another caption font.
HFONT& FontSlotHandle(FontSlot slot) {
  static HFONT fonts[2] = {nullptr, nullptr};
  return fonts[slot == FontSlot::Caption ? 0 : 1];
}

HFONT FontFor(FontSlot slot, const LogFontA& description) {
  HFONT& font = FontSlotHandle(slot);
  if (!font) {
    static_assert(sizeof(LOGFONTA) == sizeof(LogFontA));
    LOGFONTA lf;
    std::memcpy(&lf, &description, sizeof lf);
    lf.lfFaceName[LF_FACESIZE - 1] = '\0';  // a damaged stored name stays inside the record
    font = CreateFontIndirectA(&lf);
  }
  return font;
}

}  // namespace

void ForgetCaptionFont() {
  HFONT& font = FontSlotHandle(FontSlot::Caption);
  if (font) DeleteObject(font);
  font = nullptr;
}

int32_t LineHeight(TBitmap& target, FontSlot slot, const LogFontA& font) {
  HDC dc = target.DC;
  HFONT f = FontFor(slot, font);
  if (!dc) return 0;
  win::SelectedObject selected(dc, f);
  TEXTMETRICA metrics{};
  if (!GetTextMetricsA(dc, &metrics)) return 0;
  return metrics.tmHeight;
}

void Output(TBitmap& target, FontSlot slot, const LogFontA& font, const TextStyle& style,
            const std::vector<TextLine>& lines) {
  HDC dc = target.DC;
  if (!dc) return;  // a wrapping bitmap has nothing to draw text with
  win::SelectedObject selected(dc, FontFor(slot, font));
  const COLORREF oldBack = SetBkColor(dc, RGB(0, 0, 0));
  const int oldMode = SetBkMode(dc, style.transparent ? TRANSPARENT : OPAQUE);
  const COLORREF oldText = SetTextColor(dc, style.colour);
  const UINT oldAlign = SetTextAlign(dc, style.leftAligned ? (TA_LEFT | TA_TOP) : (TA_CENTER | TA_TOP));
  bool first = true;
  for (const TextLine& line : lines) {
    // Wide text converted from the program's code page: the 8-bit calls convert through
    // the code page of the font's character set, which need not be the program's (a
    // UTF-8 name would come out as other characters); the system takes the glyphs the
    // font lacks from the fonts it links to it.
    const std::wstring text = win::WideFromProgram(line.text);
    const int length = static_cast<int>(text.size());
    if (style.noticeBox) {
      // The box behind the notice is filled once, with the first line: filling it again
      // for every line would wipe out the lines above.
      RECT box{10, 10, 100, 100};
      ExtTextOutW(dc, line.x, line.y, first ? ETO_OPAQUE : 0, first ? &box : nullptr,
                  text.c_str(), static_cast<UINT>(length), nullptr);
    } else {
      TextOutW(dc, line.x, line.y, text.c_str(), length);
    }
    first = false;
  }
  SetTextAlign(dc, oldAlign);
  SetTextColor(dc, oldText);
  SetBkMode(dc, oldMode);
  SetBkColor(dc, oldBack);
  GdiFlush();
}

std::vector<RecordedOutput>& Recorded() {
  static std::vector<RecordedOutput> none;
  return none;
}

}  // namespace kelv::caption_platform
