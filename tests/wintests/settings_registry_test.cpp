// The Win32 registry store against the real registry, under a scratch key.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "settings/registry.hpp"
#include "settings/settings_store.hpp"

namespace kelv {
namespace {

constexpr const char* kScratch = "Software\\Tarnwick\\KelvoraTest\\Settings";

class Win32RegistryTest : public ::testing::Test {
protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kScratch); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kScratch); }

  // Writes a value of any type directly, as another program would.
  void Raw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  RegistryStore& registry = SystemRegistry();
};

TEST_F(Win32RegistryTest, OpensOnlyExistingKeysUnlessAskedToCreate) {
  EXPECT_EQ(registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Read), nullptr);
  EXPECT_EQ(registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Write), nullptr);
  ASSERT_NE(registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Create), nullptr);
  auto readOnly = registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Read);
  ASSERT_NE(readOnly, nullptr);
  EXPECT_FALSE(readOnly->SetString("x", "1"));
  EXPECT_FALSE(readOnly->Query("x").has_value());
  auto writable = registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Write);
  ASSERT_NE(writable, nullptr);
  EXPECT_TRUE(writable->SetString("x", "1"));
  EXPECT_EQ(ReadStringValue(*readOnly, "x"), "1");
}

TEST_F(Win32RegistryTest, WritesReadsAndDeletesStringsAndBinaries) {
  auto key = registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Create);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->SetString("Delay", "5000"));
  EXPECT_TRUE(key->SetString("Empty", ""));
  std::vector<uint8_t> font(60);
  for (size_t i = 0; i < font.size(); ++i) font[i] = static_cast<uint8_t>(i * 7);  // zeros inside too
  EXPECT_TRUE(key->SetBinary("Font", font));
  EXPECT_TRUE(key->SetBinary("None", {}));
  std::vector<uint8_t> big(100000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i ^ (i >> 8));
  EXPECT_TRUE(key->SetBinary("Big", big));

  auto delay = key->Query("Delay");
  ASSERT_TRUE(delay);
  EXPECT_EQ(delay->type, RegType::String);
  EXPECT_EQ(std::string(delay->data.begin(), delay->data.end()), "5000");  // no terminating NUL
  EXPECT_EQ(ReadStringValue(*key, "Empty"), "");
  EXPECT_EQ(key->Query("Font")->type, RegType::Binary);
  EXPECT_EQ(key->Query("Font")->data, font);
  EXPECT_TRUE(key->Query("None")->data.empty());
  EXPECT_EQ(key->Query("Big")->data, big);
  EXPECT_EQ(key->Query("delay")->data.size(), 4u);  // names ignore case

  EXPECT_TRUE(key->SetString("Delay", "7"));
  EXPECT_EQ(ReadIntSetting(*key, "Delay", 5000), 7);
  EXPECT_TRUE(key->DeleteValue("Delay"));
  EXPECT_FALSE(key->Query("Delay").has_value());
  EXPECT_FALSE(key->DeleteValue("Delay"));
  EXPECT_EQ(ReadIntSetting(*key, "Delay", 5000), 5000);
}

TEST_F(Win32RegistryTest, ReportsOtherTypesAsTheyAre) {
  DWORD dword = 42;
  Raw("DWord", REG_DWORD, &dword, sizeof dword);
  Raw("Expand", REG_EXPAND_SZ, "%TEMP%\\x", 10);
  Raw("Multi", REG_MULTI_SZ, "a\0b\0", 5);
  uint64_t qword = 1;
  Raw("QWord", REG_QWORD, &qword, sizeof qword);
  Raw("NoNul", REG_SZ, "12", 2);          // written without the terminating NUL
  Raw("InnerNul", REG_SZ, "34\0zz", 6);   // text ends at the first NUL

  auto key = registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Read);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Query("DWord")->type, RegType::DWord);
  EXPECT_EQ(key->Query("DWord")->data, (std::vector<uint8_t>{42, 0, 0, 0}));
  EXPECT_EQ(key->Query("Multi")->type, RegType::MultiString);
  EXPECT_EQ(key->Query("QWord")->type, RegType::Other);

  bool typeError = false;
  EXPECT_FALSE(ReadStringValue(*key, "DWord", &typeError).has_value());
  EXPECT_TRUE(typeError);
  EXPECT_EQ(ReadStringValue(*key, "Expand", &typeError), "%TEMP%\\x");  // not expanded
  EXPECT_FALSE(typeError);
  EXPECT_FALSE(ReadStringValue(*key, "Missing", &typeError).has_value());
  EXPECT_FALSE(typeError);
  EXPECT_EQ(ReadStringValue(*key, "NoNul"), "12");
  EXPECT_EQ(ReadStringValue(*key, "InnerNul"), "34");
  EXPECT_EQ(ReadIntSetting(*key, "DWord", 5000), 5000);
  EXPECT_EQ(ReadIntSetting(*key, "NoNul", 5000), 12);
}

TEST_F(Win32RegistryTest, EnumeratesEveryValueName) {
  auto key = registry.Open(Hive::CurrentUser, kScratch, KeyAccess::Create);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->ValueNames().empty());
  std::string longName(200, 'n');
  std::vector<std::string> written = {"b", "A", "basicfx.dll", longName};
  for (const auto& n : written) key->SetBinary(n, {1});
  DWORD dword = 1;
  Raw("z", REG_DWORD, &dword, sizeof dword);
  written.push_back("z");

  std::vector<std::string> names = key->ValueNames();
  std::sort(names.begin(), names.end());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(names, written);
}

}  // namespace
}  // namespace kelv
