// The native stand-in: one fixed long date form and UTF-8 as the code page.
#include "show/date_caption_platform.hpp"

namespace kelv::date_caption_platform {

std::string LongDate(const ExifDate& date) {
  static const char* const months[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
  return std::to_string(date.day) + " " + months[date.month - 1] + " " + std::to_string(date.year);
}

std::optional<std::string> InCodePage(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) {
    if (c >= 0xD800 && c <= 0xDFFF) return std::nullopt;  // the separator holds no surrogates
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace kelv::date_caption_platform
