#include <gtest/gtest.h>

#include <vector>

#include "app/mode_dispatch.hpp"
#include "app/run_settings.hpp"
#include "common/test_trace.hpp"
#include "settings/registry_memory.hpp"

namespace kelv {
namespace {

constexpr const char* kValue = "RunSettings";

// The machine hive refuses writes, as it does for a user without administrator rights.
class ReadOnlyMachineHive : public RegistryStore {
public:
  explicit ReadOnlyMachineHive(MemoryRegistry& inner) : inner_(inner) {}
  std::unique_ptr<RegistryKey> Open(Hive hive, const std::string& path, KeyAccess access) override {
    if (hive == Hive::LocalMachine && access != KeyAccess::Read) return nullptr;
    return inner_.Open(hive, path, access);
  }

private:
  MemoryRegistry& inner_;
};

class StartMode : public ::testing::Test {
protected:
  ModeAction Resolve(const std::vector<std::string>& args) {
    return ResolveMode(ParseCommandLine(args), registry, [this](uintptr_t h) {
      asked.push_back(h);
      return h == 1234;
    });
  }
  bool Present(Hive hive) { return registry.Get(hive, kProductKey, kValue).has_value(); }

  MemoryRegistry registry;
  std::vector<uintptr_t> asked;
};

TEST_F(StartMode, DispatchesEachSwitch) {
  EXPECT_EQ(Resolve({}), ModeAction::SettingsDialog);
  EXPECT_EQ(Resolve({"/c:1234"}), ModeAction::SettingsDialog);
  EXPECT_EQ(Resolve({"s"}), ModeAction::SettingsDialog);
  EXPECT_EQ(Resolve({"/s"}), ModeAction::FullScreen);
  EXPECT_EQ(Resolve({"/a"}), ModeAction::ChangePassword);
  EXPECT_EQ(Resolve({"/x"}), ModeAction::None);
  EXPECT_EQ(Resolve({"/saver"}), ModeAction::None);
  EXPECT_TRUE(asked.empty());
}

TEST_F(StartMode, PreviewNeedsAParentThatIsAWindow) {
  EXPECT_EQ(Resolve({"/p"}), ModeAction::None);
  EXPECT_EQ(Resolve({"/p", "abc"}), ModeAction::None);
  EXPECT_TRUE(asked.empty()) << "handle 0 is never looked up";
  EXPECT_EQ(Resolve({"/p", "77"}), ModeAction::None);
  EXPECT_EQ(Resolve({"/p:1234"}), ModeAction::Preview);
  EXPECT_EQ(Resolve({"/p", "1234"}), ModeAction::Preview);
  EXPECT_EQ(asked, (std::vector<uintptr_t>{77, 1234, 1234}));
}

TEST_F(StartMode, SettingsRequestOpensTheDialogOnceAndIsRemoved) {
  registry.PutString(Hive::CurrentUser, kProductKey, kValue, "1");
  registry.PutString(Hive::CurrentUser, kProductKey, "Delay", "5");
  EXPECT_EQ(Resolve({"/s"}), ModeAction::SettingsDialog);
  EXPECT_FALSE(Present(Hive::CurrentUser));
  EXPECT_TRUE(registry.Get(Hive::CurrentUser, kProductKey, "Delay")) << "other values stay";
  EXPECT_EQ(Resolve({"/s"}), ModeAction::FullScreen);
}

TEST_F(StartMode, MachineRequestIsUsedWhenTheUserHasNone) {
  registry.PutString(Hive::LocalMachine, kProductKey, kValue, "1");
  EXPECT_EQ(Resolve({"-S"}), ModeAction::SettingsDialog);
  EXPECT_FALSE(Present(Hive::LocalMachine));
  EXPECT_EQ(Resolve({"-S"}), ModeAction::FullScreen);
}

TEST_F(StartMode, UserRequestIsTakenFirstAndTheMachineOneWaits) {
  registry.PutString(Hive::CurrentUser, kProductKey, kValue, "1");
  registry.PutString(Hive::LocalMachine, kProductKey, kValue, "1");
  EXPECT_TRUE(ConsumeRunSettingsRequest(registry));
  EXPECT_FALSE(Present(Hive::CurrentUser));
  EXPECT_TRUE(Present(Hive::LocalMachine));
  EXPECT_TRUE(ConsumeRunSettingsRequest(registry));
  EXPECT_FALSE(ConsumeRunSettingsRequest(registry));
}

TEST_F(StartMode, RefusedMachineDeleteStillOpensTheDialog) {
  registry.PutString(Hive::LocalMachine, kProductKey, kValue, "1");
  ReadOnlyMachineHive readOnly(registry);
  EXPECT_TRUE(ConsumeRunSettingsRequest(readOnly));
  EXPECT_TRUE(Present(Hive::LocalMachine));
}

TEST_F(StartMode, AnythingButTheString1IsIgnoredAndLeftInPlace) {
  const std::pair<const char*, RegValue> values[] = {
      {"\"2\"", {RegType::String, {'2'}}},
      {"\"11\"", {RegType::String, {'1', '1'}}},
      {"\"1 \"", {RegType::String, {'1', ' '}}},
      {"empty", {RegType::String, {}}},
      {"dword 1", {RegType::DWord, {1, 0, 0, 0}}},
      {"binary '1'", {RegType::Binary, {'1'}}},
      {"multi-string", {RegType::MultiString, {'1', 0, 0}}},
  };
  for (const auto& [label, value] : values) {
    SCOPED_TRACE(label);
    registry.Put(Hive::CurrentUser, kProductKey, kValue, value);
    registry.Put(Hive::LocalMachine, kProductKey, kValue, value);
    EXPECT_EQ(Resolve({"/s"}), ModeAction::FullScreen);
    const auto kept = registry.Get(Hive::CurrentUser, kProductKey, kValue);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->type, value.type);
    EXPECT_EQ(kept->data, value.data);
    EXPECT_TRUE(Present(Hive::LocalMachine));
  }
}

TEST_F(StartMode, StringTypesAreReadUpToTheirFirstNul) {
  registry.Put(Hive::CurrentUser, kProductKey, kValue, {RegType::String, {'1', 0, 'x'}});
  EXPECT_TRUE(ConsumeRunSettingsRequest(registry));
  registry.Put(Hive::CurrentUser, kProductKey, kValue, {RegType::ExpandString, {'1'}});
  EXPECT_TRUE(ConsumeRunSettingsRequest(registry));
}

TEST_F(StartMode, RequestIsOnlyConsumedBySaverStarts) {
  registry.PutString(Hive::CurrentUser, kProductKey, kValue, "1");
  EXPECT_EQ(Resolve({"/c"}), ModeAction::SettingsDialog);
  EXPECT_EQ(Resolve({"/p", "1234"}), ModeAction::Preview);
  EXPECT_EQ(Resolve({"/a"}), ModeAction::ChangePassword);
  EXPECT_TRUE(Present(Hive::CurrentUser));
}

TEST_F(StartMode, MissingKeysAreNeverCreated) {
  EXPECT_EQ(Resolve({"/s"}), ModeAction::FullScreen);
  EXPECT_FALSE(registry.KeyExists(Hive::CurrentUser, kProductKey));
  EXPECT_FALSE(registry.KeyExists(Hive::LocalMachine, kProductKey));
}

TEST(StartTrace, LineShowsTheCommandLineAsRead) {
  EXPECT_EQ(CommandLineTraceLine(ParseCommandLine({"/P", "1234"})), "mode=p param=1234 parent=1234");
  EXPECT_EQ(CommandLineTraceLine(ParseCommandLine({})), "mode= param= parent=0");
  EXPECT_EQ(CommandLineTraceLine(ParseCommandLine({"/p:-5"})), "mode=p param=-5 parent=-5");
}

}  // namespace
}  // namespace kelv
