// What the crash report captured about a failure before the report itself started: the
// stack at raise time (raise hook) or at the fault (exception filter), the registers and
// the fault's record. Texts start as "no"; a capture that fails leaves a marker
// ("failed" in the filter, "failed1" in the raise hook).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace kelv {

struct CaptureState {
  std::string stackTraceText = "no";
  std::string rawStackText = "no";
  std::string registersText = "no";
  // The raiser's frame: -2 when the hook got no address, -1 when it could not be found;
  // nothing when none was captured.
  std::optional<int64_t> frameValue;
  uint32_t exceptionCode = 0;
  uint32_t accessKind = 0;  // 0 read, 1 write
  uint64_t dataAddress = 0;
};

// Process-wide; written by the hooks while the busy flag is held, read by the report.
CaptureState& TheCapture();
// Guards the hooks against re-entry (a capture that raises).
inline std::atomic<bool> CaptureBusy{false};
// The object captured last (an exception object or a fault address).
inline std::atomic<const void*> LastCapturedObject{nullptr};

// Called by the raise hook for every kelv::Exception being made (no-op natively).
void CaptureAtRaise(const void* object, void* raiseAddress);

}  // namespace kelv
