#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/random.hpp"
#include "settings/settings_store.hpp"

namespace kelv {

namespace {

bool AsciiLessIgnoreCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// A REG_BINARY value of 1 to `capacity` bytes, or nothing. Values of another type or
// longer than the field they fill are treated as missing, so that a damaged value costs
// that one setting its stored content and nothing more.
std::optional<std::vector<uint8_t>> ReadBinaryField(const RegistryKey& key, const std::string& name,
                                                    size_t capacity) {
  std::optional<RegValue> value = key.Query(name);
  if (!value || value->type != RegType::Binary) return std::nullopt;
  if (value->data.empty() || value->data.size() > capacity) return std::nullopt;
  return std::move(value->data);
}

// "Path" from the product key of one hive: empty when the key, the value or its text is
// missing, or the value is not a string.
std::string ReadPath(RegistryStore& registry, Hive hive) {
  std::unique_ptr<RegistryKey> key = registry.Open(hive, kProductKey, KeyAccess::Read);
  if (!key) return {};
  return ReadStringValue(*key, "Path").value_or(std::string());
}

void ReadFolderRoots(RegistryStore& registry, Settings& s, const SettingsHooks& hooks) {
  std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kFoldersKey, KeyAccess::Read);
  if (!key) return;
  std::vector<std::string> names = key->ValueNames();
  auto less = hooks.textLess ? hooks.textLess : AsciiLessIgnoreCase;
  std::stable_sort(names.begin(), names.end(), less);
  for (const std::string& name : names) {
    // Only strings name folders; anything else under the key is not one of ours.
    if (std::optional<std::string> path = ReadStringValue(*key, name)) s.FolderRoots.push_back(*path);
  }
}

void ReadSettingsTable(const RegistryKey& key, Settings& s) {
  auto flag = [&](const char* name, bool def) { return ReadIntSetting(key, name, def ? 1 : 0) != 0; };

  s.Delay = ReadIntSetting(key, "Delay", 5000);
  s.Convert = ReadIntSetting(key, "Convert", 5000);
  s.Enlarge = flag("Enlarge", false);
  s.crop = flag("crop", false);
  s.Background = ReadIntSetting(key, "Background", 0) == 1;  // other values: black bars
  s.Resize = static_cast<uint8_t>(ReadIntSetting(key, "Resize", 1));
  int32_t order = ReadIntSetting(key, "Order", 17);
  s.StartFromRandom = (order & 8) != 0;
  s.StartFromPrevious = (order & 16) != 0;
  s.Order = order % 8;  // the remainder keeps the sign of the stored value
  s.DDraw = flag("DDraw", true);
  s.StopKey = ReadIntSetting(key, "StopKey", 1);
  s.pmon = flag("pmon", true);
  s.ArrowKeys = flag("ArrowKeys", true);
  s.Wallpaper = flag("Wallpaper", false);
  s.MouseMove = flag("MouseMove", true);
  s.rtresize = flag("rtresize", true);
  s.ignoreexif = flag("ignoreexif", false);
  s.Screens = ReadIntSetting(key, "Screens", 0);

  s.RandomScreensCount = 0;
  if (auto bytes = ReadBinaryField(key, "RandomScreens", s.RandomScreens.size())) {
    std::copy(bytes->begin(), bytes->end(), s.RandomScreens.begin());
    s.RandomScreensCount = static_cast<int32_t>(bytes->size());
  }
  s.Random1often = flag("Random1often", true);
  // A short font or colour overwrites only the leading bytes of the default.
  s.Font = Settings::DefaultCaptionFont();
  if (auto bytes = ReadBinaryField(key, "Font", sizeof(LogFontA)))
    std::memcpy(&s.Font, bytes->data(), bytes->size());
  s.FontColor = 0x0000FF00;
  if (auto bytes = ReadBinaryField(key, "FontColor", 4)) {
    uint8_t color[4] = {0x00, 0xFF, 0x00, 0x00};
    std::copy(bytes->begin(), bytes->end(), color);
    s.FontColor = color[0] | (color[1] << 8) | (color[2] << 16) | (uint32_t{color[3]} << 24);
  }

  s.ShowFileName = (ReadIntSetting(key, "TextFileName", 0) & 1) != 0;
  s.IncludePath = (ReadIntSetting(key, "TextFileName", 0) & 2) != 0;
  s.IncludeExtension = (ReadIntSetting(key, "TextFileName", 0) & 4) != 0;
  s.IncludeFolder = (ReadIntSetting(key, "TextFileName", 0) & 8) != 0;
  s.TextDate = flag("TextDate", false);
  s.TextPos = ReadIntSetting(key, "TextPos", 3);
  s.Textbg = flag("Textbg", false);
  s.TextOverlay = flag("TextOverlay", true);
  s.RandomPos = flag("RandomPos", false);
  s.filterres = ReadIntSetting(key, "filterres", 0) == 1;  // only 1 is on; a stored 2 is off
  s.filterx = ReadIntSetting(key, "filterx", 100);
  s.filtery = ReadIntSetting(key, "filtery", 100);
  s.Monitors = ReadIntSetting(key, "Monitors", 0) == 1;  // only 1 is on
  s.Motion = ReadIntSetting(key, "Motion", 0) == 1;      // only 1 is on
}

void ApplyStoredEffectBits(RegistryStore& registry, const SettingsHooks& hooks) {
  if (!hooks.effectModules) return;
  std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kPluginsKey, KeyAccess::Read);
  if (!key) return;
  for (EffectModuleState* module : hooks.effectModules()) {
    if (!module || module->fileName.empty()) continue;
    std::optional<RegValue> value = key->Query(module->fileName);
    // A missing, empty or non-binary value leaves the state as the module reported it.
    if (!value || value->type != RegType::Binary || value->data.empty()) continue;
    ApplyEffectEnable(*module, value->data);
  }
}

}  // namespace

