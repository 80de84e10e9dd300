// The choice of effects: the table over modules, groups and effects with their enable
// flags, the rounding of the random pick, and the rules for pre-steps and in-place effects.
#include <gtest/gtest.h>

#include <map>

#include "common/random.hpp"
#include "kelv_effectmodule.h"
#include "plugins/plugin_host.hpp"
#include "show/fake_effect_module.hpp"
#include "show/show_effects.hpp"

namespace kelv {
namespace {

TEST(ShowChoice, PickRoundsOverTheWholeRange) {
  EXPECT_EQ(PickEffect(1, 0.0), 0);
  EXPECT_EQ(PickEffect(1, 0.999999), 0);
  EXPECT_EQ(PickEffect(29, 0.0), 0);
  EXPECT_EQ(PickEffect(29, 0.9999999), 28);
  // (3 - 0.01) * r + 0.505 = 1.5 exactly rounds to even (2): index 1.
  EXPECT_EQ(PickEffect(3, (1.5 - 0.505) / 2.99), 1);
  // Every index comes up, none outside the table.
  SeedRandom(12345);
  std::map<int32_t, int> seen;
  for (int i = 0; i < 20000; ++i) seen[PickEffect(5)]++;
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen.begin()->first, 0);
  EXPECT_EQ(seen.rbegin()->first, 4);
  for (auto& [index, n] : seen) EXPECT_GT(n, 2000) << index;
}

TEST(ShowChoice, TableFollowsTheEnableFlagsInLoadOrder) {
  FakeModule a{{2, 3}, {{0, 0}, {1, 0, 4}}};
  FakeModule b{{1}, {{1}}};
  std::vector<EffectModule> modules{a.Make(), b.Make()};
  modules[0].state.groups[1].effects[1] = false;
  EffectTableState table;
  BuildEffectTable(modules, table);
  ASSERT_EQ(table.Count(), 5);
  EXPECT_EQ(table.entries[2].group, 1);
  EXPECT_EQ(table.entries[2].effect, 0);
  EXPECT_EQ(table.entries[3].group, 1);
  EXPECT_EQ(table.entries[3].effect, 2);
  EXPECT_FALSE(table.allInPlace);
  EXPECT_EQ(EffectFlagsOf(modules, table.entries[3]), 4);
  EXPECT_EQ(table.entries[4].module, 1);

  modules[1].state.enabled = false;
  modules[0].state.groups[0].enabled = false;
  modules[0].state.groups[1].effects = {true, false, false};
  BuildEffectTable(modules, table);
  ASSERT_EQ(table.Count(), 1);
  EXPECT_TRUE(table.allInPlace);  // only effect 1.0, which keeps the picture

}

TEST(ShowChoice, EmptyTableIsAllInPlace) {
  std::vector<EffectModule> modules;
  EffectTableState table;
  table.allInPlace = false;
  BuildEffectTable(modules, table);
  EXPECT_EQ(table.Count(), 0);
  EXPECT_TRUE(table.allInPlace);
}

TEST(ShowChoice, FirstEffectNeedsNoPreStepAndInPlaceNeverRepeats) {
  // Effect 0 has a pre-step, effect 1 keeps the picture, effect 2 is plain.
  FakeModule a{{3}, {{KELV_FX_PRE_STEP, KELV_FX_KEEPS_PICTURE, 0}}};
  std::vector<EffectModule> modules{a.Make()};
  EffectTableState table;
  BuildEffectTable(modules, table);
  SeedRandom(7);
  for (int i = 0; i < 500; ++i) {
    ChooseFirstPair(modules, table);
    EXPECT_NE(table.curEffect, 0);
    if (table.curEffect == 1) EXPECT_NE(table.nextEffect, 1);
    for (int k = 0; k < 5; ++k) {
      const int32_t before = table.curEffect;
      AdvanceEffects(modules, table);
      if (before == 1 && table.curEffect == 1) ADD_FAILURE() << "in-place effect twice";
      if (table.curEffect == 1) EXPECT_NE(table.nextEffect, 1);
    }
  }
}

TEST(ShowChoice, SingleEffectsAreChosenWhateverTheirFlags) {
  // One effect with a pre-step is still chosen first; one in-place effect runs every time.
  for (uint8_t flags : {uint8_t{KELV_FX_PRE_STEP}, uint8_t{KELV_FX_KEEPS_PICTURE | KELV_FX_PRE_STEP}}) {
    FakeModule a{{1}, {{flags}}};
    std::vector<EffectModule> modules{a.Make()};
    EffectTableState table;
    BuildEffectTable(modules, table);
    ChooseFirstPair(modules, table);
    EXPECT_EQ(table.curEffect, 0);
    AdvanceEffects(modules, table);
    EXPECT_EQ(table.curEffect, 0);
    EXPECT_EQ(table.nextEffect, 0);
  }
}

TEST(ShowChoice, TableOfOnlyPreStepEffectsDoesNotHang) {
  FakeModule a{{2}, {{KELV_FX_PRE_STEP, KELV_FX_PRE_STEP}}};
  std::vector<EffectModule> modules{a.Make()};
  EffectTableState table;
  BuildEffectTable(modules, table);
  ChooseFirstPair(modules, table);
  EXPECT_GE(table.curEffect, 0);
  EXPECT_LT(table.curEffect, 2);
}

TEST(ShowChoice, FailureTexts) {
  EXPECT_EQ(PreStepFailureText("Default Effects", 0x01000205, 7, 1), "Default Effects 1.0.2.5 - 7.1");
  const auto* f = reinterpret_cast<const void*>(uintptr_t{0x1A2B});
  const auto* s = reinterpret_cast<const void*>(uintptr_t{0x00FF0000});
  const auto* d = reinterpret_cast<const void*>(uintptr_t{0xDEADBEEF});
  // Addresses take the width of a pointer: 8 digits in a 32-bit build, 16 in a 64-bit one.
  const std::string pad = sizeof(void*) == 8 ? "00000000" : "";
  EXPECT_EQ(RunFailureText("Stamp", 0x0A0B0C0D, 3, 2, f, s, d),
            "Plugin: Stamp 10.11.12.13 - 3,2: f=" + pad + "00001A2B s=" + pad + "00FF0000 d=" + pad + "DEADBEEF");
}

}  // namespace
}  // namespace kelv
