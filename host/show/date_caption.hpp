// The date a picture was taken, after its name in the caption: "IMG_2041  ·  14 July 2021".
// The date reads as the user's long date format; the separator is chosen here, once.
#pragma once

#include <string>

namespace kelv {

// Between the name and the date: two spaces, a middle dot, two spaces. Kept as UTF-16
// text and turned into the program's code page when a caption is drawn, so it draws
// right whether that code page is a Western one or UTF-8.
inline constexpr char16_t kDateSeparator[] = u"  \u00B7  ";
// Where the code page has no middle dot.
inline constexpr const char* kPlainDateSeparator = "  -  ";

// `name` followed by the separator and the date taken, given as EXIF date text
// "YYYY:MM:DD HH:MM:SS"; `name` alone when the text is empty or not a real date, or the
// system cannot write the date.
std::string CaptionWithDate(const std::string& name, const std::string& dateTaken);

}  // namespace kelv
