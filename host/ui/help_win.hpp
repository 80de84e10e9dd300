// The help window: the help file is shown by the system's HTML Help viewer, whose library
// (HHCtrl.ocx) is loaded on the first request and kept until the object goes. The help
// windows run on the library's code, so the object closes them before it frees it.
#pragma once

#include <windows.h>

#include <string>

#include "common/owners_win.hpp"

namespace kelv {

class HtmlHelpViewer {
public:
  HtmlHelpViewer() = default;
  ~HtmlHelpViewer();
  HtmlHelpViewer(const HtmlHelpViewer&) = delete;
  HtmlHelpViewer& operator=(const HtmlHelpViewer&) = delete;

  // Opens the help file at `helpFilePath` in a help window owned by `owner`, at the page
  // `topicOrNull` inside it (such as "Images.html"; nullptr for the file's default page).
  // Raises kelv::Exception when the viewer's library cannot be loaded ("\"HHCtrl.ocx\" not
  // found"), when it has no HtmlHelpA entry, and when the viewer opens no window ("Can't
  // open help. Error <system error code>"). A loaded library stays loaded after a
  // failure, so the next request does not load it again.
  void Show(const char* topicOrNull, HWND owner, const std::string& helpFilePath);

private:
  using HtmlHelpProc = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

  win::UniqueLibrary library_;
  HtmlHelpProc htmlHelp_ = nullptr;
};

}  // namespace kelv
