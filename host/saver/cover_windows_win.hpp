// The black cover windows over every monitor but the primary one during a full-screen run.
// They take part in the run's input like the saver window (a key or a mouse move on any
// monitor ends the saver).
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <vector>

#include "saver/monitor_list.hpp"

namespace kelv {

class SaverRun;

inline constexpr const char* kCoverClassName = "Black_Kelvora";

class CoverWindows {
public:
  // One list per process: the primary monitor's position is kept between runs.
  static CoverWindows& Get();

  // Lists the monitors afresh; false when the system has no monitor functions.
  bool Enumerate();
  // Lists the monitors and opens a cover window over each but the primary one; false when
  // the system has no monitor functions. Raises EOSError when a cover cannot be created.
  bool Cover(SaverRun& run);
  // The windows over the monitors but the primary, in the order of CoverPositions().
  std::vector<HWND> Windows() const;
  // Closes the cover windows; a second call finds nothing to close.
  void Close();

  const MonitorList& Monitors() const { return monitors_; }

private:
  CoverWindows() = default;

  MonitorList monitors_;
  std::array<std::atomic<HWND>, MonitorList::kMaxMonitors> windows_{};
};

LRESULT CALLBACK CoverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kelv
