// The platform services of the settings load and save on Windows.
#include <windows.h>

#include "common/code_page_win.hpp"
#include "settings/settings_store.hpp"

namespace kelv {

SettingsHooks PlatformSettingsHooks() {
  SettingsHooks hooks;
  hooks.tickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
  hooks.screenWidth = [] { return GetSystemMetrics(SM_CXSCREEN); };
  hooks.showMessage = [](const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "Kelvora", MB_OK);
  };
  hooks.textLess = [](const std::string& a, const std::string& b) {
    return win::CompareProgramText(a, b) < 0;
  };
  hooks.pathExists = [](const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  hooks.createFolder = [](const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); };
  return hooks;
}

}  // namespace kelv
