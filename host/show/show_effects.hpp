// The show's choice of transition effects: the table of enabled effects over all loaded
// effect modules, the random pick and the rules that keep in-place effects from running
// twice in a row and keep the first change free of a pre-step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

struct EffectModule;

struct EffectEntry {
  uint8_t module = 0;  // position of the module in load order
  uint8_t group = 0;
  uint8_t effect = 0;  // index within the group
};

// Shared by the show thread and the settings dialog's effect preview, which fills the
// table itself and then draws CurEffect and NextEffect afresh.
struct EffectTableState {
  std::vector<EffectEntry> entries;
  bool allInPlace = true;  // every entry keeps the picture (true for an empty table)
  int32_t curEffect = 0;   // the effect of the coming change
  int32_t nextEffect = 0;  // the one after it
  int32_t Count() const { return static_cast<int32_t>(entries.size()); }
};

EffectTableState& TheEffectTable();

// Every enabled effect of every enabled group of every enabled module, in load order.
void BuildEffectTable(const std::vector<EffectModule>& modules, EffectTableState& table);

// The flag byte of an entry (0 when the module does not describe it).
uint8_t EffectFlagsOf(const std::vector<EffectModule>& modules, const EffectEntry& entry);

// Round((count - 0.01) * r + 0.505) - 1 for r in [0, 1): 0 .. count - 1.
int32_t PickEffect(int32_t count, double r);
// The same with the program's random numbers.
int32_t PickEffect(int32_t count);

// The first choice of a run: CurEffect never needs a pre-step when there are two or more
// effects; NextEffect is no repeat of an in-place CurEffect unless all are in place.
void ChooseFirstPair(const std::vector<EffectModule>& modules, EffectTableState& table);
// After a change: CurEffect := NextEffect and a fresh NextEffect, again no repeat of an
// in-place CurEffect unless all are in place.
void AdvanceEffects(const std::vector<EffectModule>& modules, EffectTableState& table);

// Context texts of an effect failure: the pre-step (the report puts "Plugin: " in front)
// and the run itself (complete). Addresses are as wide as a pointer, like every address
// of the report.
std::string PreStepFailureText(const std::string& moduleName, uint32_t version, int32_t group, int32_t effect);
std::string RunFailureText(const std::string& moduleName, uint32_t version, int32_t group, int32_t effect,
                           const void* entry, const void* nextBits, const void* target);

}  // namespace kelv
