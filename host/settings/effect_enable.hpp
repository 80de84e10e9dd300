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
