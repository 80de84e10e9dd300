// The settings dialog's rules that hold whatever the window system: layout scaling, the
// number edits, settings to controls and back, the small dialogs' OK, and the bookkeeping of
// controls and focus.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/control_registry.hpp"
#include "ui/dialog_values.hpp"
#include "ui/dpi_scale.hpp"
#include "ui/effect_tree_rules.hpp"
#include "ui/folder_slots.hpp"
#include "ui/open_file_filter.hpp"
#include "ui/number_edit.hpp"
#include "ui/small_dialog_rules.hpp"

namespace kelv::ui {
namespace {

TEST(DialogLayout, ScalesToTheNearestPixelWithTiesToEven) {
  struct Case {
    int32_t value, dpi, screen;
  };
  for (const Case& c : std::vector<Case>{
           {90, 120, 112},   // 112.5: the even neighbour
           {20, 120, 25},
           {583, 120, 729},  // 728.75
           {30, 120, 38},    // 37.5: the even neighbour
           {10, 144, 15},
           {7, 96, 7},
           {-3, 120, -4},    // -3.75
           {-2, 120, -2},    // -2.5: the even neighbour
       }) {
    EXPECT_EQ(ScaleToScreenAt(c.value, c.dpi), c.screen) << c.value << " at " << c.dpi;
  }
  EXPECT_EQ(ScaleTo96At(25, 120), 20);
  EXPECT_EQ(ScaleTo96At(30, 120), 24);
  EXPECT_EQ(ScaleTo96At(5, 0), 5);
}

TEST(DialogLayout, AWidenedCaptionStopsBeforeTheWindowBesideItAndTheFrame) {
  const PixelRect box{30, 33, 218, 57};  // "Enlarge to screen size" at 144 dpi, in its group
  struct Case {
    const char* what;
    std::vector<PixelRect> others;
    int32_t parentRight, limit;
  };
  for (const Case& c : std::vector<Case>{
           {"alone: the frame", {}, 385, 385},
           {"the check box beside it", {{240, 33, 368, 57}}, 385, 234},
           {"the nearest of two beside it", {{300, 33, 368, 57}, {240, 40, 290, 60}}, 385, 234},
           {"a combo box below and one above", {{30, 70, 210, 101}, {30, 0, 400, 33}}, 385, 385},
           {"a window left of it", {{0, 33, 29, 57}}, 385, 385},
           {"a window over it takes turns with it", {{100, 30, 300, 60}}, 385, 385},
           {"touching its right edge", {{218, 33, 260, 57}}, 385, 218},
           {"a pixel into it, as edges laid together round", {{217, 33, 260, 57}}, 385, 218},
           {"a frame left of its own right edge", {}, 200, 218},
       }) {
    EXPECT_EQ(CaptionRightLimit(box, c.others, c.parentRight, 6), c.limit) << c.what;
  }
}

TEST(NumberEdits, TypingLeavingAndTheTrackBar) {
  // Typing: "1a2" leaves "12" with the caret after the 2.
  const std::optional<StrippedText> typed = StripNonDigits("1a2", 3);
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->text, "12");
  EXPECT_EQ(typed->caret, 2);
  EXPECT_FALSE(StripNonDigits("120", 1));
  EXPECT_EQ(StripNonDigits("-", 1)->caret, 0);

  // Leaving the edit.
  struct Case {
    const char* text;
    NumberEditLimits limits;
    const char* shown;  // nullptr: the text stays
  };
  for (const Case& c : std::vector<Case>{
           {"abc", kDelayEditLimits, "5"},
           {"", kDelayEditLimits, "5"},
           {"100000", kDelayEditLimits, "86400"},
           {"86400", kDelayEditLimits, nullptr},
           {"99999999999", kDelayEditLimits, "86400"},  // too long for 32 bits: still too large
           {"0", kDelayEditLimits, "0"},
           {"-4", kDelayEditLimits, "0"},
           {"0", kDurationEditLimits, "1"},
           {"2000", kDurationEditLimits, "1000"},
           {"30", kDurationEditLimits, nullptr},
       }) {
    const std::optional<std::string> shown = ValidateNumberText(c.text, c.limits);
    EXPECT_EQ(shown.value_or("(stays)"), c.shown ? c.shown : "(stays)") << '"' << c.text << '"';
  }

