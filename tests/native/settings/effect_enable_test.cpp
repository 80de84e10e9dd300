#include <gtest/gtest.h>

#include <random>

#include "settings/effect_enable.hpp"

namespace kelv {
namespace {

EffectGroupState Group(bool enabled, std::vector<bool> effects) { return {enabled, std::move(effects)}; }

EffectModuleState Sample() {
  EffectModuleState m;
  m.fileName = "basicfx.dll";
  m.enabled = true;
  m.groups = {Group(true, {true, false, true}), Group(false, {true, true}), Group(true, {false, true})};
  return m;
}

TEST(EffectEnable, EncodesLeastSignificantBitFirstWithCountsAndZeroPadding) {
  // 1 | count 3 | 1 0 1 | count 0 | count 2 | 0 1  -> 18 bits in 3 bytes
  EXPECT_EQ(EncodeEffectEnable(Sample()), (std::vector<uint8_t>{0xA7, 0x20, 0x02}));

  EffectModuleState off;
  off.enabled = false;
  EXPECT_EQ(EncodeEffectEnable(off), (std::vector<uint8_t>{0x00}));
}

TEST(EffectEnable, RoundTripsRandomStates) {
  std::mt19937 gen(7);
  for (int trial = 0; trial < 200; ++trial) {
    EffectModuleState m;
    m.enabled = gen() & 1;
    m.groups.resize(gen() % 12);
    for (auto& g : m.groups) {
      g.enabled = gen() & 1;
      g.effects.resize(1 + gen() % 14);
      for (size_t i = 0; i < g.effects.size(); ++i) g.effects[i] = g.enabled && (gen() & 1);
    }
    // Read back onto the opposite state so every bit has to come from the stream.
    EffectModuleState back = m;
    back.enabled = !m.enabled;
    for (auto& g : back.groups) {
      g.enabled = !g.enabled;
      g.effects.flip();
    }
    ApplyEffectEnable(back, EncodeEffectEnable(m));
    ASSERT_EQ(back.enabled, m.enabled);
    for (size_t i = 0; i < m.groups.size(); ++i) {
      ASSERT_EQ(back.groups[i].enabled, m.groups[i].enabled) << trial << "/" << i;
      ASSERT_EQ(back.groups[i].effects, m.groups[i].effects) << trial << "/" << i;
    }
  }
}

TEST(EffectEnable, ZeroCountDisablesGroupAndAllItsEffects) {
  EffectModuleState m = Sample();
  m.groups[0] = Group(true, {true, true, true});
  // 1 | count 0 | (nothing more)
  ApplyEffectEnable(m, {0x01});
  EXPECT_FALSE(m.groups[0].enabled);
  EXPECT_EQ(m.groups[0].effects, (std::vector<bool>{false, false, false}));
}

TEST(EffectEnable, GroupsBeyondTheDataKeepTheirState) {
  EffectModuleState m;
  m.enabled = true;
  m.groups = {Group(true, {true, true, true}), Group(true, {true, true}), Group(false, {false})};
  // 0 | count 3 | 0 1 0 : 8 bits, then the data ends: groups 2 and 3 are not touched.
  ApplyEffectEnable(m, {0b01000110});
  EXPECT_FALSE(m.enabled);
  EXPECT_EQ(m.groups[0].effects, (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(m.groups[1].enabled);
  EXPECT_EQ(m.groups[1].effects, (std::vector<bool>{true, true}));
  EXPECT_FALSE(m.groups[2].enabled);

  // A stream ending inside a group's effect bits sets the effects it reaches.
  EffectModuleState cut;
  cut.groups = {Group(false, std::vector<bool>(5, false))};
  // 1 | count 5 | 1 1 1 : the last two effects are beyond the data.
  ApplyEffectEnable(cut, {0b11101011});
  EXPECT_TRUE(cut.groups[0].enabled);
  EXPECT_EQ(cut.groups[0].effects, (std::vector<bool>{true, true, true, false, false}));

  EffectModuleState untouched = Sample();
  ApplyEffectEnable(untouched, {});
  EXPECT_EQ(EncodeEffectEnable(untouched), EncodeEffectEnable(Sample()));
}

TEST(EffectEnable, ModulesWhoseGroupsChangedSizeStayAligned) {
  // Stored for groups of 3 and 2 effects; the module now has 1 and 4.
  EffectModuleState stored = Sample();
  stored.groups[1] = Group(true, {false, true});
  std::vector<uint8_t> data = EncodeEffectEnable(stored);

  EffectModuleState now;
  now.groups = {Group(true, {false}), Group(true, {true, true, true, true}), Group(false, {true, true})};
  ApplyEffectEnable(now, data);
  EXPECT_EQ(now.groups[0].effects, (std::vector<bool>{true}));
  // Only the first two effects of group 2 were stored; the other two stay as they were.
  EXPECT_EQ(now.groups[1].effects, (std::vector<bool>{false, true, true, true}));
  EXPECT_TRUE(now.groups[2].enabled);
  EXPECT_EQ(now.groups[2].effects, (std::vector<bool>{false, true}));
}

TEST(EffectEnable, GroupsOfMoreThanFourteenEffectsStoreTheFirstFourteen) {
  EffectModuleState m;
  m.groups = {Group(true, std::vector<bool>(16, true)), Group(true, {false, true})};
  m.groups[0].effects[13] = false;
  std::vector<uint8_t> data = EncodeEffectEnable(m);
  EXPECT_EQ(data.size(), 4u);  // 1 + 4 + 14 + 4 + 2 = 25 bits

  EffectModuleState back;
  back.groups = {Group(false, std::vector<bool>(16, false)), Group(false, {true, false})};
  ApplyEffectEnable(back, data);
  std::vector<bool> expected(16, true);
  expected[13] = false;
  expected[14] = expected[15] = false;  // beyond the stored fourteen: unchanged
  EXPECT_EQ(back.groups[0].effects, expected);
  EXPECT_EQ(back.groups[1].effects, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace kelv
