#include "ui/effect_tree_rules.hpp"

#include <string>

namespace kelv::ui {

namespace {

bool EffectOn(const EffectGroupState& group, int32_t effect) {
  return effect >= 0 && static_cast<size_t>(effect) < group.effects.size() &&
         group.effects[static_cast<size_t>(effect)];
}

void SetEffect(EffectGroupState& group, int32_t effect, bool on) {
  if (effect < 0) return;
  if (static_cast<size_t>(effect) >= group.effects.size()) group.effects.resize(static_cast<size_t>(effect) + 1, true);
  group.effects[static_cast<size_t>(effect)] = on;
}

}  // namespace

uint32_t EffectNodeData(int32_t module, int32_t group, int32_t effect) {
  return (static_cast<uint32_t>(module + 1) & 0xFF) << 16 | (static_cast<uint32_t>(group + 1) & 0xFF) << 8 |
         (static_cast<uint32_t>(effect + 1) & 0xFF);
}

std::optional<EffectNode> DecodeEffectNode(uint32_t data) {
  const int32_t module = static_cast<int32_t>(data >> 16 & 0xFF) - 1;
  const int32_t group = static_cast<int32_t>(data >> 8 & 0xFF) - 1;
  if (module < 0 || group < 0) return std::nullopt;
  return EffectNode{module, group, static_cast<int32_t>(data & 0xFF) - 1};
}

std::string GroupNodeText(const char* name, int32_t effectCount) {
  std::string text = name ? name : "";
  if (effectCount > 1) text += "  (" + std::to_string(effectCount) + ")";
  return text;
}

int GroupStateOverEffects(const EffectGroupState& group, int32_t effectCount) {
  int32_t on = 0;
  for (int32_t e = 0; e < effectCount; ++e) on += group.enabled && EffectOn(group, e) ? 1 : 0;
  if (on == 0) return kNodeUnchecked;
  return on == effectCount ? kNodeChecked : kNodePartly;
}

int GroupFillState(const EffectGroupState& group, int32_t effectCount) {
  if (effectCount > 1) return GroupStateOverEffects(group, effectCount);
  return group.enabled ? kNodeChecked : kNodeUnchecked;
}

EffectCheck ApplyEffectCheck(EffectModuleState& module, int32_t moduleIndex, const EffectNode& node, bool checked,
                             int32_t effectCount) {
  EffectCheck result;
  if (node.group < 0 || static_cast<size_t>(node.group) >= module.groups.size()) return result;
  EffectGroupState& group = module.groups[static_cast<size_t>(node.group)];
  auto entry = [&](int32_t effect) {
    return EffectEntry{static_cast<uint8_t>(moduleIndex), static_cast<uint8_t>(node.group),
                       static_cast<uint8_t>(effect)};
  };
  if (node.IsGroup()) {
    if (effectCount > 1 && group.enabled != checked) {
      for (int32_t e = 0; e < effectCount; ++e) SetEffect(group, e, checked);
      result.childrenSet = true;
    }
    // A group of one effect has no node for the effect: checking the group enables it.
    if (effectCount == 1) SetEffect(group, 0, checked);
    group.enabled = checked;
    for (int32_t e = 0; e < effectCount; ++e) result.table.push_back(entry(e));
    result.groupState = checked ? kNodeChecked : kNodeUnchecked;
    if (effectCount > 1 && !result.childrenSet) result.groupState = GroupStateOverEffects(group, effectCount);
    return result;
  }
  SetEffect(group, node.effect, checked);
  // The group's state over its effects' own flags decides the group's flag.
  EffectGroupState probe = group;
  probe.enabled = true;
  result.groupState = GroupStateOverEffects(probe, effectCount);
  group.enabled = result.groupState != kNodeUnchecked;
  result.table.push_back(entry(node.effect));
  return result;
}

void SetAllEffectStates(const std::vector<EffectModuleState*>& modules, bool enabled) {
  for (EffectModuleState* module : modules) {
    if (!module || !module->enabled) continue;
    for (EffectGroupState& group : module->groups) {
      group.enabled = enabled;
      for (size_t e = 0; e < group.effects.size(); ++e) group.effects[e] = enabled;
    }
  }
}

}  // namespace kelv::ui
