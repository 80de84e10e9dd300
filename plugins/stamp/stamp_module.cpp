#include "stamp/stamp_module.hpp"

#include <array>

#include "fxcommon/fx_entries.hpp"
#include "stamp/stamp_masks.hpp"
#include "stamp/stamp_run.hpp"

namespace kelv::stamp {
namespace {

// The one group has nine effects, more than the skeleton's four name slots per group:
// the descriptor is pointed at these full tables after the skeleton has filled it.
constexpr const char* kNames[kEffectCount] = {"Square", "Circle",  "Butterfly", "Flag", "Flower",
                                              "Dollar", "UFO",     "Snowflake", "Blot"};
constexpr uint8_t kFlags[kEffectCount] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr const char* const* kNameRows[1] = {kNames};
constexpr const uint8_t* kFlagRows[1] = {kFlags};

constexpr fx::GroupDefinition kGroups[1] = {
    {"Stamp", kEffectCount, {kNames[0], kNames[1], kNames[2], kNames[3]}, {0, 0, 0, 0}},
};

constexpr fx::ModuleDefinition kDefinition = {
    0x01000007u,
    "Stamp Effects",
    "Stamp Effects plugin ver 1.0.0.7\r\nCopyright (c) Tarnwick\r\nKelvora transition effects",
    1,
    kGroups,
    1,
};

void RunGroup(fx::EffectRun& run, int32_t group, int32_t command);

constexpr auto kEntries = fx::MakeGroupEntries<&Module>(std::make_index_sequence<1>{});

struct StampModule {
  fx::EffectModule module{kDefinition, kEntries.data(), &RunGroup};
  // Each instance's mask: made on its first run, kept until the library goes.
  std::array<plugin::HeapBlock, KELV_FX_INSTANCES> masks{};
};

StampModule& State() {
  static fx::Immortal<StampModule> state;
  return state.Get();
}

void RunGroup(fx::EffectRun& run, int32_t group, int32_t command) {
  if (group != 0 || command < 0 || command >= kEffectCount) return;
  plugin::HeapBlock& mask = State().masks[run.InstanceIndex()];
  if (!mask) mask = run.Allocate(kMaskBytes);
  RunStamp(run, mask.As<uint8_t>(), command);
}

}  // namespace

const char* const kAboutText =
    "This is Stamp transition effects plugin.\r\n"
    "This plugin include 9 stamp effects: Square, Circle, Butterfly, Flag, Flower, Dollar, "
    "UFO, Snowflake, Blot\r\n"
    "\r\n"
    "Copyright (c) Tarnwick";

fx::EffectModule& Module() { return State().module; }

TEffectModule* OpenModule(uint32_t seed, KelvAboutProc about) noexcept {
  TEffectModule* d = Module().Open(seed, about, &fx::SetupEntry<&Module>);
  d->effectNames = kNameRows;
  d->effectFlags = kFlagRows;
  return d;
}

const uint8_t* InstanceMask(int32_t instance) noexcept {
  if (instance < 0 || instance >= KELV_FX_INSTANCES) return nullptr;
  return State().masks[instance].As<uint8_t>();
}

}  // namespace kelv::stamp
