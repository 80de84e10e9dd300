#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "crash/report_path.hpp"
#include "crash/report_text.hpp"

namespace kelv {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text must end with CR LF";
  return lines;
}

ReportFacts Plain() {
  ReportFacts f;
  f.message = "List index out of bounds (5)";
  f.className = "EListError";
  f.address = 0x4010AB;
  f.mode = 34;
  f.appVersion = "1.4.0.0";
  f.systemText = "Windows NT 5.1 Build: 2600 Service Pack 3";
  f.processorText = "2x Pentium III, 733 MHz";
  f.memoryText = "100 of 512 MB, Allocated 2048 (10 of 20) KB";
  f.errstat = "0051";
  f.worktime = 12345;
  f.screenWidth = 1024;
  f.screenHeight = 768;
  f.registersText = "EAX=00000001";
  f.stackTraceText = "00401000\r\n";
  f.rawStackText = "00 01 ";
  return f;
}

TEST(ReportText, PlainReportHasTheFixedLayout) {
  const std::string a = AddressHex(0x4010AB);
  const std::vector<std::string> expected = {
      "<html><head><title>Exception report: Kelvora</title></head><BODY>",
      "An error has occurred in Kelvora. To let us know about the error and thus help us fix it, just send "
      "this report using \"Send Report\" button.<BR><BR>",
      std::string("<FORM action=\"") + kProductHomePage + "bugreport.php\" method=post>",
      "Contact email (optional):<BR><INPUT id=email size=47 name=email><BR><BR>",
      "Exception information: (do not edit)<BR>",
      "<TEXTAREA id=message name=message rows=11 wrap=PHYSICAL cols=60>",
      "Exception: List index out of bounds (5)",
      "Exception class: EListError",
      "Exception address: " + a,
      "App mode: 34",
      "App version: 1.4.0.0",
      "System: Windows NT 5.1 Build: 2600 Service Pack 3",
      "Processor: 2x Pentium III, 733 MHz",
      "Memory: 100 of 512 MB, Allocated 2048 (10 of 20) KB",
      "Errstat: 0051",
      "Worktime: 12345",
      "Resolution: 1024x768",
      "",
      "Registers:",
      "EAX=00000001",
      "",
      "StackTrace: 00401000",
      "",
      "",
      "Raw stack dump: ",
      "00 01 ",
      "",
      "</TEXTAREA><BR><BR>",
      "",
      "",
      "<INPUT type=submit value=\"Send Report\" name=Submit>",
      "</FORM>",
      "</BODY></html>",
  };
  EXPECT_EQ(Lines(BuildReportText(Plain())), expected);
  EXPECT_EQ(a.size(), sizeof(void*) * 2);
}

TEST(ReportText, OptionalLinesAppearOnlyWhenTheyApply) {
  ReportFacts f = Plain();
  f.extraLine = "Plugin: basicfx.dll 1.0";
  f.instanceIsZero = true;
  f.mainModule = 4194304;
  f.exceptionCode = kAccessViolationCode;
  f.accessKind = 1;
  f.dataAddress = 0x10;
  f.frameValue = -2;
  f.directDraw = true;
  f.backBuffer = true;
  f.processesText = "\rexplorer.exe (er)";
  const std::string text = BuildReportText(f);
  const std::string hexWidth(kAddressDigits - 2, '0');
  EXPECT_NE(text.find("Resolution: 1024x768 - DDraw, buf\r\nPlugin: basicfx.dll 1.0\r\nhinst=0, main=4194304\r\n\r\n"
                      "Registers:\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n\r\nExceptionInfo: Error when write to " + hexWidth + "10\r\nFrame: " +
                      std::string(kAddressDigits, 'F').replace(kAddressDigits - 1, 1, "E") + "\r\nStackTrace: "),
            std::string::npos);
  EXPECT_NE(text.find("\r\n\r\nProcesses: \rexplorer.exe (er)\r\n\r\n</TEXTAREA>"), std::string::npos);

  f.accessKind = 0;
  EXPECT_NE(BuildReportText(f).find("Error when read from " + hexWidth + "10\r\n"), std::string::npos);
  // Another exception code: no access line, whatever the access fields hold.
  f.exceptionCode = 0xC0000094;
  EXPECT_EQ(BuildReportText(f).find("ExceptionInfo"), std::string::npos);
  f.backBuffer = false;
  EXPECT_NE(BuildReportText(f).find("Resolution: 1024x768 - DDraw\r\n"), std::string::npos);
  f.frameValue = 0x12FF80;
  EXPECT_NE(BuildReportText(f).find("Frame: " + AddressHex(0x12FF80) + "\r\n"), std::string::npos);
}

