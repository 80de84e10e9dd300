#include "app/mode_dispatch.hpp"

#include "app/run_settings.hpp"

namespace kelv {

ModeAction ResolveMode(const CommandLine& cmd, RegistryStore& registry,
                       const std::function<bool(uintptr_t)>& isWindow) {
  std::string mode = cmd.modeText;
  if (mode == "s" && ConsumeRunSettingsRequest(registry)) mode.clear();

  if (mode == "c" || mode.empty()) return ModeAction::SettingsDialog;
  if (mode == "p")
    return cmd.parentWindow != 0 && isWindow(cmd.parentWindow) ? ModeAction::Preview
                                                                : ModeAction::None;
  if (mode == "s") return ModeAction::FullScreen;
  if (mode == "a") return ModeAction::ChangePassword;
  return ModeAction::None;
}

const char* ModeActionName(ModeAction action) {
  switch (action) {
    case ModeAction::SettingsDialog: return "settings";
    case ModeAction::Preview: return "preview";
    case ModeAction::FullScreen: return "saver";
    case ModeAction::ChangePassword: return "password";
    case ModeAction::None: return "none";
  }
  return "none";
}

}  // namespace kelv
