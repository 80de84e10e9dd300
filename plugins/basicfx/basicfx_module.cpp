#include "basicfx/basicfx_module.hpp"

#include "basicfx/effects.hpp"
#include "fxcommon/fx_entries.hpp"

namespace kelv::basicfx {
namespace {

constexpr const char* kFiller = "-";

// Name, count and flag tables: ten announced groups and the two rows after them that
// the group count leaves out.
constexpr fx::GroupDefinition kGroups[kTableRows] = {
    {"Radar", 2, {"Single", "Double", kFiller, kFiller}, {0, 0, 0, 0}},
    {"Mosaic", 4, {"Small", "Medium", "Large", "Random"}, {0, 0, 0, 0}},
    {"Wipe", 4, {"Top-Bottom", "Bottom-Top", "Left-Right", "Right-Left"}, {0, 0, 0, 0}},
    {"Lines", 3, {"Horizontal", "Cross", "Random", kFiller}, {0, 0, 0, 0}},
    {"Fade", 2, {"Fade in/out", "Color", kFiller, kFiller}, {KELV_FX_PREPARE, 0, 0, 0}},
    {"Veil", 2, {"Left Right", "Top Bottom", kFiller, kFiller}, {0, 0, 0, 0}},
    {"Interlace", 2, {"Horizontal", "Vertical", kFiller, kFiller}, {0, 0, 0, 0}},
    {"Gray scale", 2, {"Color to Gray", "Gray to Color", kFiller, kFiller},
     {KELV_FX_KEEPS_PICTURE, KELV_FX_KEEPS_PICTURE | KELV_FX_PRE_STEP, 0, 0}},
    {"Chess", 4, {"Vertical", "Vertical (small)", "Horizontal", "Horizontal (small)"},
     {0, 0, 0, 0}},
    {"Rhomb", 4, {"Vertical", "Vertical (small)", "Horizontal", "Horizontal (small)"},
     {0, 0, 0, 0}},
    {"Effect 11", 1, {"General", kFiller, kFiller, kFiller}, {0, 0, 0, 0}},
    {"Effect 12", 1, {"General", kFiller, kFiller, kFiller}, {0, 0, 0, 0}},
};

constexpr fx::ModuleDefinition kDefinition = {
    0x01000205u,
    "Default Effects",
    "Default effects plugin ver 1.0.2.5\r\nCopyright (c) Tarnwick\r\nKelvora transition effects",
    kGroupCount,
    kGroups,
    kTableRows,
};

void RunGroup(fx::EffectRun& run, int32_t group, int32_t command);

constexpr auto kEntries = fx::MakeGroupEntries<&Module>(std::make_index_sequence<kTableRows>{});

struct BasicModule {
  fx::EffectModule module{kDefinition, kEntries.data(), &RunGroup};
  std::array<InstanceStore, KELV_FX_INSTANCES> stores{};
};

BasicModule& State() {
  static fx::Immortal<BasicModule> state;
  return state.Get();
}

void RunCommand(fx::EffectRun& run, int32_t group, int32_t effect) {
  InstanceStore& store = State().stores[run.InstanceIndex()];
  switch (group) {
    case kRadar: return RunRadar(run, effect);
    case kMosaic: return RunMosaic(run, effect);
    case kWipe: return RunWipe(run, effect);
    case kLines: return RunLines(run, effect);
    case kFade: return effect == 0 ? RunFadeInOut(run, store) : RunColorFade(run);
    case kVeil: return RunVeil(run, effect);
    case kInterlace: return RunInterlace(run, effect);
    case kGrayScale: return effect == 0 ? RunColorToGray(run) : RunGrayToColor(run, store);
    case kChess: return RunChess(run, effect);
    case kRhomb: return RunRhomb(run, effect);
    default: return;  // "Effect 11" and "Effect 12" draw nothing
  }
}

void RunGroup(fx::EffectRun& run, int32_t group, int32_t command) {
  const int32_t kind = command & ~0xFFFF;
  const int32_t effect = command & 0xFFFF;
  if (effect >= kGroups[group].effectCount) return;
  InstanceStore& store = State().stores[run.InstanceIndex()];
  if (kind == 0) {
    RunCommand(run, group, effect);
  } else if (kind == KELV_FX_COMMAND_PRE_STEP) {
    if (group == kGrayScale && effect == 1) PreStepGrayToColor(run, store);
  } else if (kind == KELV_FX_COMMAND_PREPARE) {
    if (group == kFade && effect == 0) PrepareFadeInOut(run, store);
  }
}

}  // namespace

const char* const kAboutText =
    "This is default transition effects plugin\r\n"
    "Now available 29 effects in 10 groups of effects\r\n"
    "\r\n"
    "Copyright (c) Tarnwick";

fx::EffectModule& Module() { return State().module; }

TEffectModule* OpenModule(uint32_t seed, KelvAboutProc about) noexcept {
  return Module().Open(seed, about, &fx::SetupEntry<&Module>);
}

}  // namespace kelv::basicfx
