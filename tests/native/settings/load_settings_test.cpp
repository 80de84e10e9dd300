#include <cctype>
#include <climits>
#include <cstring>
#include <random>

#include "common/random.hpp"
#include "settings_test_support.hpp"

namespace kelv::testing {
namespace {

TEST(ParseDecimalInt32, AcceptsOnlyPlainDecimalNumbersOf32Bits) {
  EXPECT_EQ(ParseDecimalInt32("42"), 42);
  EXPECT_EQ(ParseDecimalInt32("  -5\t"), -5);
  EXPECT_EQ(ParseDecimalInt32("+7"), 7);
  EXPECT_EQ(ParseDecimalInt32("007"), 7);
  EXPECT_EQ(ParseDecimalInt32("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseDecimalInt32("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "-", "+", "abc", "12abc", "1 2", "0x10", "1.5", "1,000",
                          "2147483648", "-2147483649", "99999999999999999999999", "--1"})
    EXPECT_EQ(ParseDecimalInt32(bad), std::nullopt) << '"' << bad << '"';
}

TEST_F(SettingsStoreTest, ReadIntSettingFallsBackClampsAndKeepsNegatives) {
  PutSetting("A", "abc");
  PutSetting("B", "1000000001");
  PutSetting("C", "-5");
  PutSetting("D", "");
  PutSetting("E", "99999999999");
  PutSetting("F", "1000000000");
  registry.PutDWord(CU, kProductKey, "G", 7);
  registry.PutBinary(CU, kProductKey, "H", {'7'});
  registry.Put(CU, kProductKey, "I", RegValue{RegType::ExpandString, {'1', '2'}});
  auto key = registry.Open(CU, kProductKey, KeyAccess::Read);
  EXPECT_EQ(ReadIntSetting(*key, "A", 5000), 5000);
  EXPECT_EQ(ReadIntSetting(*key, "B", 5000), 1000000000);
  EXPECT_EQ(ReadIntSetting(*key, "C", 5000), -5);
  EXPECT_EQ(ReadIntSetting(*key, "D", 5000), 5000);
  EXPECT_EQ(ReadIntSetting(*key, "E", 5000), 5000);
  EXPECT_EQ(ReadIntSetting(*key, "F", 5000), 1000000000);
  EXPECT_EQ(ReadIntSetting(*key, "G", 5000), 5000);
  EXPECT_EQ(ReadIntSetting(*key, "H", 5000), 5000);
  EXPECT_EQ(ReadIntSetting(*key, "I", 5000), 12);
  EXPECT_EQ(ReadIntSetting(*key, "missing", 17), 17);
}

TEST_F(SettingsStoreTest, EmptyRegistryGivesTheDefaultsAndAsksForReinstall) {
  settings.Delay = 1;  // whatever the record held before is replaced
  Load();
  Settings d;
  EXPECT_EQ(settings.Delay, 5000);
  EXPECT_EQ(settings.Convert, 5000);
  EXPECT_EQ(settings.Order, OrderSequential);
  EXPECT_FALSE(settings.StartFromRandom);
  EXPECT_TRUE(settings.StartFromPrevious);
  EXPECT_EQ(settings.Resize, 1);
  EXPECT_TRUE(settings.pmon && settings.rtresize && settings.DDraw && settings.TextOverlay);
  EXPECT_FALSE(settings.filterres || settings.Wallpaper || settings.ShowFileName || settings.TextDate ||
               settings.Background || settings.Monitors || settings.Motion);
  EXPECT_EQ(settings.filterx, 100);
  EXPECT_EQ(settings.TextPos, 3);
  EXPECT_EQ(settings.RandomScreensCount, 5);
  EXPECT_EQ(settings.RandomScreens, (std::array<uint8_t, 5>{1, 4, 9, 16, 25}));
  EXPECT_EQ(std::memcmp(&settings.Font, &d.Font, sizeof(LogFontA)), 0);
  EXPECT_STREQ(settings.Font.faceName, "Courier New");
  EXPECT_EQ(settings.Font.height, -13);
  EXPECT_EQ(settings.FontColor, 0x0000FF00u);

  EXPECT_EQ(messages, std::vector<std::string>{"Corrupted registry.\r\nPlease, Reinstall Kelvora"});
  EXPECT_EQ(settings.InstallFolder, "");
  EXPECT_FALSE(settings.InstallInUserHive);
  EXPECT_EQ(settings.HelpFile, "\\Help.chm");
  EXPECT_EQ(settings.CacheFile, "\\piclist.dat");
  EXPECT_TRUE(settings.FolderRoots.empty());
  // The load creates the product key, but writes nothing into it.
  EXPECT_TRUE(registry.KeyExists(CU, kProductKey));
  EXPECT_TRUE(registry.Open(CU, kProductKey, KeyAccess::Read)->ValueNames().empty());
}

TEST_F(SettingsStoreTest, ProductKeyThatCannotBeCreatedGivesDefaultsWithoutPmonOrFilterLimits) {
  PutSetting("Delay", "7000");
  registry.DenyAccess(CU, kProductKey);
  Load();
  EXPECT_EQ(settings.Delay, 5000);
  EXPECT_FALSE(settings.pmon);
  EXPECT_EQ(settings.filterx, 0);
  EXPECT_EQ(settings.filtery, 0);
  EXPECT_TRUE(settings.rtresize);
  EXPECT_EQ(settings.RandomScreensCount, 5);
}

TEST_F(SettingsStoreTest, DecodesOrderFlagsAndTextFileNameBits) {
  struct Case { const char* stored; int32_t order; bool fromRandom, fromPrevious; };
  for (Case c : {Case{"18", OrderRandom, false, true}, Case{"4", OrderReverse, false, false},
                 Case{"9", OrderSequential, true, false}, Case{"-3", -3, true, true}}) {
    PutSetting("Order", c.stored);
    Load();
    EXPECT_EQ(settings.Order, c.order) << c.stored;
    EXPECT_EQ(settings.StartFromRandom, c.fromRandom) << c.stored;
    EXPECT_EQ(settings.StartFromPrevious, c.fromPrevious) << c.stored;
  }
  PutSetting("TextFileName", "13");
  PutSetting("filterres", "2");
  PutSetting("Background", "2");
  PutSetting("Enlarge", "2");
  PutSetting("pmon", "0");
  PutSetting("Resize", "258");
  Load();
  EXPECT_TRUE(settings.ShowFileName);
  EXPECT_FALSE(settings.IncludePath);
  EXPECT_TRUE(settings.IncludeExtension);
  EXPECT_TRUE(settings.IncludeFolder);
  EXPECT_FALSE(settings.filterres);  // only 1 switches the size filter on
  EXPECT_FALSE(settings.Background);  // and only 1 the blurred background
  EXPECT_TRUE(settings.Enlarge);     // every other flag is on when not 0
  EXPECT_FALSE(settings.pmon);
  EXPECT_EQ(settings.Resize, 2);
  PutSetting("filterres", "1");
  PutSetting("Background", "1");
  Load();
  EXPECT_TRUE(settings.filterres);
  EXPECT_TRUE(settings.Background);
  // "Monitors": only 1 shows pictures on every monitor; anything unreadable keeps the covers.
  for (const char* stored : {"2", "-1", "yes", "", "99999999999"}) {
    PutSetting("Monitors", stored);
    Load();
    EXPECT_FALSE(settings.Monitors) << stored;
  }
  PutSetting("Monitors", "1");
  Load();
  EXPECT_TRUE(settings.Monitors);
  // "Motion" the same way: only 1 moves the pictures.
  for (const char* stored : {"2", "-1", "yes", "", "99999999999", "0"}) {
    PutSetting("Motion", stored);
    Load();
    EXPECT_FALSE(settings.Motion) << stored;
  }
  PutSetting("Motion", "1");
  Load();
  EXPECT_TRUE(settings.Motion);
}

TEST_F(SettingsStoreTest, BinaryValuesOfTheRightTypeAndSize) {
  registry.PutBinary(CU, kProductKey, "RandomScreens", {1, 9, 25});
  registry.PutBinary(CU, kProductKey, "Font", {0xE2, 0xFF, 0xFF, 0xFF});  // height -30
  registry.PutBinary(CU, kProductKey, "FontColor", {0x11, 0x22, 0x33, 0x00});
  Load();
  EXPECT_EQ(settings.RandomScreensCount, 3);
  EXPECT_EQ(settings.RandomScreens[0], 1);
  EXPECT_EQ(settings.RandomScreens[1], 9);
  EXPECT_EQ(settings.RandomScreens[2], 25);
  EXPECT_EQ(settings.Font.height, -30);
  EXPECT_EQ(settings.Font.weight, 400);  // the rest of the record is the default font
  EXPECT_STREQ(settings.Font.faceName, "Courier New");
  EXPECT_EQ(settings.FontColor, 0x00332211u);

  std::vector<uint8_t> font(60, 0);
  font[16] = 0xBC;  // weight 700
  font[17] = 0x02;
  std::memcpy(font.data() + 28, "Arial", 5);
  registry.PutBinary(CU, kProductKey, "Font", font);
  Load();
  EXPECT_EQ(settings.Font.height, 0);
  EXPECT_EQ(settings.Font.weight, 700);
  EXPECT_STREQ(settings.Font.faceName, "Arial");
}

TEST_F(SettingsStoreTest, DamagedBinaryValuesTakeTheirDefaults) {
  auto expectDefaults = [&](const char* what) {
    Load();
    EXPECT_EQ(settings.RandomScreensCount, 5) << what;
    EXPECT_EQ(settings.RandomScreens, (std::array<uint8_t, 5>{1, 4, 9, 16, 25})) << what;
    EXPECT_EQ(settings.Font.height, -13) << what;
    EXPECT_STREQ(settings.Font.faceName, "Courier New") << what;
    EXPECT_EQ(settings.FontColor, 0x0000FF00u) << what;
  };
  registry.PutString(CU, kProductKey, "RandomScreens", "1");
  registry.PutString(CU, kProductKey, "Font", "Arial");
  registry.PutDWord(CU, kProductKey, "FontColor", 0xFF);
  expectDefaults("wrong types");
  registry.PutBinary(CU, kProductKey, "RandomScreens", {1, 2, 3, 4, 5, 6});
  registry.PutBinary(CU, kProductKey, "Font", std::vector<uint8_t>(61, 0x41));
  registry.PutBinary(CU, kProductKey, "FontColor", {1, 2, 3, 4, 5});
  expectDefaults("too long");
  registry.PutBinary(CU, kProductKey, "RandomScreens", {});
  registry.PutBinary(CU, kProductKey, "Font", {});
  registry.PutBinary(CU, kProductKey, "FontColor", {});
  expectDefaults("empty");
}

TEST_F(SettingsStoreTest, HelpComesFromTheHiveWherePathWasFound) {
  registry.PutString(LM, kProductKey, "Path", "C:\\Machine");
  registry.PutString(LM, kProductKey, "Help", "C:\\Machine\\Manual.chm");
  registry.PutString(CU, kProductKey, "Help", "C:\\User\\Manual.chm");
  Load();
  EXPECT_EQ(settings.InstallFolder, "C:\\Machine");
  EXPECT_EQ(settings.PluginFolder, "C:\\Machine");
  EXPECT_FALSE(settings.InstallInUserHive);
  EXPECT_EQ(settings.HelpFile, "C:\\Machine\\Manual.chm");
  EXPECT_TRUE(messages.empty());

  // An empty "Path" in the user's hive counts as missing.
  PutSetting("Path", "");
  Load();
  EXPECT_EQ(settings.InstallFolder, "C:\\Machine");

  PutSetting("Path", "C:\\User");
  Load();
  EXPECT_TRUE(settings.InstallInUserHive);
  EXPECT_EQ(settings.HelpFile, "C:\\User\\Manual.chm");

  registry.PutDWord(CU, kProductKey, "Help", 1);
  Load();
  EXPECT_EQ(settings.HelpFile, "C:\\User\\Help.chm");
  EXPECT_EQ(settings.CacheFile, "C:\\User\\piclist.dat");

  registry.PutString(CU, kShellFoldersKey, "AppData", "C:\\Users\\me\\AppData\\Roaming");
  Load();
  EXPECT_EQ(settings.CacheFile, "C:\\Users\\me\\AppData\\Roaming\\Kelvora\\piclist.dat");
}

TEST_F(SettingsStoreTest, FolderRootsFollowTheSortedValueNames) {
  registry.PutString(CU, kFoldersKey, "b", "C:\\Second");
  registry.PutString(CU, kFoldersKey, "C", "C:\\Third");
  registry.PutDWord(CU, kFoldersKey, "Bb", 3);  // not a folder
  registry.PutString(CU, kFoldersKey, "a", "C:\\First");
  Load();
  EXPECT_EQ(settings.FolderRoots, (std::vector<std::string>{"C:\\First", "C:\\Second", "C:\\Third"}));

  // The platform's order decides: here the reverse of the case-insensitive one.
  hooks.textLess = [](std::string a, std::string b) {
    for (auto* s : {&a, &b})
      for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a > b;
  };
  Load();
  EXPECT_EQ(settings.FolderRoots, (std::vector<std::string>{"C:\\Third", "C:\\Second", "C:\\First"}));
}

TEST_F(SettingsStoreTest, NoticeFontFollowsTheScreenWidth) {
  for (auto [width, height] : {std::pair{639, -18}, {640, -16}, {1000, -16}, {1001, -18}, {1299, -18},
                               {1300, -20}, {2000, -20}, {2001, -18}}) {
    screenWidth = width;
    Load();
    EXPECT_EQ(settings.NoticeFont.height, height) << width;
    EXPECT_STREQ(settings.NoticeFont.faceName, "Courier New");
    EXPECT_EQ(settings.NoticeFont.weight, 400);
    EXPECT_EQ(settings.NoticeFont.charSet, 1);
  }
}

TEST_F(SettingsStoreTest, CallsThePartsOfTheProgramInOrderWithTheLoadedSettings) {
  std::vector<std::string> calls;
  PutSetting("Path", "C:\\Install");
  modules.push_back({"fx.dll", true, {{true, {true, true}}}});
  registry.PutBinary(CU, kPluginsKey, "fx.dll", {0x01});  // enabled, group count 0
  hooks.createCatalogue = [&] { calls.push_back("create " + settings.InstallFolder); };
  hooks.loadPlugins = [&](const Settings& s) { calls.push_back("plugins " + s.PluginFolder); };
  hooks.buildExtensionList = [&] {
    calls.push_back(std::string("extensions ") + (modules[0].groups[0].enabled ? "on" : "off"));
  };
  hooks.loadCatalogue = [&](const Settings& s) { calls.push_back("catalogue " + s.CacheFile); };
  Load();
  EXPECT_EQ(calls, (std::vector<std::string>{"create ", "plugins C:\\Install", "extensions off",
                                             "catalogue C:\\Install\\piclist.dat"}));
  // The generator was seeded from the tick count.
  std::mt19937 reference(4321);
  EXPECT_EQ(RandomU32(), reference());
}

TEST_F(SettingsStoreTest, StoredEffectBitsApplyToLoadedModulesOnly) {
  modules.push_back({"a.dll", true, {{true, {true, true}}, {true, {true}}}});
  modules.push_back({"b.dll", true, {{true, {true}}}});
  modules.push_back({"c.dll", true, {{true, {true}}}});
  modules.push_back({"d.dll", true, {{true, {true}}}});
  registry.PutBinary(CU, kPluginsKey, "A.DLL", {0x01});  // value names ignore case
  registry.PutBinary(CU, kPluginsKey, "b.dll", {});
  registry.PutString(CU, kPluginsKey, "c.dll", "0");
  registry.PutBinary(CU, kPluginsKey, "gone.dll", {0x00});
  Load();
  EXPECT_FALSE(modules[0].groups[0].enabled);
  EXPECT_EQ(modules[0].groups[0].effects, (std::vector<bool>{false, false}));
  EXPECT_TRUE(modules[0].groups[1].enabled);  // beyond the data
  EXPECT_TRUE(modules[1].groups[0].enabled);  // empty value: as the module reported
  EXPECT_TRUE(modules[2].groups[0].enabled);  // not binary: as the module reported
  EXPECT_TRUE(modules[3].groups[0].enabled);  // no value

  Save();
  // The value of a module that is no longer installed stays.
  EXPECT_EQ(registry.Get(CU, kPluginsKey, "gone.dll")->data, std::vector<uint8_t>{0x00});
  EXPECT_EQ(registry.Get(CU, kPluginsKey, "d.dll")->data, std::vector<uint8_t>{0x23});
}

TEST(LoadAllSettings, RunsOncePerProcess) {
  auto& store = static_cast<MemoryRegistry&>(SystemRegistry());
  store.PutString(CU, kProductKey, "Delay", "1234");
  int messages = 0;
  SettingsHooks hooks;
  hooks.showMessage = [&](const std::string&) { ++messages; };
  LoadAllSettings(hooks);
  EXPECT_EQ(TheSettings().Delay, 1234);
  store.PutString(CU, kProductKey, "Delay", "999");
  LoadAllSettings(hooks);
  EXPECT_EQ(TheSettings().Delay, 1234);
  EXPECT_EQ(messages, 1);
  store.Clear();
}

}  // namespace
}  // namespace kelv::testing
