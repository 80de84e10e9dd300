#include "common/code_page_win.hpp"

#include "common/code_page.hpp"

namespace kelv {

bool IsProgramLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

namespace win {

namespace {

// Wide text of `text` in code page `cp`, into `out`; false when it cannot be converted.
bool ToWide(UINT cp, std::string_view text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  const int n = MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  return MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n) == n;
}

std::string FromWide(UINT cp, std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring WideFromProgram(std::string_view text) {
  std::wstring out;
  ToWide(CP_ACP, text, out);
  return out;
}

std::string ProgramFromWide(std::wstring_view text) { return FromWide(CP_ACP, text); }

int CompareProgramText(std::string_view a, std::string_view b) {
  // Sorting a large catalogue compares often: short texts convert into the stack.
  wchar_t smallA[MAX_PATH], smallB[MAX_PATH];
  auto convert = [](std::string_view text, wchar_t* small, std::wstring& large, int& length) -> const wchar_t* {
    length = 0;
    if (text.empty()) return small;
    length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), small, MAX_PATH);
    if (length > 0) return small;
    if (!ToWide(CP_ACP, text, large)) return nullptr;
    length = static_cast<int>(large.size());
    return large.data();
  };
  std::wstring largeA, largeB;
  int lengthA = 0, lengthB = 0;
  const wchar_t* wa = convert(a, smallA, largeA, lengthA);
  const wchar_t* wb = convert(b, smallB, largeB, lengthB);
  if (wa && wb) {
    const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa, lengthA, wb, lengthB);
    if (result != 0) return result - CSTR_EQUAL;
  }
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

UINT LegacyAnsiCodePage() {
  UINT cp = 0;
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<LPWSTR>(&cp), sizeof(cp) / sizeof(wchar_t)) == 0 ||
      cp == 0 || cp == CP_UTF8) {
    // A locale with no ANSI code page of its own (a Unicode-only one): Western text is
    // what such a file most likely holds.
    return 1252;
  }
  return cp;
}

std::string ProgramFromLegacyAnsi(std::string_view text) {
  const UINT legacy = LegacyAnsiCodePage();
  if (GetACP() == legacy) return std::string(text);
  std::wstring wide;
  if (!ToWide(legacy, text, wide)) return std::string(text);
  std::string out = ProgramFromWide(wide);
  return out.empty() ? std::string(text) : out;
}

}  // namespace win
}  // namespace kelv
