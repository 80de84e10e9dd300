// The few composition steps that belong to the platform: the system's plain stretch and
// letting the show thread's window messages through between cells.
#pragma once

#include <cstdint>

namespace kelv {

class TBitmap;

namespace compose_platform {

// Stretches the source rectangle (sx, sy, sw, sh) to (dx, dy, dw, dh) of the target
// without smoothing (each target pixel takes one source pixel: colour-on-colour).
void StretchWindow(TBitmap& target, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                   const TBitmap& source, int32_t sx, int32_t sy, int32_t sw, int32_t sh);

// Handles the calling thread's pending window messages.
void ProcessPendingMessages();

}  // namespace compose_platform
}  // namespace kelv
