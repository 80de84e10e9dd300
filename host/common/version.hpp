// The program's version, set once in the top CMakeLists.txt (program_version.h is made
// from it, as are the version resource and the manifest).
#pragma once

#include <cstdint>

#include "program_version.h"

namespace kelv {

// The program version word (most significant byte first, as 1.4.0.0 gives 0x01040000),
// printed by the crash report and kept by the run statistics.
static_assert(KELV_VERSION_MAJOR < 256 && KELV_VERSION_MINOR < 256 && KELV_VERSION_RELEASE < 256 &&
                  KELV_VERSION_BUILD < 256,
              "each part of the program version takes one byte of the version word");
inline constexpr uint32_t kProgramVersionWord =
    uint32_t{KELV_VERSION_MAJOR} << 24 | uint32_t{KELV_VERSION_MINOR} << 16 |
    uint32_t{KELV_VERSION_RELEASE} << 8 | uint32_t{KELV_VERSION_BUILD};

}  // namespace kelv
