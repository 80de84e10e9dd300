#include <gtest/gtest.h>

#include <string>

#include "common/code_page.hpp"

namespace kelv {
namespace {

// The lead bytes of cp932, whose second bytes include 0x5C ("\\") and ASCII letters.
bool Cp932Lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool NoLead(uint8_t) { return false; }

TEST(CodePage, SeparatorsAreFoundOnlyWhereTheyAreCharacters) {
  struct Case {
    std::string text;
    LeadBytePredicate lead;
    size_t last;  // FindLastDelimiter(text, "\\:")
    size_t next;  // FindNextDelimiter(text, '\\', 0)
  };
  const size_t none = std::string::npos;
  const Case cases[] = {
      {"C:\\Photos\\a.jpg", Cp932Lead, 9, 2},
      {"C:\\\x95\\", Cp932Lead, 2, 2},             // "表" ends in 0x5C: not a separator
      {"\x95\\\x95\\x.jpg", Cp932Lead, none, none},  // two such characters, nothing else
      {"\x95\\\\x", Cp932Lead, 2, 2},               // the character, then a real separator
      {"C:\\a\x95", Cp932Lead, 2, 2},               // a lead byte cut off at the end
      {"\x95\\\x95\\", NoLead, 3, 1},               // a single-byte code page: every 0x5C
      // UTF-8: every byte of a character beyond ASCII is 0x80 or above.
      {"C:\\\xE5\x86\x99\xE7\x9C\x9F \xC3\x9C\\\xF0\x9F\x8C\x85.jpg", NoLead, 12, 2},
      {"", Cp932Lead, none, none},
      {"a:b", Cp932Lead, 1, none},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindLastDelimiter(c.text, "\\:", c.lead), c.last) << c.text;
    EXPECT_EQ(FindNextDelimiter(c.text, '\\', 0, c.lead), c.next) << c.text;
  }
  // Each separator in turn.
  const std::string key = "Soft\\\x95\\x\\K";
  EXPECT_EQ(FindNextDelimiter(key, '\\', 5, Cp932Lead), 8u);
  EXPECT_EQ(FindNextDelimiter(key, '\\', 9, Cp932Lead), none);
}

TEST(CodePage, Utf8IsToldFromOtherBytes) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain.jpg", true},
      {"caf\xC3\xA9.jpg", true},
      {"\xE5\x86\x99\xE7\x9C\x9F", true},
      {"\xF0\x9F\x8C\x85", true},
      {"\xF4\x8F\xBF\xBF", true},    // U+10FFFF
      {"caf\xE9.jpg", false},        // Windows-1252
      {"\x93\xFA\x96\x7B", false},   // cp932
      {"\xC3", false},               // cut off
      {"\xE5\x86", false},
      {"\xC0\xAF", false},           // overlong
      {"\xE0\x80\xAF", false},
      {"\xF0\x80\x80\xAF", false},
      {"\xED\xA0\x80", false},       // a surrogate
      {"\xF4\x90\x80\x80", false},   // above U+10FFFF
      {"\x80", false},               // a continuation byte alone
      {"\xC3\xA9\xA9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
}

}  // namespace
}  // namespace kelv
