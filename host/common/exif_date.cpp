#include "common/exif_date.hpp"

namespace kelv {

namespace {

bool Digits(std::string_view text, size_t at, size_t count, int32_t& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool Leap(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t DaysInMonth(int32_t year, int32_t month) {
  static const int32_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && Leap(year) ? 29 : days[month - 1];
}

}  // namespace

std::optional<ExifDate> ParseExifDate(std::string_view text) {
  if (text.size() != 19) return std::nullopt;
  if (text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return std::nullopt;
  ExifDate d;
  if (!Digits(text, 0, 4, d.year) || !Digits(text, 5, 2, d.month) || !Digits(text, 8, 2, d.day) ||
      !Digits(text, 11, 2, d.hour) || !Digits(text, 14, 2, d.minute) || !Digits(text, 17, 2, d.second))
    return std::nullopt;
  if (d.year < 1601 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month))
    return std::nullopt;
  if (d.hour > 23 || d.minute > 59 || d.second > 59) return std::nullopt;
  return d;
}

int32_t DayOfWeek(const ExifDate& date) {
  // Sakamoto's rule.
  static const int32_t t[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int32_t y = date.month < 3 ? date.year - 1 : date.year;
  return (y + y / 4 - y / 100 + y / 400 + t[date.month - 1] + date.day) % 7;
}

}  // namespace kelv
