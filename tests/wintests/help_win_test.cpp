// The help window through the system's HTML Help viewer, on the help file of the build.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "common/exception.hpp"
#include "ui/help_win.hpp"

namespace kelv {
namespace {

std::string DistPath(const char* name) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir.resize(dir.find_last_of('\\') + 1);
  return dir + "..\\dist\\" + name;
}

// One viewer through its life: a missing file is reported and keeps the library loaded,
// a topic of the built help file then opens a help window, and the viewer's end closes
// that window and frees the library.
TEST(HtmlHelpViewer, ReportsAMissingFileOpensATopicAndClosesItsWindowsAtItsEnd) {
  const std::string help = DistPath("Help.chm");
  if (GetFileAttributesA(help.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << help << " not built";
  {
    HtmlHelpViewer viewer;
    try {
      viewer.Show("Images.html", nullptr, DistPath("NoSuchHelp.chm"));
      ADD_FAILURE() << "a missing help file opened";
    } catch (const Exception& e) {
      EXPECT_TRUE(std::regex_match(e.message(), std::regex("Can't open help\\. Error [0-9]+"))) << e.message();
    }
    const HMODULE afterFailure = GetModuleHandleA("HHCtrl.ocx");
    EXPECT_NE(afterFailure, nullptr) << "the viewer's library went with the failed request";

    EXPECT_NO_THROW(viewer.Show("Images.html", nullptr, help));
    EXPECT_NE(FindWindowA("HH Parent", nullptr), nullptr) << "no help window";
  }
  EXPECT_EQ(FindWindowA("HH Parent", nullptr), nullptr) << "a help window stayed open";
  EXPECT_EQ(GetModuleHandleA("HHCtrl.ocx"), nullptr) << "the viewer's library stayed loaded";
}

}  // namespace
}  // namespace kelv
