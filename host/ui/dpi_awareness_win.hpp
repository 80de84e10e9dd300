// The dpi awareness of the windows a thread makes. The settings dialog is laid out once, at
// the system's dpi, and lets the system stretch it on a monitor of another scale; a saver
// run started from it (Preview) must draw device pixels like the saver itself.
#pragma once

#include <windows.h>

namespace kelv::ui {

// The awareness of the windows the calling thread makes from now on: system awareness.
// Before Windows 10 there is no such function and nothing to do.
void DeclareSystemDpiAwareness();

// Per-monitor awareness for the calling thread's new windows while the object lives; the
// thread's earlier awareness comes back when it goes.
class PerMonitorDpiScope {
 public:
  PerMonitorDpiScope();
  ~PerMonitorDpiScope();
  PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
  PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

 private:
  HANDLE previous_ = nullptr;
};

// The calling thread's awareness as the system keeps it (0 unaware, 1 system, 2 per
// monitor), -1 where the system has no such notion.
int ThreadDpiAwareness();
// The same of a window.
int WindowDpiAwareness(HWND window);

}  // namespace kelv::ui
