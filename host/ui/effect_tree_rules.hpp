// The effects tree's rules: what its nodes carry, the check state of a group over its
// effects, and what checking a node does to the effect modules' enable state and to the
// table of effects the effect preview runs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "settings/effect_enable.hpp"
#include "show/show_effects.hpp"

namespace kelv::ui {

// State images of the check trees.
enum : int { kNodeUnchecked = 1, kNodeChecked = 2, kNodePartly = 4 };

// A node's data: bits 16-23 module + 1, bits 8-15 group + 1, bits 0-7 effect + 1 (0 for a
// group node).
uint32_t EffectNodeData(int32_t module, int32_t group, int32_t effect = -1);

struct EffectNode {
  int32_t module = 0;
  int32_t group = 0;
  int32_t effect = -1;  // -1: a group node
  bool IsGroup() const { return effect < 0; }
};
// Nothing for data that names no module or group.
std::optional<EffectNode> DecodeEffectNode(uint32_t data);

// The text of a group node: its name, with "  (n)" after it when it has several effects.
std::string GroupNodeText(const char* name, int32_t effectCount);

// A group's state over its effects: all checked 2, none 1, a mix 4. An effect counts as
// checked when its own flag and the group's flag are set.
int GroupStateOverEffects(const EffectGroupState& group, int32_t effectCount);
// The state a group node is filled with: over its children when it has several effects,
// else the group's flag.
int GroupFillState(const EffectGroupState& group, int32_t effectCount);

struct EffectCheck {
  std::vector<EffectEntry> table;  // the effects the preview now runs
  int groupState = kNodeUnchecked;
  bool childrenSet = false;  // a group's children all took the group's state
};

// Checking or unchecking a node. A group node of several effects whose flag changes sets
// every effect to the new state; a group of one effect stands for that effect. An effect
// node sets its flag and the group takes the state over its effects.
EffectCheck ApplyEffectCheck(EffectModuleState& module, int32_t moduleIndex, const EffectNode& node, bool checked,
                             int32_t effectCount);

// Select all / Select none: every group and effect of every enabled module.
void SetAllEffectStates(const std::vector<EffectModuleState*>& modules, bool enabled);

}  // namespace kelv::ui
