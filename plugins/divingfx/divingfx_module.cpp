#include "divingfx/divingfx_module.hpp"

#include "divingfx/diving.hpp"
#include "fxcommon/fx_entries.hpp"

namespace kelv::divingfx {
namespace {

// The one group has eight effects, more than the skeleton's four name slots per group:
// the descriptor is pointed at these full tables after the skeleton has filled it.
constexpr const char* kNames[kEffectCount] = {
    "Square out",        "Square in",        "Circle out", "Circle in",
    "Random Circle out", "Random Circle in", "Spiral out", "Spiral in"};
constexpr uint8_t kFlags[kEffectCount] = {0, 0, 0, 0, 0, 0, 0, 0};
constexpr const char* const* kNameRows[1] = {kNames};
constexpr const uint8_t* kFlagRows[1] = {kFlags};

constexpr fx::GroupDefinition kGroups[1] = {
    {"Diving", kEffectCount, {kNames[0], kNames[1], kNames[2], kNames[3]}, {0, 0, 0, 0}},
};

constexpr fx::ModuleDefinition kDefinition = {
    0x01000001u,
    "Diving Effects",
    "Diving Effects plugin ver 1.0.0.1\r\nCopyright (c) Tarnwick\r\nKelvora transition effects",
    1,
    kGroups,
    1,
};

// Effect index: shape = index div 2 (square, circle, random circle, spiral), direction =
// index mod 2 (0 out, 1 in). The module has no pre-step or prepare commands.
void RunGroup(fx::EffectRun& run, int32_t group, int32_t command) {
  if (group != 0 || command < 0 || command >= kEffectCount) return;
  const bool inward = (command & 1) != 0;
  switch (command / 2) {
    case 0: return RunSquare(run, inward);
    case 1: return RunCircle(run, inward);
    case 2: return RunRandomCircle(run, inward);
    default: return RunSpiral(run, inward);
  }
}

constexpr auto kEntries = fx::MakeGroupEntries<&Module>(std::make_index_sequence<1>{});

fx::EffectModule& State() {
  static fx::Immortal<fx::EffectModule> state{kDefinition, kEntries.data(), &RunGroup};
  return state.Get();
}

}  // namespace

const char* const kAboutText =
    "This is Diving transition effects plugin.\r\n"
    "This plugin include 8 effects\r\n"
    "\r\n"
    "Copyright (c) Tarnwick";

fx::EffectModule& Module() { return State(); }

TEffectModule* OpenModule(uint32_t seed, KelvAboutProc about) noexcept {
  TEffectModule* d = Module().Open(seed, about, &fx::SetupEntry<&Module>);
  d->effectNames = kNameRows;
  d->effectFlags = kFlagRows;
  return d;
}

}  // namespace kelv::divingfx
