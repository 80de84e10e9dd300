// The program's version.
#pragma once

#include <cstdint>

namespace kelv {

// The program version word (most significant byte first: 1.4.0.0), printed by the crash
// report and kept by the run statistics.
inline constexpr uint32_t kProgramVersionWord = 0x01040000;

}  // namespace kelv
