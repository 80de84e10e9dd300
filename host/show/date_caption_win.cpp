// The user's long date format (GetDateFormat, user's default locale) and the program's
// ANSI code page, whichever it is.
#include <windows.h>

#include "show/date_caption_platform.hpp"

namespace kelv::date_caption_platform {

std::string LongDate(const ExifDate& date) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(date.year);
  time.wMonth = static_cast<WORD>(date.month);
  time.wDay = static_cast<WORD>(date.day);
  time.wDayOfWeek = static_cast<WORD>(DayOfWeek(date));
  time.wHour = static_cast<WORD>(date.hour);
  time.wMinute = static_cast<WORD>(date.minute);
  time.wSecond = static_cast<WORD>(date.second);
  char text[128];
  const int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, &time, nullptr, text, sizeof text);
  // The length counts the terminating NUL.
  return length > 1 ? std::string(text, static_cast<size_t>(length - 1)) : std::string();
}

std::optional<std::string> InCodePage(std::u16string_view text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int count = static_cast<int>(text.size());
  // UTF-8 takes no "default character" arguments: every character has its bytes there.
  const bool utf8 = GetACP() == CP_UTF8;
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, nullptr,
                                        utf8 ? nullptr : &lossy);
  if (bytes <= 0 || lossy) return std::nullopt;
  std::string out(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, count, out.data(), bytes, nullptr,
                          utf8 ? nullptr : &lossy) != bytes ||
      lossy)
    return std::nullopt;
  return out;
}

}  // namespace kelv::date_caption_platform
