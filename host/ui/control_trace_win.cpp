#include "ui/control_trace_win.hpp"

#include <string>

#include "common/test_trace.hpp"
#include "ui/dpi_awareness_win.hpp"
#include "ui/ui_framework_win.hpp"

namespace kelv::ui {

namespace {

std::string ClassName(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct TraceContext {
  const std::string* path;
  std::string dialogClass;
};

BOOL CALLBACK TraceOne(HWND window, LPARAM context) {
  const auto& trace = *reinterpret_cast<const TraceContext*>(context);
  RECT r{};
  GetWindowRect(window, &r);
  std::string text = GetControlText(window);
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  // The caption as the control shows it: its size in the control's font and the width the
  // control needs to show it whole (0: the control shows no caption of its own).
  const SIZE extent = CaptionExtent(window);
  const std::string caption = " extent=" + std::to_string(extent.cx) + "," + std::to_string(extent.cy) +
                              " need=" + std::to_string(CaptionWidthNeeded(window)) +
                              " window=" + std::to_string(reinterpret_cast<uintptr_t>(window)) +
                              " parent=" + std::to_string(reinterpret_cast<uintptr_t>(GetParent(window)));
  AppendTraceLine(*trace.path, "control dialog=" + trace.dialogClass + " id=" + std::to_string(GetDlgCtrlID(window)) +
                                   " class=" + ClassName(window) + " rect=" + std::to_string(r.left) + "," +
                                   std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                                   std::to_string(r.bottom) + " visible=" + (IsWindowVisible(window) ? "1" : "0") +
                                   " enabled=" + (IsWindowEnabled(window) ? "1" : "0") + caption + " text=" + text);
  return TRUE;
}

}  // namespace

void TraceControls(HWND dialog) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  TraceContext context{&path, ClassName(dialog)};
  EnumChildWindows(dialog, TraceOne, reinterpret_cast<LPARAM>(&context));
  AppendTraceLine(path, "dialog=" + context.dialogClass + " dpi=" + std::to_string(Framework::Get().Dpi()) +
                            " awareness=" + std::to_string(WindowDpiAwareness(dialog)));
  AppendTraceLine(path, "controls dialog=" + context.dialogClass + " end");
}

}  // namespace kelv::ui
