// Binds a standard tab control to its pages: each page is a window beside the tab control
// over the tab's display area, with the windows added to it; showing a page shows all of
// them and hides those of the page shown before.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

namespace kelv::ui {

class TmyTabControl {
public:
  static constexpr int32_t kMaxPages = 11;
  static constexpr int32_t kMaxWindowsPerPage = 41;  // the page window included

  explicit TmyTabControl(HWND tab);

  // A new tab item with the caption and its page window (hidden unless it is current);
  // null when the page cannot be made or the pages are full.
  HWND AddPage(const char* caption);
  // Appends a window to a page; hidden unless that page is current. Pages out of range
  // and full pages are ignored.
  void AddWindow(int32_t page, HWND window);
  // Hides the windows of the current page and shows those of `page`.
  void ShowPage(int32_t page);
  // Repaints the tab and shows the page of its selection.
  void Refresh();

  int32_t CurrentPage() const { return current_; }
  int32_t LastPage() const { return last_; }
  HWND Tab() const { return tab_; }

private:
  int32_t current_ = -1;
  int32_t last_ = -1;
  std::array<std::array<HWND, kMaxWindowsPerPage>, kMaxPages> windows_{};
  std::array<int32_t, kMaxPages> lastWindow_{};
  HWND tab_ = nullptr;
};

}  // namespace kelv::ui
