// The order of sorted path lists: the platform's user-locale, case-insensitive string
// comparison (Win32: CompareStringW on the text converted from the
// program's code page, with the user default locale and NORM_IGNORECASE;
// the native build compares ASCII letters without case). Duplicate checks elsewhere use
// exact, case-sensitive equality instead.
#pragma once

#include <string>

namespace kelv {

// < 0, 0 or > 0 as a sorts before, equal to or after b.
int CompareNames(const std::string& a, const std::string& b);

struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNames(a, b) < 0; }
};

}  // namespace kelv
