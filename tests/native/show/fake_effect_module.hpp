// An effect module's description with static tables, as an effect module keeps them:
// group sizes and one flag byte per effect, everything enabled unless said otherwise.
#pragma once

#include <cstdint>
#include <vector>

#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"

namespace kelv {

struct FakeModule {
  std::vector<uint8_t> counts;
  std::vector<std::vector<uint8_t>> flags;
  std::vector<const uint8_t*> flagRows;

  EffectModule Make(bool enabled = true) {
    EffectModule m;
    for (auto& row : flags) flagRows.push_back(row.data());
    m.descriptor.interfaceVersion = KELV_EFFECTMODULE_VERSION;
    m.descriptor.groupCount = static_cast<int32_t>(counts.size());
    m.descriptor.effectCounts = counts.data();
    m.descriptor.effectFlags = flagRows.data();
    m.state.enabled = enabled;
    for (uint8_t c : counts) m.state.groups.push_back(EffectGroupState{true, std::vector<bool>(c, true)});
    return m;
  }
};

}  // namespace kelv
