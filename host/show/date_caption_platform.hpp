// The system's part of a dated caption: the user's long date format and the program's
// code page (Win32: GetDateFormat with the user's default locale; native: a fixed form
// and UTF-8, for the tests).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/exif_date.hpp"

namespace kelv::date_caption_platform {

// The date in the user's long date format, in the program's code page; empty when the
// system cannot write it. The native stand-in writes "14 July 2021".
std::string LongDate(const ExifDate& date);

// `text` in the program's code page, or nothing when the code page lacks one of its
// characters.
std::optional<std::string> InCodePage(std::u16string_view text);

}  // namespace kelv::date_caption_platform
