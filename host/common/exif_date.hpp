// The date a picture was taken as the input modules hand it over: EXIF date text
// "YYYY:MM:DD HH:MM:SS". A module is another program's code, so its text is checked here
// before anything shows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelv {

struct ExifDate {
  int32_t year = 0, month = 0, day = 0;
  int32_t hour = 0, minute = 0, second = 0;
};

// The date and time when `text` is exactly a real one in the EXIF form (year 1601 to 9999,
// a day the month has, hour 0 to 23, minutes and seconds 0 to 59), else nothing:
// "0000:00:00 00:00:00", month 13, blanks and other lengths are no date.
std::optional<ExifDate> ParseExifDate(std::string_view text);

// 0 Sunday to 6 Saturday (Gregorian calendar).
int32_t DayOfWeek(const ExifDate& date);

}  // namespace kelv
