#include "app/program_settings.hpp"

#include "catalogue/cache_file.hpp"
#include "catalogue/catalogue_startup.hpp"
#include "catalogue/folder_scan.hpp"
#include "catalogue/pic_list.hpp"
#include "plugins/plugin_host.hpp"

namespace kelv {

SettingsHooks ProgramSettingsHooks() {
  SettingsHooks hooks = PlatformSettingsHooks();
  hooks.createCatalogue = [] { TheCatalogue().Clear(); };
  hooks.loadPlugins = [](const Settings&) { LoadPlugins(); };
  hooks.effectModules = [] { return EffectModuleStates(); };
  hooks.buildExtensionList = [] { TheScanner().Extensions = BuildExtensionList(DeclaredExtensions()); };
  hooks.loadCatalogue = [](const Settings&) { LoadStartupCatalogue(TheSettings(), SystemRegistry()); };
  hooks.saveCatalogue = [](const Settings& settings) { SaveCatalogue(TheCatalogue(), settings.CacheFile); };
  return hooks;
}

void LoadProgramSettings() { LoadAllSettings(ProgramSettingsHooks()); }

}  // namespace kelv
