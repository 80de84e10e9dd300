// One saver run: full screen (parent 0) or as a preview inside the given parent window.
#pragma once

#include <cstdint>

namespace kelv {

// Runs the saver until it ends; parentWindow is a window handle value, 0 for full screen.
// `loadSettings` is the program's whole settings load (registry, plug-ins, catalogue),
// run at the start unless the settings dialog started the run with its own settings.
void RunSaver(uintptr_t parentWindow, void (*loadSettings)());

}  // namespace kelv
