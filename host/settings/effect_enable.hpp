// The enable state of one effect module as the settings keep it: the module's flag, and
// per group a flag and one flag per effect. The plug-in host holds one of these for each
// loaded effect module; the settings store reads and writes it as the module's value
// under "...\Kelvora\Plugins".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

struct EffectGroupState {
  bool enabled = true;
  std::vector<bool> effects;  // one per effect of the group
};

struct EffectModuleState {
  std::string fileName;  // the module's file name without path, extension included
  bool enabled = true;
  std::vector<EffectGroupState> groups;  // in the module's group order
};

}  // namespace kelv

namespace kelv {

// A module's value under "...\Kelvora\Plugins": a bit stream filled from the least
// significant bit of each byte upwards. It holds the module's flag, then per group either
// a 4-bit effect count followed by one bit per effect (group enabled) or a zero count
// (group disabled). A count holds at most 14 effects.
inline constexpr size_t kMaxStoredEffectsPerGroup = 14;

std::vector<uint8_t> EncodeEffectEnable(const EffectModuleState& module);

// Applies a stored value to the module's current state. A zero count disables the group
// and all its effects; a count n enables the group and sets its first min(n, 14) effects
// (never more than the group has). Reading stops where the data ends: what it does not
// reach keeps its current state.
void ApplyEffectEnable(EffectModuleState& module, const std::vector<uint8_t>& data);

}  // namespace kelv
