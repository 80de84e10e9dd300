#include <algorithm>
#include <climits>
#include <cstring>

#include "settings_test_support.hpp"

namespace kelv::testing {
namespace {

TEST_F(SettingsStoreTest, SaveWritesEveryDialogSettingInItsEncoding) {
  settings.Delay = 12000;
  settings.Convert = -5;
  settings.Enlarge = true;
  settings.Resize = 2;
  settings.Order = OrderRandom;
  settings.StartFromRandom = false;
  settings.StartFromPrevious = true;
  settings.Screens = 9;
  settings.RandomScreens = {4, 9, 16, 0, 0};
  settings.RandomScreensCount = 3;
  settings.Font.height = -20;
  settings.Font.italic = 1;
  std::strcpy(settings.Font.faceName, "Arial");
  settings.FontColor = 0x00ABCDEF;
  settings.ShowFileName = true;
  settings.IncludeFolder = true;
  settings.TextDate = true;
  settings.filterres = true;
  settings.filterx = 640;
  settings.Background = true;
  Save();

  EXPECT_EQ(Stored("Delay"), "12000");
  EXPECT_EQ(Stored("Convert"), "-5");
  EXPECT_EQ(Stored("Enlarge"), "1");
  EXPECT_EQ(Stored("crop"), "0");
  EXPECT_EQ(Stored("Background"), "1");
  EXPECT_EQ(Stored("Resize"), "2");
  EXPECT_EQ(Stored("Order"), "18");
  EXPECT_EQ(Stored("Screens"), "9");
  EXPECT_EQ(Stored("TextFileName"), "9");
  EXPECT_EQ(Stored("TextPos"), "3");
  EXPECT_EQ(Stored("TextDate"), "1");
  EXPECT_EQ(Stored("filterres"), "1");
  EXPECT_EQ(Stored("filterx"), "640");
  EXPECT_EQ(registry.Get(CU, kProductKey, "Delay")->type, RegType::String);

  auto screens = registry.Get(CU, kProductKey, "RandomScreens");
  EXPECT_EQ(screens->type, RegType::Binary);
  EXPECT_EQ(screens->data, (std::vector<uint8_t>{4, 9, 16}));
  auto font = registry.Get(CU, kProductKey, "Font");
  ASSERT_EQ(font->data.size(), 60u);
  EXPECT_EQ(std::memcmp(font->data.data(), &settings.Font, 60), 0);
  EXPECT_EQ(registry.Get(CU, kProductKey, "FontColor")->data, (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0x00}));