TEST(ReportText, TextsCannotBreakThePageOrAddMarkup) {
  ReportFacts f = Plain();
  f.message = "Can't read C:\\a&b\\<x>.jpg </TEXTAREA><script>alert(1)</script>";
  f.className = "T<Cls>";
  f.extraLine = "Plugin: \"evil\".dll";
  f.processesText = "\r</textarea>.exe";
  f.directDraw = true;
  const std::string text = BuildReportText(f);
  EXPECT_NE(text.find("Exception: Can&#39;t read C:\\a&amp;b\\&lt;x&gt;.jpg &lt;/TEXTAREA&gt;&lt;script&gt;"),
            std::string::npos);
  EXPECT_NE(text.find("Exception class: T&lt;Cls&gt;\r\n"), std::string::npos);
  EXPECT_NE(text.find("Plugin: &quot;evil&quot;.dll\r\n"), std::string::npos);
  // The only closing tag of the text area is the page's own.
  EXPECT_EQ(text.find("</TEXTAREA>"), text.rfind("</TEXTAREA>"));
  EXPECT_EQ(text.find("</textarea>"), std::string::npos);
  EXPECT_EQ(text.find("<script>"), std::string::npos);
}

// The page declares the code page its texts are in; declared UTF-8, it is UTF-8 throughout
// (a stray byte of another code page becomes U+FFFD), and a legacy page keeps its bytes.
TEST(ReportText, ThePageDeclaresTheCharsetItIsWrittenIn) {
  ReportFacts f = Plain();
  f.message = "Can't read C:\\\xE5\x86\x99\xE7\x9C\x9F \xC3\x9Cn\xC3\xAF \xE2\x98\x80\\\xF0\x9F\x8C\x85 caf\xE9";
  struct Case {
    uint32_t codePage;
    std::string head;  // the first line
    std::string exception;
  };
  const std::string title = "<title>Exception report: Kelvora</title></head><BODY>";
  const std::string meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
  const Case cases[] = {
      {65001, "<html><head>" + meta + "utf-8\">" + title,
       "Exception: Can&#39;t read C:\\\xE5\x86\x99\xE7\x9C\x9F \xC3\x9Cn\xC3\xAF \xE2\x98\x80\\\xF0\x9F\x8C\x85 caf\xEF\xBF\xBD"},
      {1252, "<html><head>" + meta + "windows-1252\">" + title, "Exception: Can&#39;t read C:\\" + f.message.substr(14)},
      {932, "<html><head>" + meta + "shift_jis\">" + title, ""},
      {0, "<html><head>" + title, ""},
      {437, "<html><head>" + title, ""},  // no name a browser knows: nothing declared
  };
  for (const Case& c : cases) {
    f.codePage = c.codePage;
    const std::vector<std::string> lines = Lines(BuildReportText(f));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[0], c.head) << c.codePage;
    if (!c.exception.empty()) EXPECT_EQ(lines[6], c.exception) << c.codePage;
  }
}

TEST(ReportText, RawStackLinesHoldSixteenBytesInTwoHalves) {
  std::vector<uint8_t> bytes(400);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  const std::string dump = FormatRawStack(bytes);
  std::vector<std::string> lines = Lines(dump + "\r\n");
  ASSERT_EQ(lines.size(), 20u);  // at most 20 lines, whatever is there
  EXPECT_EQ(lines[0], "00 01 02 03 04 05 06 07 -08 09 0A 0B 0C 0D 0E 0F ");
  EXPECT_EQ(lines[19], "30 31 32 33 34 35 36 37 -38 39 3A 3B 3C 3D 3E 3F ");
  // The top of the stack ends the dump early, inside a line.
  EXPECT_EQ(FormatRawStack({0xAB, 0xCD}), "AB CD ");
  EXPECT_EQ(Lines(FormatRawStack(std::vector<uint8_t>(20, 0xFF)) + "\r\n").size(), 2u);
  EXPECT_EQ(FormatRawStack({}), "");
}

TEST(ReportPath, ANumberedNameKeepsTheOlderReport) {
  const std::string folder = "C:\\Data\\Kelvora";
  EXPECT_EQ(ChooseReportPath(folder, [](const std::string&) { return false; }, [] { return 0.5; }),
            folder + "\\BugReport.html");
  std::set<std::string> present = {folder + "\\BugReport.html", folder + "\\BugReport4999.html"};
  std::vector<double> draws = {0.5, 0.25};  // 4999 (taken), then 2499
  size_t next = 0;
  EXPECT_EQ(ChooseReportPath(folder, [&](const std::string& p) { return present.count(p) > 0; },
                             [&] { return draws[next++]; }),
            folder + "\\BugReport2499.html");
  // Every name taken: the search gives up after 10001 tries instead of looping for ever.
  int tries = 0;
  const std::string last = ChooseReportPath(folder, [](const std::string&) { return true; },
                                            [&] { ++tries; return 0.99999; });
  EXPECT_EQ(tries, 10001);
  EXPECT_EQ(last, folder + "\\BugReport9998.html");
}

}  // namespace
}  // namespace kelv
