#include <gtest/gtest.h>

#include <map>

#include "settings/registry_memory.hpp"
#include "stats/run_stats.hpp"

namespace kelv {
namespace {

constexpr uint32_t kVersion = 0x01040000;

class RunStatsTest : public ::testing::Test {
protected:
  MemoryRegistry registry;
  std::vector<uint32_t> sleeps;
  std::map<int64_t, std::string> windows;  // handle -> class name
  std::function<void()> onSleep = [] {};

  RunStats Make() {
    RunStatsPlatform p;
    p.sleepMs = [this](uint32_t ms) { sleeps.push_back(ms); onSleep(); };
    p.windowClassName = [this](int64_t h) { return windows.count(h) ? windows[h] : std::string(); };
    p.tickCount = [] { return 4242u; };
    return RunStats(registry, p, kVersion);
  }
  void Put(const std::string& name, const std::string& text) {
    registry.PutString(Hive::CurrentUser, kProductKey, name, text);
  }
  void Counters(const std::string& count, const std::string& er, const std::string& uer,
                const std::string& uwer, const std::string& prever, const std::string& win = "0") {
    Put("ver", "1.4.0.0");
    Put("count", count); Put("er", er); Put("uer", uer); Put("uwer", uwer); Put("prever", prever); Put("win", win);
  }
  std::string Get(const std::string& name) {
    const auto v = registry.Get(Hive::CurrentUser, kProductKey, name);
    return v ? std::string(v->data.begin(), v->data.end()) : "<none>";
  }
};

TEST_F(RunStatsTest, FirstStartResetsAndCountsWithoutWaiting) {
  RunStats stats = Make();
  stats.Start();
  EXPECT_EQ(Get("ver"), "1.4.0.0");
  EXPECT_EQ(Get("count"), "1");
  EXPECT_EQ(Get("win"), "-1");
  for (const char* name : {"er", "uer", "uwer", "prever"}) EXPECT_EQ(Get(name), "0") << name;
  EXPECT_TRUE(sleeps.empty());
  EXPECT_FALSE(stats.OtherInstance());

  stats.RecordWindow(1234, false);
  EXPECT_EQ(Get("win"), "1234");
  stats.RecordWindow(99, false);  // only the first window, unless forced
  EXPECT_EQ(Get("win"), "1234");
  stats.RecordWindow(99, true);
  EXPECT_EQ(Get("win"), "99");
  stats.CleanEnd();
  EXPECT_EQ(Get("win"), "0");
  EXPECT_EQ(Get("prever"), "0");
}

TEST_F(RunStatsTest, NewVersionResetsTheCounters) {
  Counters("40", "3", "2", "1", "2");
  Put("ver", "1.3.0.0");
  Make().Start();
  EXPECT_EQ(Get("ver"), "1.4.0.0");
  EXPECT_EQ(Get("count"), "1");
  EXPECT_EQ(Get("er"), "0");
  EXPECT_EQ(Get("uer"), "0");
}

TEST_F(RunStatsTest, DeadRunWithoutWindowWaitsOneSecond) {
  Counters("3", "0", "0", "0", "0", "-1");
  Make().Start();
  EXPECT_EQ(sleeps, std::vector<uint32_t>{1000});
  EXPECT_EQ(Get("uwer"), "1");
  EXPECT_EQ(Get("prever"), "1");
  EXPECT_EQ(Get("count"), "4");
  EXPECT_EQ(Get("win"), "-1");
}

TEST_F(RunStatsTest, StartingInstanceThatGetsItsWindowIsLive) {
  Counters("3", "0", "0", "0", "0", "-1");
  windows[777] = "KSSW_Kelvora";
  onSleep = [this] { Put("win", "777"); };  // the other instance made its window meanwhile
  RunStats stats = Make();
  stats.Start();
  EXPECT_TRUE(stats.OtherInstance());
  EXPECT_EQ(Get("win"), "777");
  EXPECT_EQ(Get("uwer"), "0");
  stats.RecordWindow(5, true);
  stats.CleanEnd();
  stats.RecordCrash();
  EXPECT_EQ(Get("win"), "777");  // a second instance never touches the marker
}

TEST_F(RunStatsTest, DeadRunWithWindowCountsAfterFiveChecks) {
  Counters("3", "0", "0", "0", "0", "5555");
  windows[5555] = "Notepad";  // a reused handle of somebody else's window
  Make().Start();
  EXPECT_EQ(sleeps, std::vector<uint32_t>(4, 1000));
  EXPECT_EQ(Get("uer"), "1");
  EXPECT_EQ(Get("prever"), "1");
  EXPECT_EQ(Get("win"), "-1");
}

TEST_F(RunStatsTest, LiveSaverWindowIsAnotherInstance) {
  Counters("3", "0", "0", "0", "0", "5555");
  windows[5555] = "KSFW_Kelvora";
  RunStats stats = Make();
  stats.Start();
  EXPECT_TRUE(stats.OtherInstance());
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(Get("win"), "5555");
  EXPECT_EQ(Get("count"), "4");
}

TEST_F(RunStatsTest, CrashSummaryAndRecording) {
  Counters("3", "0", "0", "0", "0");
  RunStats stats = Make();
  EXPECT_EQ(stats.Summary(), "0051");
  Put("prever", "2");
  EXPECT_EQ(stats.Summary(), "0051, 3");
  stats.RecordCrash();
  EXPECT_EQ(Get("er"), "1");
  EXPECT_EQ(Get("prever"), "3");
  EXPECT_EQ(Get("win"), "0");
}

TEST_F(RunStatsTest, BucketsFollowTheClassTables) {
  EXPECT_EQ(CountClass(0), 0); EXPECT_EQ(CountClass(5), 1); EXPECT_EQ(CountClass(6), 2);
  EXPECT_EQ(CountClass(20), 3); EXPECT_EQ(CountClass(50), 4); EXPECT_EQ(CountClass(200), 5);
  EXPECT_EQ(CountClass(500), 6); EXPECT_EQ(CountClass(501), 7);
  EXPECT_EQ(RateClass(0), 0); EXPECT_EQ(RateClass(0.0099), 1); EXPECT_EQ(RateClass(0.01), 2);
  EXPECT_EQ(RateClass(0.05), 3); EXPECT_EQ(RateClass(0.1), 4); EXPECT_EQ(RateClass(0.2), 5);
  EXPECT_EQ(RateClass(0.5), 6); EXPECT_EQ(RateClass(1), 7);

  // The start being counted is left out of n; rates use n of at least 1.
  Counters("201", "2", "11", "201", "0");
  RunStats stats = Make();
  stats.UpdateBuckets(true, false);
  EXPECT_EQ(stats.Buckets(), (std::array<int, 4>{5, 2, 3, 7}));
  stats.UpdateBuckets(false, false);
  EXPECT_EQ(stats.Buckets()[0], 6);
  Counters("0", "0", "0", "0", "0");
  stats.UpdateBuckets(false, true);
  EXPECT_EQ(stats.Buckets(), (std::array<int, 4>{0, 7, 0, 0}));
}

TEST_F(RunStatsTest, OddStoredValuesCountAsZero) {
  Counters("abc", "", "7x", "0", "0");
  registry.PutDWord(Hive::CurrentUser, kProductKey, "er", 5);  // another type: no failure
  registry.PutBinary(Hive::CurrentUser, kProductKey, "win", {1, 2});
  RunStats stats = Make();
  stats.Start();
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(Get("count"), "1");
  EXPECT_EQ(stats.Summary(), "0071");  // this crash in one start
  stats.RecordCrash();
  EXPECT_EQ(Get("er"), "1");
  EXPECT_EQ(CounterNumber("-1"), -1);
  EXPECT_EQ(CounterNumber("12 "), 0);
}

TEST_F(RunStatsTest, UnopenableKeyLeavesTheRunAlone) {
  registry.DenyAccess(Hive::CurrentUser, kProductKey);
  RunStats stats = Make();
  stats.Start();
  stats.RecordWindow(1, true);
  stats.RecordCrash();
  stats.CleanEnd();
  EXPECT_EQ(stats.Summary(), "0000");
}

}  // namespace
}  // namespace kelv
