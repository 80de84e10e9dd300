// The text of the HTML bug report: a page with a form that posts the failure description
// (the text area) and an optional e-mail address to the product site.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelv {

// The product home page; the form posts to it + "bugreport.php".
inline constexpr const char* kProductHomePage = "http://kelvora.example.org/";

inline constexpr uint32_t kAccessViolationCode = 0xC0000005;

// Everything the report prints. Texts are plain; BuildReportText escapes them.
struct ReportFacts {
  std::string message;
  std::string className;
  uint64_t address = 0;
  uint32_t mode = 0;
  std::string appVersion;  // "1.4.0.0"
  std::string systemText;
  std::string processorText;
  std::string memoryText;
  std::string errstat;
  uint32_t worktime = 0;  // milliseconds since start-up
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  bool directDraw = false;  // the direct-surface presentation is in use
  bool backBuffer = false;  // ... with a back buffer
  std::string extraLine;    // plug-in or context line; empty: none
  bool instanceIsZero = false;
  uint64_t mainModule = 0;  // printed only when instanceIsZero
  std::string registersText = "no";
  uint32_t exceptionCode = 0;
  uint32_t accessKind = 0;  // 0 read, else write
  uint64_t dataAddress = 0;
  std::optional<int64_t> frameValue;  // only when one was captured
  std::string stackTraceText = "no";
  std::string rawStackText = "no";
  std::string processesText;  // printed only with directDraw
  // The code page the texts are in (the program's ANSI code page; 65001 for UTF-8): the
  // page declares it as its charset. 0: unknown, nothing declared.
  uint32_t codePage = 0;
};

// The page's charset name for a code page ("utf-8", "windows-1252", "shift_jis", ...);
// empty for one a browser has no name for.
std::string CharsetName(uint32_t codePage);

// & < > " and ' as character references, so that no text can end the text area or add
// markup; the browser shows (and the form posts) the original characters.
std::string HtmlEscape(const std::string& text);

// Upper-case hex, at least `digits` digits.
std::string HexDigits(uint64_t value, int digits);
// Addresses: 8 digits in the 32-bit program, 16 in the 64-bit one.
inline constexpr int kAddressDigits = static_cast<int>(sizeof(void*) * 2);
std::string AddressHex(uint64_t value);

// The complete page, every line ended by CR LF.
std::string BuildReportText(const ReportFacts& facts);

// Stack bytes read upwards from the stack pointer, at most 20 lines of 16: eight bytes as
// "XX " each, "-", eight more; lines joined by CR LF.
std::string FormatRawStack(const std::vector<uint8_t>& bytes);

// "1.4.0.0" from a version word, most significant byte first.
std::string VersionWordText(uint32_t versionWord);

}  // namespace kelv
