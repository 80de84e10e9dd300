// Moving the settings between the registry and the process-wide record: the load that
// every mode runs once before it needs a setting, and the save of the settings dialog.
//
// The load and the save reach into the plug-in host and the catalogue, and the load needs
// a few platform services; both come in through SettingsHooks so that the program wires
// the real ones and tests hand in fakes. An empty hook is skipped.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/effect_enable.hpp"
#include "settings/registry.hpp"
#include "settings/settings.hpp"

namespace kelv {

struct SettingsHooks {
  // ---- platform services (PlatformSettingsHooks fills these) -----------------------
  // Milliseconds since system start; seeds the random numbers.
  std::function<uint32_t()> tickCount;
  // Width of the primary screen in pixels; chooses the notice font.
  std::function<int()> screenWidth;
  // A message box without owner, caption "Kelvora" and an OK button.
  std::function<void(const std::string& text)> showMessage;
  // The user-locale, case-insensitive "less than" of two strings (sorts value names).
  // Empty: ASCII case-insensitive order.
  std::function<bool(const std::string& a, const std::string& b)> textLess;
  // Whether a file or folder exists, and creating one folder (its parent must exist).
  std::function<bool(const std::string& path)> pathExists;
  std::function<void(const std::string& path)> createFolder;

  // ---- other parts of the program, in the order the load and save call them --------
  // Creates the empty catalogue object (load, before the registry is read).
  std::function<void()> createCatalogue;
  // Loads the plug-ins from settings.PluginFolder.
  std::function<void(const Settings& settings)> loadPlugins;
  // The enable state of every loaded effect module, in load order. The load applies the
  // stored bits to these; the save writes them.
  std::function<std::vector<EffectModuleState*>()> effectModules;
  // Builds the list of picture file extensions from the input modules.
  std::function<void()> buildExtensionList;
  // Loads the catalogue from settings.CacheFile, or from settings.FolderRoots when there
  // is no cache file.
  std::function<void(const Settings& settings)> loadCatalogue;
  // Writes the catalogue cache file settings.CacheFile (its folder exists by then).
  std::function<void(const Settings& settings)> saveCatalogue;
};

// The platform services of this build (Win32, or native stand-ins); the other hooks empty.
SettingsHooks PlatformSettingsHooks();

// The number stored in a REG_SZ setting of `key`:
//  - a missing value, an empty string, a value of another type or text that is not a
//    decimal integer of 32 bits gives `defaultValue`;
//  - a number above 1,000,000,000 gives 1,000,000,000; negative numbers stay as stored.
int32_t ReadIntSetting(const RegistryKey& key, const std::string& name, int32_t defaultValue);

// Decimal text to a 32-bit integer, or nothing when it is not one (see the .cpp).
std::optional<int32_t> ParseDecimalInt32(const std::string& text);

// Fills TheSettings() from SystemRegistry(), loads the plug-ins and the catalogue. Runs
// once per process; later calls do nothing.
void LoadAllSettings(const SettingsHooks& hooks);

// Writes TheSettings(), the effect-module enable bits and the catalogue cache file.
// Registry writes are not checked; odd field values are written as they are.
void SaveSettings(const SettingsHooks& hooks);

// The load and save steps themselves on a given registry and record, every time they are
// called (LoadAllSettings and SaveSettings use these with the process-wide ones).
void LoadSettingsFrom(RegistryStore& registry, Settings& settings, const SettingsHooks& hooks);
void SaveSettingsTo(RegistryStore& registry, const Settings& settings, const SettingsHooks& hooks);

// The text shown when no installation folder is registered.
inline constexpr const char* kCorruptedRegistryMessage = "Corrupted registry.\r\nPlease, Reinstall Kelvora";

}  // namespace kelv
