// Case folding for switches, file names and extensions: only A-Z change, so that other
// ANSI bytes stay as they are whatever the user's code page.
#pragma once

#include <string>

namespace kelv {

constexpr char LowerAscii(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

}  // namespace kelv
