// The process counts of the test trace follow what the process holds: kernel handles, GDI
// objects and windows made and released again (the counts a long run's leak shows in).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "saver/process_trace_win.hpp"

namespace {

using kelv::ProcessCounts;
using kelv::ReadProcessCounts;

TEST(ProcessCounts, FollowHandlesGdiObjectsAndWindows) {
  constexpr int kMade = 20;
  struct Case {
    const char* name;
    std::function<void*()> make;
    std::function<void(void*)> release;
    int64_t ProcessCounts::*count;
  };
  const std::vector<Case> cases{
      {"events", [] { return static_cast<void*>(CreateEventA(nullptr, TRUE, FALSE, nullptr)); },
       [](void* h) { CloseHandle(h); }, &ProcessCounts::handles},
      {"brushes", [] { return static_cast<void*>(CreateSolidBrush(RGB(1, 2, 3))); },
       [](void* h) { DeleteObject(static_cast<HGDIOBJ>(h)); }, &ProcessCounts::gdi},
      {"bitmaps", [] { return static_cast<void*>(CreateBitmap(4, 4, 1, 32, nullptr)); },
       [](void* h) { DeleteObject(static_cast<HGDIOBJ>(h)); }, &ProcessCounts::gdi},
      {"windows",
       [] {
         return static_cast<void*>(CreateWindowExA(0, "STATIC", "count", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                   GetModuleHandleA(nullptr), nullptr));
       },
       [](void* h) { DestroyWindow(static_cast<HWND>(h)); }, &ProcessCounts::user},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // While a thread has windows, the system keeps one of its own for it: one made first
    // stays for the whole case.
    void* const first = c.make();
    const ProcessCounts before = ReadProcessCounts();
    ASSERT_GE(before.*c.count, 0);  // counted (-1: unknown)
    std::vector<void*> made;
    for (int k = 0; k < kMade; ++k) made.push_back(c.make());
    for (void* h : made) ASSERT_NE(h, nullptr);
    const ProcessCounts holding = ReadProcessCounts();
    EXPECT_EQ(holding.*c.count - before.*c.count, kMade);
    for (void* h : made) c.release(h);
    EXPECT_EQ(ReadProcessCounts().*c.count, before.*c.count);
    c.release(first);
  }
  EXPECT_NE(kelv::ProcessCountsText(ReadProcessCounts()).find(" handles="), std::string::npos);
  EXPECT_GE(kelv::MillisSinceProcessStart(), 0);
}

}  // namespace
