#include "ui/tab_control_win.hpp"

#include <windows.h>

#include <commctrl.h>

#include "ui/control_factories_win.hpp"

namespace kelv::ui {

namespace {

// The settings dialog's tab control: at 10, 10, sized 583 × 395.
constexpr int32_t kTabLeft = 10, kTabTop = 10, kTabWidth = 583, kTabHeight = 395;

}  // namespace

TmyTabControl::TmyTabControl(HWND tab) : tab_(tab) { lastWindow_.fill(-1); }

HWND TmyTabControl::AddPage(const char* caption) {
  if (last_ + 1 >= kMaxPages) return nullptr;
  ++last_;
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(caption);
  SendMessageA(tab_, TCM_INSERTITEMA, static_cast<WPARAM>(last_), reinterpret_cast<LPARAM>(&item));

  const int32_t left = ScaleToScreen(kTabLeft), top = ScaleToScreen(kTabTop);
  RECT area{left, top, left + ScaleToScreen(kTabWidth), top + ScaleToScreen(kTabHeight)};
  SendMessageA(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  HWND page = CreatePage(GetParent(tab_), area);
  AddWindow(last_, page);
  return page;
}

void TmyTabControl::AddWindow(int32_t page, HWND window) {
  if (page < 0 || page > last_) return;
  int32_t& last = lastWindow_[static_cast<size_t>(page)];
  if (last + 1 >= kMaxWindowsPerPage) return;
  windows_[static_cast<size_t>(page)][static_cast<size_t>(++last)] = window;
  if (page != current_) ShowWindow(window, SW_HIDE);
}

void TmyTabControl::ShowPage(int32_t page) {
  if (current_ >= 0 && current_ <= last_)
    for (int32_t i = 0; i <= lastWindow_[static_cast<size_t>(current_)]; ++i)
      ShowWindow(windows_[static_cast<size_t>(current_)][static_cast<size_t>(i)], SW_HIDE);
  if (page >= 0 && page <= last_)
    for (int32_t i = 0; i <= lastWindow_[static_cast<size_t>(page)]; ++i)
      ShowWindow(windows_[static_cast<size_t>(page)][static_cast<size_t>(i)], SW_SHOW);
  current_ = page;
}

void TmyTabControl::Refresh() {
  InvalidateRect(tab_, nullptr, FALSE);
  ShowPage(static_cast<int32_t>(SendMessageA(tab_, TCM_GETCURSEL, 0, 0)));
}

}  // namespace kelv::ui