  // The trackbar follows the number, capped at 1000; text that is no number leaves it.
  EXPECT_EQ(TrackBarValueFor("7", 3), 7);
  EXPECT_EQ(TrackBarValueFor("86400", 3), 1000);
  EXPECT_EQ(TrackBarValueFor("99999999999", 3), 1000);
  EXPECT_EQ(TrackBarValueFor("", 3), 3);
}

TEST(DialogValues, SettingsToControlsAndBack) {
  Settings s;
  s.Delay = 7500;
  s.Convert = 3000;
  s.Order = 3;  // both low bits: shown as sequential
  s.Screens = 16;
  s.TextPos = 9;
  s.ShowFileName = false;
  s.Background = true;
  DialogValues v = ValuesFromSettings(s);
  EXPECT_EQ(v.delayText, "7");
  EXPECT_EQ(v.durationText, "3");
  EXPECT_EQ(v.order, OrderChoice::Sequential);
  EXPECT_EQ(v.screensItem, 4);
  EXPECT_EQ(v.textPos, TextPosChoice::None);
  EXPECT_FALSE(CaptionControlsEnabled(v));
  EXPECT_TRUE(v.blurredBackground);
  EXPECT_TRUE(BlurredBackgroundEnabled(v));
  v.fillScreen = true;
  EXPECT_FALSE(BlurredBackgroundEnabled(v));  // no bars to fill
  v.fillScreen = false;

  // Read back: Order 3 is saved as 1, a position without a choice stays, the edits' seconds
  // become milliseconds.
  ReadValuesInto(v, s);
  EXPECT_EQ(s.Order, OrderSequential);
  EXPECT_EQ(s.TextPos, 9);
  EXPECT_EQ(s.Delay, 7000);
  EXPECT_EQ(s.Screens, 16);
  EXPECT_TRUE(s.Background);

  v.delayText = "100000";
  v.durationText = "abc";
  v.screensItem = -1;
  v.order = OrderChoice::None;
  v.startFromRandom = true;
  v.startFromPrevious = false;
  v.blurredBackground = false;
  ReadValuesInto(v, s);
  EXPECT_EQ(s.Delay, 86400000);
  EXPECT_EQ(s.Convert, 5000);  // "abc" reads as the 5 the edit shows once it loses focus
  EXPECT_EQ(s.Screens, 16);
  EXPECT_EQ(s.Order, OrderSequential);
  EXPECT_TRUE(s.StartFromRandom);
  EXPECT_FALSE(s.StartFromPrevious);
  EXPECT_FALSE(s.Background);

  for (auto [screens, item] : std::vector<std::pair<int32_t, int32_t>>{
           {0, 0}, {1, 1}, {4, 2}, {9, 3}, {16, 4}, {25, 5}, {36, -1}, {-4, -1}})
    EXPECT_EQ(ScreensItemFor(screens), item) << screens;

  EXPECT_EQ(VersionLabelText(0x01040000), "Version : 1.4.0.0");
}

TEST(SmallDialogs, ImagesPerScreenAndFilterOk) {
  Settings s;
  s.RandomScreens = {16, 4, 0, 0, 0};
  s.RandomScreensCount = 2;
  EXPECT_EQ(CheckedImagesPerScreen(s), (std::array<bool, 5>{false, true, false, true, false}));

  ASSERT_TRUE(ApplyImagesPerScreen({false, false, false, false, true}, false, s));
  EXPECT_EQ(s.RandomScreensCount, 1);
  EXPECT_EQ(s.RandomScreens[0], 25);
  EXPECT_FALSE(s.Random1often);
  ASSERT_TRUE(ApplyImagesPerScreen({false, true, false, true, false}, true, s));
  EXPECT_EQ(s.RandomScreensCount, 2);
  EXPECT_EQ(s.RandomScreens[0], 4);
  EXPECT_EQ(s.RandomScreens[1], 16);
  EXPECT_FALSE(ApplyImagesPerScreen({}, false, s));  // nothing checked: nothing changes
  EXPECT_EQ(s.RandomScreensCount, 2);
  EXPECT_TRUE(s.Random1often);

  s.filterres = true;
  s.filterx = 100;
  s.filtery = 80;
  struct Case {
    bool on;
    const char *width, *height;
    int32_t x, y;
    bool changed;
  };
  for (const Case& c : std::vector<Case>{
           {true, "0", "50", 100, 50, true},     // 0 keeps its own old value
           {true, "abc", "50", 100, 80, false},  // no number: both stay
           {false, "100", "80", 100, 80, true},  // the flag alone is a change
           {true, "100", "80", 100, 80, false},
       }) {
    const FilterChoice f = ReadFilterChoice(c.on, c.width, c.height, s);
    EXPECT_EQ(f.width, c.x) << c.width << "x" << c.height;
    EXPECT_EQ(f.height, c.y) << c.width << "x" << c.height;
    EXPECT_EQ(f.changed, c.changed) << c.width << "x" << c.height;
  }
}

TEST(ControlBookkeeping, RegistryAndFocusStack) {
  auto window = [](uintptr_t n) { return reinterpret_cast<NativeWindow>(n); };
  ControlRegistry registry;
  registry.Clear();
  registry.Register(window(1), 0);
  registry.Register(window(2), 0);  // a second control with id 0 takes the id over
  registry.Register(window(3), 16);
  EXPECT_EQ(registry.Find(0), window(2));
  EXPECT_EQ(registry.Find(16), window(3));
  EXPECT_EQ(registry.Find(201), nullptr);

  std::vector<NativeWindow> focused;
  FocusStack focus([&](NativeWindow w) { focused.push_back(w); });
  focus.Pop(registry);  // depth 0: nothing happens
  EXPECT_TRUE(focused.empty());

  focus.SetFocused(window(3));
  focus.Push(registry);  // a modal dialog registers after the dialog's controls
  EXPECT_EQ(focus.Focused(), nullptr);
  registry.Register(window(9), 102);
  EXPECT_EQ(registry.Find(102), window(9));
  focus.Pop(registry);  // ...and its registrations go when it closes
  EXPECT_EQ(registry.Count(), 3);
  EXPECT_EQ(registry.Find(102), nullptr);
  EXPECT_EQ(focused, std::vector<NativeWindow>{window(3)});
  EXPECT_EQ(focus.Depth(), 0);
}

TEST(PictureTree, FileFilterAndFolderSlots) {
  using namespace std::string_literals;
  const std::string filter = BuildOpenFileFilter(
      {{".jpg", "JPEG"}, {".jpeg", "JPEG"}, {".bmp", "Bitmap"}, {".ppm", "PPM"}, {".bmp", "Bitmap"}, {".png", "PNG"}});
  EXPECT_EQ(filter, "All formats\0*.jpg;*.jpeg;*.bmp;*.ppm;*.png\0"
                    "JPEG (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0Bitmap (*.bmp)\0*.bmp\0PPM (*.ppm)\0*.ppm\0"
                    "PNG (*.png)\0*.png\0\0"s);

  EXPECT_EQ(SplitOpenFileResult("C:\\pics\\a.jpg\0\0"s), std::vector<std::string>{"C:\\pics\\a.jpg"});
  EXPECT_EQ(SplitOpenFileResult("C:\\pics\0a.jpg\0b.png\0\0"s),
            (std::vector<std::string>{"C:\\pics\\a.jpg", "C:\\pics\\b.png"}));
  EXPECT_TRUE(SplitOpenFileResult(std::string(10, '\0')).empty());

  // Removing a folder: its slot names nothing, later folders follow their entries down.
  auto slots = std::make_unique<FolderSlots>();
  slots->Reset();
  for (int32_t entry = 1; entry <= 3; ++entry) EXPECT_EQ(slots->Add(entry), static_cast<uint32_t>(entry));
  slots->RemoveEntry(2);
  EXPECT_EQ(slots->Entry(1), 1);
  EXPECT_EQ(slots->Entry(2), 0);
  EXPECT_EQ(slots->Entry(3), 2);
  EXPECT_EQ(slots->Entry(9), 0);
  EXPECT_EQ(slots->SlotFor(2), 3u);
  EXPECT_EQ(slots->SlotFor(3), 0u);
  EXPECT_EQ(slots->SlotFor(0), 0u);
  // Which folders have their picture nodes: a slot given out again after a new build has none.
  slots->MarkFilled(1);
  EXPECT_TRUE(slots->Filled(1));
  EXPECT_FALSE(slots->Filled(3));
  slots->Reset();
  EXPECT_EQ(slots->Add(5), 1u);
  EXPECT_FALSE(slots->Filled(1));
  EXPECT_EQ(slots->SlotFor(2), 0u);
  EXPECT_EQ(PictureNodeData(3, 5), 0x30005u);
  EXPECT_EQ(SlotOf(0x30005u), 3u);
  EXPECT_EQ(NumberOf(0x30005u), 5u);
}

TEST(EffectsTree, NodesGroupStatesAndChecks) {
  EXPECT_EQ(EffectNodeData(0, 2), 0x10300u);
  EXPECT_EQ(EffectNodeData(1, 0, 4), 0x20105u);
  const std::optional<EffectNode> node = DecodeEffectNode(0x20105u);
  ASSERT_TRUE(node);
  EXPECT_EQ(node->module, 1);
  EXPECT_EQ(node->group, 0);
  EXPECT_EQ(node->effect, 4);
  EXPECT_TRUE(DecodeEffectNode(0x0102u) == std::nullopt);  // no module
  EXPECT_EQ(GroupNodeText("Wipes", 3), "Wipes  (3)");
  EXPECT_EQ(GroupNodeText("Fade", 1), "Fade");

  EffectModuleState module;
  module.groups = {{true, {true, true, true}}, {true, {true}}};
  EXPECT_EQ(GroupFillState(module.groups[0], 3), kNodeChecked);

  // Unchecking two of three effects leaves the group partly checked; the table is the
  // effect alone.
  ApplyEffectCheck(module, 1, {1, 0, 0}, false, 3);
  const EffectCheck partly = ApplyEffectCheck(module, 1, {1, 0, 1}, false, 3);
  EXPECT_EQ(partly.groupState, kNodePartly);
  EXPECT_TRUE(module.groups[0].enabled);
  ASSERT_EQ(partly.table.size(), 1u);
  EXPECT_EQ(partly.table[0].effect, 1);
  EXPECT_EQ(GroupFillState(module.groups[0], 3), kNodePartly);

  // Unchecking the partly checked group unchecks its effects; checking it checks them all.
  const EffectCheck off = ApplyEffectCheck(module, 1, {1, 0, -1}, false, 3);
  EXPECT_TRUE(off.childrenSet);
  EXPECT_EQ(off.groupState, kNodeUnchecked);
  EXPECT_EQ(module.groups[0].effects, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(off.table.size(), 3u);
  ApplyEffectCheck(module, 1, {1, 0, -1}, true, 3);
  EXPECT_EQ(module.groups[0].effects, (std::vector<bool>{true, true, true}));
  // The last effect unchecked takes the group's flag with it.
  for (int32_t e = 0; e < 3; ++e) ApplyEffectCheck(module, 1, {1, 0, e}, false, 3);
  EXPECT_FALSE(module.groups[0].enabled);

  // A group of one effect stands for it.
  module.groups[1] = {false, {false}};
  const EffectCheck single = ApplyEffectCheck(module, 1, {1, 1, -1}, true, 1);
  EXPECT_TRUE(module.groups[1].enabled);
  EXPECT_TRUE(module.groups[1].effects[0]);
  EXPECT_EQ(single.groupState, kNodeChecked);

  SetAllEffectStates({&module}, true);
  EXPECT_EQ(GroupFillState(module.groups[0], 3), kNodeChecked);
  module.enabled = false;  // a disabled module is left alone
  SetAllEffectStates({&module}, false);
  EXPECT_TRUE(module.groups[0].enabled);
}

}  // namespace
}  // namespace kelv::ui
