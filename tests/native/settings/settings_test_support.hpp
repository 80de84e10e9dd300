// A memory registry, a record and hooks that note what the load and save asked for.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/registry_memory.hpp"
#include "settings/settings_store.hpp"

namespace kelv::testing {

inline constexpr Hive CU = Hive::CurrentUser;
inline constexpr Hive LM = Hive::LocalMachine;

inline std::string Text(const std::optional<RegValue>& v) {
  if (!v) return "<missing>";
  return std::string(v->data.begin(), v->data.end());
}

class SettingsStoreTest : public ::testing::Test {
protected:
  SettingsStoreTest() {
    hooks.screenWidth = [this] { return screenWidth; };
    hooks.tickCount = [] { return 4321u; };
    hooks.showMessage = [this](const std::string& text) { messages.push_back(text); };
    hooks.effectModules = [this] {
      std::vector<EffectModuleState*> list;
      for (auto& m : modules) list.push_back(&m);
      return list;
    };
  }

  void Load() { LoadSettingsFrom(registry, settings, hooks); }
  void Save() { SaveSettingsTo(registry, settings, hooks); }
  void PutSetting(const std::string& name, const std::string& text) {
    registry.PutString(CU, kProductKey, name, text);
  }
  std::string Stored(const std::string& name) { return Text(registry.Get(CU, kProductKey, name)); }

  MemoryRegistry registry;
  Settings settings;
  SettingsHooks hooks;
  int screenWidth = 1024;
  std::vector<std::string> messages;
  std::vector<EffectModuleState> modules;
};

}  // namespace kelv::testing
