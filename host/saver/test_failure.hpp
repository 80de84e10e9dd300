// The crash report's test failure (F12, then F11 in a full-screen run): a floating-point
// division by zero raised on the show thread, so that the whole reporting path can be
// tried on a user's machine.
#pragma once

#include "common/exception.hpp"

namespace kelv {

KELV_DECLARE_EXCEPTION(EZeroDivide, Exception)

[[noreturn]] inline void RaiseTestFailure() { throw EZeroDivide("Floating point division by zero"); }

}  // namespace kelv
