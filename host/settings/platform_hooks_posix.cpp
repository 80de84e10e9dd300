// Native stand-ins for the platform services of the settings load and save.
#include <sys/stat.h>

#include <chrono>

#include "settings/settings_store.hpp"

namespace kelv {

SettingsHooks PlatformSettingsHooks() {
  SettingsHooks hooks;
  hooks.tickCount = [] {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  };
  hooks.screenWidth = [] { return 1024; };
  // No desktop to show a message on; textLess stays the built-in ASCII order.
  hooks.pathExists = [](const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
  };
  hooks.createFolder = [](const std::string& path) { mkdir(path.c_str(), 0777); };
  return hooks;
}

}  // namespace kelv
