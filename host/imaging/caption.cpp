#include "imaging/caption.hpp"

#include "common/code_page.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/caption_platform.hpp"
#include "settings/settings.hpp"

namespace kelv {

namespace {

// Position just after the last path delimiter (0 when there is none). The path is walked
// from its start: the byte before a 0x5C may be the lead byte of a double-byte character.
size_t NameStart(const std::string& path) {
  const size_t last = FindLastDelimiter(path, "\\:");
  return last == std::string::npos ? 0 : last + 1;
}

// The extension with its dot, taken from the file name only (a dot in a folder name is
// no extension).
std::string Extension(const std::string& path) {
  const size_t start = NameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return path.substr(dot);
}

// The name of the folder holding the file: "Trip" for C:\Photos\Trip\beach.jpg, empty for
// C:\beach.jpg.
std::string ParentFolderName(const std::string& path) {
  std::string folder = path.substr(0, NameStart(path));
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder.substr(NameStart(folder));
}

}  // namespace

std::vector<TextLine> PlanText(const std::string& text, int32_t code, int32_t width,
                               int32_t height, int32_t lineHeight, bool overlay) {
  const int32_t d = overlay ? 1 : 0;
  const int32_t t = lineHeight;
  const int32_t x = width / 2;
  switch (code) {
    case TextCodeTop:
      return {{x, (height / 20) * d, text}};
    case TextCodeCenter:
      return {{x, height / 2 - t / 2, text}};
    case TextCodeBottom:
      return {{x, height - (height / 20) * d - t, text}};
    case TextCodeNotice:
    case TextCodeMessage: {
      const int32_t step = static_cast<int32_t>(Round(1.2 * t));
      std::vector<TextLine> lines;
      size_t begin = 0;
      for (int32_t k = 0;; ++k) {
        const size_t cr = text.find('\r', begin);
        std::string piece = text.substr(begin, cr == std::string::npos ? std::string::npos : cr - begin);
        if (code == TextCodeNotice) {
          lines.push_back({10, 10 + k * step, std::move(piece)});
        } else {
          lines.push_back({x, height / 2 + (k - 1) * step - t / 2, std::move(piece)});
        }
        if (cr == std::string::npos) break;
        begin = cr + 1;
      }
      return lines;
    }
    default:
      return {};
  }
}

std::string CaptionText(const std::string& path, bool includePath, bool includeExtension,
                        bool includeFolder) {
  const std::string extension = Extension(path);
  std::string name = path;
  if (!includePath) {
    name = path.substr(NameStart(path));
    if (includeFolder) {
      const std::string folder = ParentFolderName(path);
      if (!folder.empty()) name = folder + "\\" + name;
    }
  }
  if (!includeExtension && !extension.empty() && name.size() >= extension.size() &&
      name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
    name.erase(name.size() - extension.size());
  }
  return name;
}

void DrawText(TBitmap& target, const std::string& text, int32_t code, const LogFontA& font,
              uint32_t colour) {
  if (target.Width <= 0 || target.Height <= 0) return;
  const bool caption = code == TextCodeTop || code == TextCodeCenter || code == TextCodeBottom;
  if (!caption && code != TextCodeNotice && code != TextCodeMessage) return;
  const caption_platform::FontSlot slot =
      caption ? caption_platform::FontSlot::Caption : caption_platform::FontSlot::Notice;
  const Settings& s = TheSettings();
  caption_platform::TextStyle style;
  style.transparent = s.Textbg && code != TextCodeMessage;
  style.leftAligned = code == TextCodeNotice;
  style.noticeBox = code == TextCodeNotice;
  style.colour = colour;
  const int32_t t = caption_platform::LineHeight(target, slot, font);
  caption_platform::Output(target, slot, font, style,
                           PlanText(text, code, target.Width, target.Height, t, s.TextOverlay));
}

void DrawMessage(TBitmap& target, const std::string& text) {
  target.Clear();
  DrawText(target, text, TextCodeMessage, TheSettings().NoticeFont, kMessageColour);
}

}  // namespace kelv
