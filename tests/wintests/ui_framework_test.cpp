// The dialog control layer on real windows: the tab control's pages, the tab registry's
// errors, registration by the factories and the check trees' state images.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "common/exception.hpp"
#include "ui/control_factories_win.hpp"
#include "ui/tab_control_win.hpp"

namespace kelv::ui {
namespace {

HWND g_paintedTab = nullptr;
void RecordPaintedTab(HWND tab) { g_paintedTab = tab; }

bool Shown(HWND window) { return (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

class OwnerWindow {
public:
  OwnerWindow()
      : window_(CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 700, 500, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr)) {}
  ~OwnerWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

private:
  HWND window_;
};

// Everything in one test: the tab registry is one per process and takes five tabs.
TEST(DialogControls, PagesRegistryAndStateImages) {
  OwnerWindow owner;
  HWND tab = CreateTabControl(owner.get(), 27, "Main_TAB", {10, 10, 583, 395}, RecordPaintedTab);
  ASSERT_NE(tab, nullptr);
  EXPECT_EQ(ControlById(27), tab);

  // Pages: a page added while another is current is hidden at once, with what it gets.
  TmyTabControl tabs(tab);
  HWND first = tabs.AddPage("General");
  HWND second = tabs.AddPage("Photos");
  HWND button = CreateButton(first, 16, "OK", {10, 10, 75, 23});
  HWND label = CreateLabel(second, 0, "Width : ", {10, 10, 120, 20});
  tabs.AddWindow(0, button);
  tabs.AddWindow(1, label);
  EXPECT_EQ(GetParent(first), owner.get());  // pages are siblings of the tab control
  EXPECT_FALSE(Shown(first) || Shown(second));
  tabs.ShowPage(0);
  EXPECT_TRUE(Shown(first) && Shown(button));
  HWND third = tabs.AddPage("Effects");
  EXPECT_FALSE(Shown(third));
  tabs.ShowPage(0);  // the current page again: hidden and shown
  EXPECT_TRUE(Shown(first) && Shown(button));
  tabs.ShowPage(1);
  EXPECT_FALSE(Shown(first) || Shown(button));
  EXPECT_TRUE(Shown(second) && Shown(label));
  EXPECT_EQ(ControlById(16), button);  // buttons are registered, labels are not

  // A painted page finds its tab through their parent; a window of no tab is an error.
  Framework::Get().NotifyPainted(second);
  EXPECT_EQ(g_paintedTab, tab);
  try {
    Framework::Get().NotifyPainted(label);
    ADD_FAILURE() << "a label found a tab";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message().rfind("can't find TheTab, H=", 0), 0u) << e.message();
    EXPECT_NE(e.message().find(", TheTab_Last=1, caption=Width : "), std::string::npos) << e.message();
  }

  // Five tab controls at most.
  for (int i = 1; i < Framework::kMaxTabs; ++i)
    ASSERT_NE(CreateTabControl(owner.get(), 30 + i, "tab", {0, 0, 50, 20}, RecordPaintedTab), nullptr);
  try {
    CreateTabControl(owner.get(), 40, "tab", {0, 0, 50, 20}, RecordPaintedTab);
    ADD_FAILURE() << "a sixth tab control was taken";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), "TheTab_Last= 5");
  }

  // The check tree's state images: five boxes of the scaled box size.
  HWND tree = CreateCheckTreeView(owner.get(), 50, "Tree Effects", {16, 20, 220, 225});
  ASSERT_NE(tree, nullptr);
  HIMAGELIST images = TreeView_GetImageList(tree, TVSIL_STATE);
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(images), 5);
  int width = 0, height = 0;
  ImageList_GetIconSize(images, &width, &height);
  EXPECT_EQ(width, ScaleToScreen(13));
  EXPECT_EQ(height, ScaleToScreen(13));
}

}  // namespace
}  // namespace kelv::ui
