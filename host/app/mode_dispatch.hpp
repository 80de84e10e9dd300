// Which mode a start runs, from the command line and the one-shot settings request.
#pragma once

#include <functional>

#include "app/command_line.hpp"
#include "settings/registry.hpp"

namespace kelv {

enum class ModeAction {
  SettingsDialog,  // "c" or no argument, or "s" with a pending settings request
  Preview,         // "p" with a parent that is a window
  FullScreen,      // "s"
  ChangePassword,  // "a"
  None,            // anything else, or "p" without a usable parent: nothing runs
};

// The mode to run. The settings request is only looked at (and consumed) for "s";
// `isWindow` is only asked for "p" with a parent handle other than 0.
ModeAction ResolveMode(const CommandLine& cmd, RegistryStore& registry,
                       const std::function<bool(uintptr_t)>& isWindow);

// Short names for the start-up trace: "settings", "preview", "saver", "password", "none".
const char* ModeActionName(ModeAction action);

}  // namespace kelv
