#include <algorithm>
#include <cstring>

#include "settings/settings_store.hpp"

namespace kelv {

namespace {

std::string Decimal(int64_t value) { return std::to_string(value); }
std::string Flag(bool value) { return value ? "1" : "0"; }

void WriteSettingsTable(RegistryKey& key, const Settings& s) {
  key.SetString("Delay", Decimal(s.Delay));
  key.SetString("Convert", Decimal(s.Convert));
  key.SetString("Enlarge", Flag(s.Enlarge));
  key.SetString("crop", Flag(s.crop));
  key.SetString("Background", Flag(s.Background));
  key.SetString("Resize", Decimal(s.Resize));
  // Summed in 64 bits: an odd Order near the int32 limit must not overflow.
  key.SetString("Order", Decimal(int64_t{s.Order} + 8 * int64_t{s.StartFromRandom} +
                                 16 * int64_t{s.StartFromPrevious}));
  key.SetString("DDraw", Flag(s.DDraw));
  key.SetString("StopKey", Decimal(s.StopKey));
  key.SetString("ArrowKeys", Flag(s.ArrowKeys));
  key.SetString("Wallpaper", Flag(s.Wallpaper));
  key.SetString("MouseMove", Flag(s.MouseMove));
  key.SetString("ignoreexif", Flag(s.ignoreexif));
  key.SetString("Screens", Decimal(s.Screens));

  size_t count = static_cast<size_t>(std::clamp<int32_t>(s.RandomScreensCount, 0, 5));
  key.SetBinary("RandomScreens", std::vector<uint8_t>(s.RandomScreens.begin(), s.RandomScreens.begin() + count));
  key.SetString("Random1often", Flag(s.Random1often));
  std::vector<uint8_t> font(sizeof(LogFontA));
  std::memcpy(font.data(), &s.Font, sizeof(LogFontA));
  key.SetBinary("Font", font);
  key.SetBinary("FontColor", {static_cast<uint8_t>(s.FontColor), static_cast<uint8_t>(s.FontColor >> 8),
                              static_cast<uint8_t>(s.FontColor >> 16), static_cast<uint8_t>(s.FontColor >> 24)});

  key.SetString("TextFileName", Decimal(int{s.ShowFileName} | int{s.IncludePath} << 1 |
                                        int{s.IncludeExtension} << 2 | int{s.IncludeFolder} << 3));
  key.SetString("TextDate", Flag(s.TextDate));
  key.SetString("TextPos", Decimal(s.TextPos));
  key.SetString("Textbg", Flag(s.Textbg));
  key.SetString("filterres", Flag(s.filterres));
  key.SetString("filterx", Decimal(s.filterx));
  key.SetString("filtery", Decimal(s.filtery));
  // "Monitors" is written once it is on or stored already: a registry that never had it
  // keeps exactly the values it had.
  if (s.Monitors || key.Query("Monitors")) key.SetString("Monitors", Flag(s.Monitors));
  if (s.Motion || key.Query("Motion")) key.SetString("Motion", Flag(s.Motion));
  // "pmon", "rtresize", "TextOverlay" and "RandomPos" have no control in the dialog and
  // are never written: whatever the registry holds stays.
}

std::string FolderOf(const std::string& file) {
  size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

}  // namespace

void SaveSettingsTo(RegistryStore& registry, const Settings& s, const SettingsHooks& hooks) {
  // The writes are not checked: a value that cannot be written keeps its old content.
  if (std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kProductKey, KeyAccess::Create))
    WriteSettingsTable(*key, s);

  if (hooks.effectModules) {
    if (std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kPluginsKey, KeyAccess::Create)) {
      for (const EffectModuleState* module : hooks.effectModules()) {
        if (!module || module->fileName.empty()) continue;
        key->SetBinary(module->fileName, EncodeEffectEnable(*module));
      }
    }
  }

  // A first save creates the cache file's own folder; its parent must exist already.
  if (hooks.pathExists && hooks.createFolder && !hooks.pathExists(s.CacheFile)) {
    std::string folder = FolderOf(s.CacheFile);
    if (!folder.empty() && !hooks.pathExists(folder)) hooks.createFolder(folder);
  }
  if (hooks.saveCatalogue) hooks.saveCatalogue(s);
}

void SaveSettings(const SettingsHooks& hooks) { SaveSettingsTo(SystemRegistry(), TheSettings(), hooks); }

}  // namespace kelv