  // What was saved loads back unchanged.
  Settings saved = settings;
  Load();
  EXPECT_EQ(settings.Delay, saved.Delay);
  EXPECT_EQ(settings.Convert, saved.Convert);
  EXPECT_EQ(settings.Order, saved.Order);
  EXPECT_EQ(settings.StartFromPrevious, saved.StartFromPrevious);
  EXPECT_EQ(settings.RandomScreensCount, 3);
  EXPECT_EQ(settings.RandomScreens[2], 16);
  EXPECT_EQ(std::memcmp(&settings.Font, &saved.Font, 60), 0);
  EXPECT_EQ(settings.FontColor, saved.FontColor);
  EXPECT_TRUE(settings.ShowFileName && settings.IncludeFolder && settings.TextDate);
  EXPECT_FALSE(settings.IncludePath || settings.IncludeExtension);
  EXPECT_TRUE(settings.filterres);
  EXPECT_TRUE(settings.Background);
}

TEST_F(SettingsStoreTest, SaveLeavesTheValuesWithoutDialogControlAlone) {
  PutSetting("pmon", "0");
  PutSetting("rtresize", "0");
  PutSetting("TextOverlay", "abc");
  Load();
  settings.pmon = true;
  settings.rtresize = true;
  settings.TextOverlay = false;
  settings.RandomPos = true;
  Save();
  EXPECT_EQ(Stored("pmon"), "0");
  EXPECT_EQ(Stored("rtresize"), "0");
  EXPECT_EQ(Stored("TextOverlay"), "abc");
  EXPECT_EQ(Stored("RandomPos"), "<missing>");
  // "Monitors" off is not written into a registry that never had it; on, and then off
  // again, it is.
  EXPECT_EQ(Stored("Monitors"), "<missing>");
  settings.Monitors = true;
  Save();
  EXPECT_EQ(Stored("Monitors"), "1");
  settings.Monitors = false;
  Save();
  EXPECT_EQ(Stored("Monitors"), "0");
  EXPECT_EQ(Stored("Motion"), "<missing>");
  settings.Motion = true;
  Save();
  EXPECT_EQ(Stored("Motion"), "1");
  settings.Motion = false;
  Save();
  EXPECT_EQ(Stored("Motion"), "0");
}

TEST_F(SettingsStoreTest, SaveWritesOddFieldValuesWithoutFailing) {
  settings.Order = INT32_MAX;
  settings.StartFromRandom = true;
  settings.StartFromPrevious = true;
  settings.RandomScreensCount = 9;
  settings.Delay = INT32_MIN;
  EXPECT_NO_THROW(Save());
  EXPECT_EQ(Stored("Order"), "2147483671");
  EXPECT_EQ(Stored("Delay"), "-2147483648");
  EXPECT_EQ(registry.Get(CU, kProductKey, "RandomScreens")->data.size(), 5u);
  settings.RandomScreensCount = -1;
  EXPECT_NO_THROW(Save());
  EXPECT_TRUE(registry.Get(CU, kProductKey, "RandomScreens")->data.empty());
  // A stored order too large to read back falls to the default on the next load.
  Load();
  EXPECT_EQ(settings.Order, OrderSequential);
  EXPECT_TRUE(settings.StartFromPrevious);

  // A registry that refuses the product key loses the save, nothing else.
  registry.DenyAccess(CU, kProductKey);
  registry.DenyAccess(CU, kPluginsKey);
  modules.push_back({"fx.dll", true, {}});
  bool catalogueSaved = false;
  hooks.saveCatalogue = [&](const Settings&) { catalogueSaved = true; };
  EXPECT_NO_THROW(Save());
  EXPECT_TRUE(catalogueSaved);
}

TEST_F(SettingsStoreTest, SaveWritesEffectBitsAndCreatesTheCacheFolderOnlyWhenNeeded) {
  modules.push_back({"basicfx.dll", true, {{true, {true, false, true}}, {false, {true}}}});
  std::vector<std::string> existing, created;
  std::vector<std::string> calls;
  hooks.pathExists = [&](const std::string& p) {
    return std::find(existing.begin(), existing.end(), p) != existing.end();
  };
  hooks.createFolder = [&](const std::string& p) { calls.push_back("mkdir " + p); };
  hooks.saveCatalogue = [&](const Settings& s) { calls.push_back("save " + s.CacheFile); };
  settings.CacheFile = "C:\\AppData\\Kelvora\\piclist.dat";

  Save();
  EXPECT_EQ(registry.Get(CU, kPluginsKey, "basicfx.dll")->data, (std::vector<uint8_t>{0xA7, 0x00}));
  EXPECT_EQ(calls, (std::vector<std::string>{"mkdir C:\\AppData\\Kelvora",
                                             "save C:\\AppData\\Kelvora\\piclist.dat"}));

  calls.clear();
  existing = {"C:\\AppData\\Kelvora"};
  Save();
  EXPECT_EQ(calls, (std::vector<std::string>{"save C:\\AppData\\Kelvora\\piclist.dat"}));

  calls.clear();
  existing = {"C:\\AppData\\Kelvora\\piclist.dat"};  // the folder is not asked about then
  Save();
  EXPECT_EQ(calls, (std::vector<std::string>{"save C:\\AppData\\Kelvora\\piclist.dat"}));
}

}  // namespace
}  // namespace kelv::testing
