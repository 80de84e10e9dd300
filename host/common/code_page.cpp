#include "common/code_page.hpp"

namespace kelv {

namespace {

// The length of the character starting at `at` (a lead byte cut off by the end counts one).
size_t CharacterLength(std::string_view text, size_t at, LeadBytePredicate isLead) {
  return isLead(static_cast<uint8_t>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

}  // namespace

size_t FindLastDelimiter(std::string_view text, std::string_view delimiters, LeadBytePredicate isLead) {
  size_t last = std::string_view::npos;
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLength(text, at, isLead);
    if (length == 1 && delimiters.find(text[at]) != std::string_view::npos) last = at;
    at += length;
  }
  return last;
}

size_t FindNextDelimiter(std::string_view text, char delimiter, size_t from, LeadBytePredicate isLead) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharacterLength(text, at, isLead);
    if (at >= from && length == 1 && text[at] == delimiter) return at;
    at += length;
  }
  return std::string_view::npos;
}

namespace {

// The length of the well-formed UTF-8 character at `i`; 0 when none starts there.
size_t Utf8Length(std::string_view text, size_t i) {
  const uint8_t b = static_cast<uint8_t>(text[i]);
  if (b < 0x80) return 1;
  size_t extra;
  uint32_t code;
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1;
    code = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2;
    code = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3;
    code = b & 0x07;
  } else {
    return 0;  // a continuation byte without its start, or C0, C1, F5-FF
  }
  if (text.size() - i <= extra) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    const uint8_t c = static_cast<uint8_t>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    code = (code << 6) | (c & 0x3F);
  }
  const bool overlong = (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return extra + 1;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

}  // namespace kelv
