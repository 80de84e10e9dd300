// Figures about the process itself for the test trace: the counts that show a leak over a
// long run, and the time since the process started (the start-up figures of the saver).
#pragma once

#include <cstdint>
#include <string>

namespace kelv {

struct ProcessCounts {
  int64_t handles = -1;  // kernel handles (GetProcessHandleCount); -1 when unknown
  int64_t gdi = -1;      // GDI objects
  int64_t user = -1;     // USER objects
};

// The counts now. Where the system does not count them (Wine, whose GetProcessHandleCount
// answers 0 and whose GetGuiResources is a stub), handles are the process's entries of the
// system's handle list, gdi the live entries of the process's GDI handle table and user
// the process's windows.
ProcessCounts ReadProcessCounts();

// " handles=<n> gdi=<n> user=<n>", appended to the trace line after each transition.
std::string ProcessCountsText(const ProcessCounts& counts);

// Milliseconds since the system created this process (its creation time), or -1.
int64_t MillisSinceProcessStart();

}  // namespace kelv
