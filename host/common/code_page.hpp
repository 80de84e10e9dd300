// The program's 8-bit strings are in its ANSI code page: UTF-8 where the system honours
// the manifest's choice (Windows 10 1903 and later), else the system's legacy code page,
// which may be a double-byte one (cp932, cp936, ...). A search for "\\" or ":" walks the
// text from its start, a character at a time, so that the second byte of a double-byte
// character (which may be 0x5C) is never taken for a separator; in UTF-8 every byte of a
// character beyond ASCII is 0x80 or above, so the same walk holds there too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelv {

using LeadBytePredicate = bool (*)(uint8_t byte);

// True when the byte starts a double-byte character in the program's code page (never in
// UTF-8; the native build has no double-byte code page).
bool IsProgramLeadByte(uint8_t byte);

// The position of the last byte of `text` that is one of `delimiters` and a character of
// its own; npos when there is none.
size_t FindLastDelimiter(std::string_view text, std::string_view delimiters,
                         LeadBytePredicate isLead = IsProgramLeadByte);
// The positions of every such delimiter are found the same way, in order.
size_t FindNextDelimiter(std::string_view text, char delimiter, size_t from,
                         LeadBytePredicate isLead = IsProgramLeadByte);

// True when the text is well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF). Plain ASCII is.
bool IsValidUtf8(std::string_view text);
// The text with each byte that starts no well-formed character replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace kelv
