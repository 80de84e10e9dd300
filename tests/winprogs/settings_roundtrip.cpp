// Loads the settings from this machine's registry with two stand-in effect modules, writes
// what it loaded as "name=value" lines to the file named by the first argument and, with
// "save" as the second argument, saves them back. The Wine tests drive it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/exception.hpp"
#include "settings/settings_store.hpp"

namespace {

FILE* out = nullptr;

void Line(const char* name, const std::string& value) {
  std::fprintf(out, "%s=%s\n", name, value.c_str());
  std::fflush(out);
}
void Line(const char* name, long long value) { Line(name, std::to_string(value)); }

std::string Escaped(const std::string& text) {
  std::string s;
  for (char c : text) {
    if (c == '\r') s += "\\r";
    else if (c == '\n') s += "\\n";
    else s += c;
  }
  return s;
}

std::string Bits(const kelv::EffectModuleState& m) {
  std::string s = m.enabled ? "1" : "0";
  for (const auto& g : m.groups) {
    s += g.enabled ? " 1:" : " 0:";
    for (bool e : g.effects) s += e ? '1' : '0';
  }
  return s;
}

void Dump(const kelv::Settings& s, const std::vector<kelv::EffectModuleState>& modules) {
  Line("Delay", s.Delay);
  Line("Convert", s.Convert);
  Line("Enlarge", s.Enlarge);
  Line("crop", s.crop);
  Line("Resize", s.Resize);
  Line("Order", s.Order);
  Line("StartFromRandom", s.StartFromRandom);
  Line("StartFromPrevious", s.StartFromPrevious);
  Line("pmon", s.pmon);
  Line("rtresize", s.rtresize);
  Line("TextOverlay", s.TextOverlay);
  Line("RandomPos", s.RandomPos);
  Line("filterres", s.filterres);
  Line("filterx", s.filterx);
  Line("ShowFileName", s.ShowFileName);
  Line("IncludeExtension", s.IncludeExtension);
  Line("RandomScreensCount", s.RandomScreensCount);
  std::string screens;
  for (int i = 0; i < s.RandomScreensCount && i < 5; ++i) screens += std::to_string(s.RandomScreens[i]) + " ";
  Line("RandomScreens", screens);
  Line("FontHeight", s.Font.height);
  Line("FontWeight", s.Font.weight);
  Line("FontFace", std::string(s.Font.faceName, strnlen(s.Font.faceName, sizeof s.Font.faceName)));
  Line("FontColor", s.FontColor);
  Line("NoticeFontHeight", s.NoticeFont.height);
  Line("InstallFolder", s.InstallFolder);
  Line("PluginFolder", s.PluginFolder);
  Line("InstallInUserHive", s.InstallInUserHive);
  Line("HelpFile", s.HelpFile);
  Line("CacheFile", s.CacheFile);
  std::string roots;
  for (const auto& r : s.FolderRoots) roots += r + ";";
  Line("FolderRoots", roots);
  for (const auto& m : modules) Line(("module " + m.fileName).c_str(), Bits(m));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  out = std::fopen(argv[1], "w");
  if (!out) return 2;
  bool save = argc > 2 && std::strcmp(argv[2], "save") == 0;

  std::vector<kelv::EffectModuleState> modules = {
      {"fakefx.dll", true, {{true, {true, true, true}}, {true, {true, true}}}},
      {"otherfx.dll", true, {{true, {true}}}},
  };
  kelv::SettingsHooks hooks = kelv::PlatformSettingsHooks();
  auto platformMessage = hooks.showMessage;
  hooks.showMessage = [&](const std::string& text) {
    Line("message", Escaped(text));
    platformMessage(text);
  };
  hooks.effectModules = [&] {
    std::vector<kelv::EffectModuleState*> list;
    for (auto& m : modules) list.push_back(&m);
    return list;
  };
  hooks.saveCatalogue = [&](const kelv::Settings& s) { Line("saveCatalogue", s.CacheFile); };
  try {
    kelv::LoadAllSettings(hooks);
    Dump(kelv::TheSettings(), modules);
    if (save) {
      kelv::SaveSettings(hooks);
      const std::string& cache = kelv::TheSettings().CacheFile;
      std::string folder = cache.substr(0, cache.find_last_of('\\'));
      Line("cacheFolderExists", GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES);
    }
  } catch (const kelv::Exception& e) {
    Line("exception", e.message());
    std::fclose(out);
    return 3;
  }
  Line("done", 1);
  std::fclose(out);
  return 0;
}
