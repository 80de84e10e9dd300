#include "crash/report_text.hpp"

#include <cstdio>

#include "common/code_page.hpp"

namespace kelv {

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string HexDigits(uint64_t value, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string AddressHex(uint64_t value) { return HexDigits(value, kAddressDigits); }

std::string VersionWordText(uint32_t versionWord) {
  return std::to_string(versionWord >> 24) + "." + std::to_string((versionWord >> 16) & 0xFF) + "." +
         std::to_string((versionWord >> 8) & 0xFF) + "." + std::to_string(versionWord & 0xFF);
}

std::string FormatRawStack(const std::vector<uint8_t>& bytes) {
  std::string out;
  const size_t limit = bytes.size() < 20 * 16 ? bytes.size() : 20 * 16;
  for (size_t i = 0; i < limit; ++i) {
    if (i > 0 && i % 16 == 0) out += "\r\n";
    if (i % 16 == 8) out += "-";
    out += HexDigits(bytes[i], 2) + " ";
  }
  return out;
}

std::string CharsetName(uint32_t codePage) {
  switch (codePage) {
    case 65001: return "utf-8";
    case 874: return "windows-874";
    case 932: return "shift_jis";
    case 936: return "gbk";
    case 949: return "euc-kr";
    case 950: return "big5";
    default:
      if (codePage >= 1250 && codePage <= 1258) return "windows-" + std::to_string(codePage);
      return {};
  }
}

std::string BuildReportText(const ReportFacts& f) {
  std::string r;
  auto line = [&r](const std::string& text) { r += text + "\r\n"; };
  const std::string q = "\"";
  const std::string charset = CharsetName(f.codePage);
  line("<html><head>" +
       (charset.empty() ? std::string() : "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">") +
       "<title>Exception report: Kelvora</title></head><BODY>");
  line("An error has occurred in Kelvora. To let us know about the error and thus help us fix it, "
       "just send this report using " + q + "Send Report" + q + " button.<BR><BR>");
  line("<FORM action=" + q + kProductHomePage + "bugreport.php" + q + " method=post>");
  line("Contact email (optional):<BR><INPUT id=email size=47 name=email><BR><BR>");
  line("Exception information: (do not edit)<BR>");
  line("<TEXTAREA id=message name=message rows=11 wrap=PHYSICAL cols=60>");
  line("Exception: " + HtmlEscape(f.message));
  line("Exception class: " + HtmlEscape(f.className));
  line("Exception address: " + AddressHex(f.address));
  line("App mode: " + std::to_string(f.mode));
  line("App version: " + HtmlEscape(f.appVersion));
  line("System: " + HtmlEscape(f.systemText));
  line("Processor: " + HtmlEscape(f.processorText));
  line("Memory: " + HtmlEscape(f.memoryText));
  line("Errstat: " + HtmlEscape(f.errstat));
  line("Worktime: " + std::to_string(f.worktime));
  std::string resolution =
      "Resolution: " + std::to_string(f.screenWidth) + "x" + std::to_string(f.screenHeight);
  if (f.directDraw) {
    resolution += " - DDraw";
    if (f.backBuffer) resolution += ", buf";
  }
  line(resolution);
  if (!f.extraLine.empty()) line(HtmlEscape(f.extraLine));
  if (f.instanceIsZero) line("hinst=0, main=" + std::to_string(f.mainModule));
  line("");
  line("Registers:");
  line(HtmlEscape(f.registersText));
  line("");
  if (f.exceptionCode == kAccessViolationCode)
    line(std::string("ExceptionInfo: Error when ") + (f.accessKind == 0 ? "read from " : "write to ") +
         AddressHex(f.dataAddress));
  if (f.frameValue) {
    // -1 and -2 print as all F digits of the address width.
    const uint64_t mask = kAddressDigits >= 16 ? ~0ULL : (1ULL << (kAddressDigits * 4)) - 1;
    line("Frame: " + AddressHex(static_cast<uint64_t>(*f.frameValue) & mask));
  }
  line("StackTrace: " + HtmlEscape(f.stackTraceText));
  line("");
  line("Raw stack dump: \r\n" + HtmlEscape(f.rawStackText));
  line("");
  if (f.directDraw) {
    line("Processes: " + HtmlEscape(f.processesText));
    line("");
  }
  line("</TEXTAREA><BR><BR>");
  line("");
  line("");
  line("<INPUT type=submit value=" + q + "Send Report" + q + " name=Submit>");
  line("</FORM>");
  line("</BODY></html>");
  // A page declared UTF-8 must be UTF-8 throughout, whatever bytes a text brought.
  return f.codePage == 65001 ? ValidUtf8(r) : r;
}

}  // namespace kelv
