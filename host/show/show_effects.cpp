#include "show/show_effects.hpp"

#include "common/random.hpp"
#include "crash/report_text.hpp"
#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"

namespace kelv {

EffectTableState& TheEffectTable() {
  static EffectTableState table;
  return table;
}

void BuildEffectTable(const std::vector<EffectModule>& modules, EffectTableState& table) {
  table.allInPlace = true;
  table.entries.clear();
  for (size_t m = 0; m < modules.size(); ++m) {
    const EffectModule& module = modules[m];
    if (!module.state.enabled) continue;
    const TEffectModule& d = module.descriptor;
    for (int32_t g = 0; g < d.groupCount && g < static_cast<int32_t>(module.state.groups.size()); ++g) {
      const EffectGroupState& group = module.state.groups[g];
      if (!group.enabled) continue;
      const int32_t effects = d.effectCounts ? d.effectCounts[g] : 0;
      for (int32_t e = 0; e < effects && e < static_cast<int32_t>(group.effects.size()); ++e) {
        if (!group.effects[e]) continue;
        const EffectEntry entry{static_cast<uint8_t>(m), static_cast<uint8_t>(g), static_cast<uint8_t>(e)};
        table.entries.push_back(entry);
        if (!(EffectFlagsOf(modules, entry) & KELV_FX_KEEPS_PICTURE)) table.allInPlace = false;
      }
    }
  }
}

uint8_t EffectFlagsOf(const std::vector<EffectModule>& modules, const EffectEntry& entry) {
  if (entry.module >= modules.size()) return 0;
  const TEffectModule& d = modules[entry.module].descriptor;
  if (entry.group >= d.groupCount || !d.effectFlags || !d.effectCounts) return 0;
  if (entry.effect >= d.effectCounts[entry.group] || !d.effectFlags[entry.group]) return 0;
  return d.effectFlags[entry.group][entry.effect];
}

int32_t PickEffect(int32_t count, double r) {
  return static_cast<int32_t>(Round((count - 0.01) * r + 0.505)) - 1;
}

int32_t PickEffect(int32_t count) { return PickEffect(count, RandomReal()); }

namespace {

uint8_t FlagsAt(const std::vector<EffectModule>& modules, const EffectTableState& table, int32_t index) {
  if (index < 0 || index >= table.Count()) return 0;
  return EffectFlagsOf(modules, table.entries[index]);
}

// Draws NextEffect until it is no repeat of an in-place CurEffect. With only one effect
// that keeps the picture among others that do not, the loop ends as soon as another one
// comes up; a table of a single in-place effect is all in place and never loops.
void DrawNext(const std::vector<EffectModule>& modules, EffectTableState& table) {
  const int32_t count = table.Count();
  table.nextEffect = PickEffect(count);
  while (!table.allInPlace && (FlagsAt(modules, table, table.curEffect) & KELV_FX_KEEPS_PICTURE) &&
         table.nextEffect == table.curEffect)
    table.nextEffect = PickEffect(count);
}

}  // namespace

void ChooseFirstPair(const std::vector<EffectModule>& modules, EffectTableState& table) {
  const int32_t count = table.Count();
  if (count == 0) return;
  table.curEffect = PickEffect(count);
  if (count >= 2) {
    // A table where every effect has a pre-step would never end the loop.
    bool anyWithout = false;
    for (int32_t i = 0; i < count && !anyWithout; ++i)
      anyWithout = !(FlagsAt(modules, table, i) & KELV_FX_PRE_STEP);
    while (anyWithout && (FlagsAt(modules, table, table.curEffect) & KELV_FX_PRE_STEP))
      table.curEffect = PickEffect(count);
  }
  DrawNext(modules, table);
}

void AdvanceEffects(const std::vector<EffectModule>& modules, EffectTableState& table) {
  if (table.Count() == 0) return;
  table.curEffect = table.nextEffect;
  DrawNext(modules, table);
}

std::string PreStepFailureText(const std::string& moduleName, uint32_t version, int32_t group, int32_t effect) {
  return moduleName + " " + VersionWordText(version) + " - " + std::to_string(group) + "." + std::to_string(effect);
}

std::string RunFailureText(const std::string& moduleName, uint32_t version, int32_t group, int32_t effect,
                           const void* entry, const void* nextBits, const void* target) {
  return "Plugin: " + moduleName + " " + VersionWordText(version) + " - " + std::to_string(group) + "," +
         std::to_string(effect) + ": f=" + AddressHex(reinterpret_cast<uintptr_t>(entry)) +
         " s=" + AddressHex(reinterpret_cast<uintptr_t>(nextBits)) + " d=" + AddressHex(reinterpret_cast<uintptr_t>(target));
}

}  // namespace kelv
