#include "ui/control_trace_win.hpp"

#include <string>

#include "common/test_trace.hpp"
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
  AppendTraceLine(*trace.path, "control dialog=" + trace.dialogClass + " id=" + std::to_string(GetDlgCtrlID(window)) +
                                   " class=" + ClassName(window) + " rect=" + std::to_string(r.left) + "," +
                                   std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                                   std::to_string(r.bottom) + " visible=" + (IsWindowVisible(window) ? "1" : "0") +
                                   " enabled=" + (IsWindowEnabled(window) ? "1" : "0") + " text=" + text);
  return TRUE;
}

}  // namespace

void TraceControls(HWND dialog) {
  const std::string& path = TestTracePath();
  if (path.empty()) return;
  TraceContext context{&path, ClassName(dialog)};
  EnumChildWindows(dialog, TraceOne, reinterpret_cast<LPARAM>(&context));
  AppendTraceLine(path, "controls dialog=" + context.dialogClass + " end");
}

}  // namespace kelv::ui