void LoadSettingsFrom(RegistryStore& registry, Settings& s, const SettingsHooks& hooks) {
  SeedRandom(hooks.tickCount ? hooks.tickCount() : 0);
  s = Settings{};
  s.NoticeFont = Settings::NoticeFontFor(hooks.screenWidth ? hooks.screenWidth() : 0);
  if (hooks.createCatalogue) hooks.createCatalogue();

  // The installation folder: the user's hive first, the machine's when it has none.
  std::string path = ReadPath(registry, Hive::CurrentUser);
  s.InstallInUserHive = !path.empty();
  if (path.empty()) path = ReadPath(registry, Hive::LocalMachine);
  s.InstallFolder = path;
  s.PluginFolder = path;
  if (path.empty() && hooks.showMessage) hooks.showMessage(kCorruptedRegistryMessage);

  ReadFolderRoots(registry, s, hooks);

  if (std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kProductKey, KeyAccess::Create)) {
    ReadSettingsTable(*key, s);
  } else {
    // No product key at all: the table's defaults, but no power-off pause and no size
    // filter limits.
    s.pmon = false;
    s.filterx = 0;
    s.filtery = 0;
  }
  if (s.RandomScreensCount == 0) {
    s.RandomScreens = {1, 4, 9, 16, 25};
    s.RandomScreensCount = 5;
  }

  // "Help" lives in the hive where the installer registered "Path".
  s.HelpFile.clear();
  Hive helpHive = s.InstallInUserHive ? Hive::CurrentUser : Hive::LocalMachine;
  if (std::unique_ptr<RegistryKey> key = registry.Open(helpHive, kProductKey, KeyAccess::Read))
    s.HelpFile = ReadStringValue(*key, "Help").value_or(std::string());
  if (s.HelpFile.empty()) s.HelpFile = s.InstallFolder + "\\Help.chm";

  std::string appData;
  if (std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kShellFoldersKey, KeyAccess::Read))
    appData = ReadStringValue(*key, "AppData").value_or(std::string());
  s.CacheFile = appData.empty() ? s.InstallFolder + "\\piclist.dat"
                                : appData + "\\Kelvora\\piclist.dat";

  if (hooks.loadPlugins) hooks.loadPlugins(s);
  ApplyStoredEffectBits(registry, hooks);
  if (hooks.buildExtensionList) hooks.buildExtensionList();
  if (hooks.loadCatalogue) hooks.loadCatalogue(s);
}

void LoadAllSettings(const SettingsHooks& hooks) {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  LoadSettingsFrom(SystemRegistry(), TheSettings(), hooks);
}

}  // namespace kelv
