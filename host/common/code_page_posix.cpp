#include "common/code_page.hpp"

namespace kelv {

bool IsProgramLeadByte(uint8_t) { return false; }

}  // namespace kelv
