// Native stand-in: the report text goes to the standard error output (no browser, no
// machine facts), then the process ends with 217 like the real one.
#include "common/version.hpp"
#include "crash/capture.hpp"
#include "crash/report_driver.hpp"
#include "crash/report_platform.hpp"
#include "crash/report_text.hpp"

namespace kelv {

void MakeReportAndEnd(const ReportRequest& request) {
  ReportFacts facts;
  facts.message = request.message;
  facts.className = request.className;
  facts.address = reinterpret_cast<uintptr_t>(request.address);
  facts.mode = request.mode;
  facts.appVersion = VersionWordText(kProgramVersionWord);
  facts.extraLine = request.extraLine;
  const CaptureState& capture = TheCapture();
  facts.stackTraceText = capture.stackTraceText;
  facts.rawStackText = capture.rawStackText;
  facts.registersText = capture.registersText;
  facts.frameValue = capture.frameValue;
  WriteErrorOutput(BuildReportText(facts));
  EndProcessNow(kReportExitCode);
}

}  // namespace kelv
