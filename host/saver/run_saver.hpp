// One saver run: full screen (parent 0) or as a preview inside the given parent window.
#pragma once

#include <cstdint>

namespace kelv {

// Runs the saver until it ends; parentWindow is a window handle value, 0 for full screen.
void RunSaver(uintptr_t parentWindow);

}  // namespace kelv
