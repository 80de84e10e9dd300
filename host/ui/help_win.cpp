#include "ui/help_win.hpp"

#include <windows.h>

#include "common/exception.hpp"

namespace kelv {

namespace {

// The viewer's commands (HH_DISPLAY_TOPIC and HH_CLOSE_ALL of the HTML Help header,
// which the mingw-w64 headers do not always have): open a help file at a topic, and
// close every help window of the process.
constexpr UINT kDisplayTopic = 0x0000;
constexpr UINT kCloseAll = 0x0012;

}  // namespace

HtmlHelpViewer::~HtmlHelpViewer() {
  if (htmlHelp_) htmlHelp_(nullptr, nullptr, kCloseAll, 0);
}

void HtmlHelpViewer::Show(const char* topicOrNull, HWND owner, const std::string& helpFilePath) {
  if (!library_) {
    library_.reset(LoadLibraryA("HHCtrl.ocx"));
    if (!library_) throw Exception("\"HHCtrl.ocx\" not found");
  }
  if (!htmlHelp_) {
    htmlHelp_ = reinterpret_cast<HtmlHelpProc>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "HtmlHelpA")));
    if (!htmlHelp_) throw Exception("\"HHCtrl.ocx\" has no HtmlHelpA");
  }
  const HWND window =
      htmlHelp_(owner, helpFilePath.c_str(), kDisplayTopic, reinterpret_cast<DWORD_PTR>(topicOrNull));
  if (!window) {
    const DWORD error = GetLastError();
    throw Exception("Can't open help. Error " + std::to_string(error));
  }
}

}  // namespace kelv
