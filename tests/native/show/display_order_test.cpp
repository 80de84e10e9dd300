// The display order: the three orders, start points, skipping unreadable and filtered
// pictures, the repair of each order after a picture leaves, and the resume point.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "catalogue/pic_list.hpp"
#include "common/exception.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/caption.hpp"
#include "settings/registry.hpp"
#include "settings/registry_memory.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/compose_history.hpp"
#include "show/display_order.hpp"
#include "show/picture_deal.hpp"
#include "show/run_flags.hpp"

namespace kelv {
namespace {

class DisplayOrderTest : public ::testing::Test {
protected:
  void SetUp() override {
    TheSettings() = Settings{};
    TheSettings().StartFromPrevious = false;
    TheHistory().Reset();
    StartDisplayOrderRun();
    EndDisplayOrderRun();
    SetPictures(3);
    TheDisplayOrderServices().load = [this](TBitmap&, const std::string& name, const LoadRequest&) {
      loaded.push_back(name);
      auto it = results.find(name);
      if (it != results.end()) return it->second;
      LoadResult r;
      r.width = 100;
      r.height = 80;
      return r;
    };
    TheDisplayOrderServices().caption = [this](TBitmap&, int32_t index, bool, const std::string&) {
      captions.push_back(index);
    };
    TheDisplayOrderServices().message = [this](TBitmap&, const std::string& text) { messages.push_back(text); };
    TheDisplayOrderServices().filteredInDialog = nullptr;
    target = TBitmap::Create(8, 8);
  }
  void TearDown() override {
    TheDisplayOrderServices() = DefaultDisplayOrderServices();
    EndDisplayOrderRun();
  }

  static std::string Name(int32_t k) { return "C:\\P\\p" + std::to_string(k) + ".jpg"; }

  void SetPictures(int32_t n) {
    TPicList& c = TheCatalogue();
    c.Clear();
    c.AddFolder("Root");
    int32_t e = c.AddFolder("C:\\P");
    std::vector<std::string> names;
    for (int32_t k = 0; k < n; ++k) names.push_back(Name(k));
    c.Item(e)->Pictures->assign(names);
  }

  // Index of the last shown picture in the original numbering (p<k>.jpg).
  int32_t Step() {
    const size_t before = loaded.size();
    NextPicture(*target, run);
    if (loaded.size() == before) return -1;
    const std::string& n = loaded.back();
    return std::stoi(n.substr(n.find('p', 4) + 1));
  }

  void Filter(int32_t k) {
    LoadResult r;
    r.width = -5;
    r.height = -5;
    results[Name(k)] = r;
  }
  void Unreadable(int32_t k, bool missing = false) {
    LoadResult r;
    r.fileMissing = missing;
    results[Name(k)] = r;
  }

  std::unique_ptr<TBitmap> target;
  RunFlags run;
  std::vector<std::string> loaded;
  std::vector<int32_t> captions;
  std::vector<std::string> messages;
  std::map<std::string, LoadResult> results;
};

TEST_F(DisplayOrderTest, SequentialReverseAndUnknownOrders) {
  TheSettings().Order = OrderSequential;
  std::vector<int32_t> got;
  for (int k = 0; k < 4; ++k) got.push_back(Step());
  EXPECT_EQ(got, (std::vector<int32_t>{0, 1, 2, 0}));
  EXPECT_EQ(captions, (std::vector<int32_t>{0, 1, 2, 0}));

  StartDisplayOrderRun();
  TheSettings().Order = OrderReverse;
  got.clear();
  for (int k = 0; k < 4; ++k) got.push_back(Step());
  EXPECT_EQ(got, (std::vector<int32_t>{2, 1, 0, 2}));

  StartDisplayOrderRun();
  TheSettings().Order = 5;  // any other value stays at the first picture
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(TheDisplayOrder().statistics.shown, 2);
}

TEST_F(DisplayOrderTest, StartFromRandomUsesOneDraw) {
  SetPictures(7);
  TheSettings().Order = OrderSequential;
  TheSettings().StartFromRandom = true;
  for (uint32_t seed = 1; seed < 40; ++seed) {
    SeedRandom(seed);
    const int32_t start = static_cast<int32_t>(Round((7 - 0.002) * RandomReal() - 0.499));
    ASSERT_GE(start, 0);
    ASSERT_LE(start, 6);
    SeedRandom(seed);
    StartDisplayOrderRun();
    EXPECT_EQ(Step(), (start + 1) % 7) << seed;
  }
}

TEST_F(DisplayOrderTest, RandomNeverRepeatsWithinAPass) {
  TheSettings().Order = OrderRandom;
  std::mt19937 sizes(12345);
  for (int trial = 0; trial < 40; ++trial) {
    const int32_t n = 1 + static_cast<int32_t>(sizes() % 130);
    SetPictures(n);
    SeedRandom(trial + 1);
    StartDisplayOrderRun();
    for (int pass = 0; pass < 3; ++pass) {
      std::set<int32_t> seen;
      for (int32_t k = 0; k < n; ++k) seen.insert(Step());
      ASSERT_EQ(static_cast<int32_t>(seen.size()), n) << "n=" << n << " pass " << pass;
    }
  }
}

TEST_F(DisplayOrderTest, RandomWindowAtTheStartOfAPass) {
  TheSettings().Order = OrderRandom;
  // n = 90: n div 3 = 30 > 20, so the first draw is from 0..69; n = 30: W = min(30, 20).
  for (const auto& [n, w] : std::vector<std::pair<int32_t, int32_t>>{{90, 70}, {30, 20}, {10, 7}}) {
    SetPictures(n);
    int32_t highest = 0;
    for (uint32_t seed = 1; seed <= 1500; ++seed) {
      SeedRandom(seed);
      const int32_t expected = static_cast<int32_t>(Round((w - 0.002) * RandomReal() - 0.499));
      SeedRandom(seed);
      StartDisplayOrderRun();
      const int32_t got = Step();
      ASSERT_EQ(got, expected) << "n=" << n << " seed " << seed;
      highest = std::max(highest, got);
    }
    EXPECT_EQ(highest, w - 1) << n;
  }
  // From position 21 on the draw reaches the end of the array.
  SetPictures(90);
  int32_t highest = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    SeedRandom(seed);
    StartDisplayOrderRun();
    for (int k = 0; k < 21; ++k) Step();
    highest = std::max(highest, Step());
  }
  EXPECT_EQ(highest, 89);
}

TEST_F(DisplayOrderTest, EmptyCatalogueShowsTheMessageInEveryOrder) {
  SetPictures(0);
  for (int32_t order : std::initializer_list<int32_t>{OrderSequential, OrderReverse, OrderRandom, 0}) {
    TheSettings().Order = order;
    StartDisplayOrderRun();
    messages.clear();
    NextPicture(*target, run);
    NextPicture(*target, run);
    EXPECT_EQ(messages, (std::vector<std::string>{kNoPicturesMessage, kNoPicturesMessage})) << order;
  }
  EXPECT_TRUE(loaded.empty());
}

TEST_F(DisplayOrderTest, UnreadablePicturesAreSkippedAndCounted) {
  TheSettings().Order = OrderSequential;
  Unreadable(1, true);
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(Step(), 2);
  EXPECT_EQ(loaded.size(), 3u);
  EXPECT_EQ(TheDisplayOrder().statistics.missing, 1);
  EXPECT_EQ(TheDisplayOrder().statistics.shown, 2);
  EXPECT_EQ(captions, (std::vector<int32_t>{0, 2}));

  // Nothing readable: the attempt ends with the message after count + 2 tries.
  Unreadable(0);
  Unreadable(2);
  loaded.clear();
  NextPicture(*target, run);
  EXPECT_EQ(messages, std::vector<std::string>{kCantReadMessage});
  EXPECT_EQ(loaded.size(), 5u);
  EXPECT_EQ(TheDisplayOrder().statistics.tried, 8);

  // An end of the run during the skipping (a vanished drive with thousands of names)
  // stops it at the next picture, without a message.
  SetPictures(5000);
  messages.clear();
  loaded.clear();
  TheDisplayOrderServices().load = [this](TBitmap&, const std::string& name, const LoadRequest&) {
    loaded.push_back(name);
    if (loaded.size() == 3) run.RequestEnd();
    return LoadResult{};
  };
  NextPicture(*target, run);
  EXPECT_EQ(loaded.size(), 3u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(DisplayOrderTest, FilteredPicturesLeaveAndSequentialResumesAtTheNextOne) {
  SetPictures(5);
  TheSettings().Order = OrderSequential;
  Filter(2);
  std::vector<int32_t> got;
  for (int k = 0; k < 5; ++k) got.push_back(Step());
  EXPECT_EQ(got, (std::vector<int32_t>{0, 1, 3, 4, 0}));
  EXPECT_EQ(TheCatalogue().PictureCount(), 4);
  EXPECT_TRUE(TheCatalogue().Modified);
  EXPECT_EQ(TheCatalogue().Item(1)->Filtered->size(), 1u);
  EXPECT_EQ(TheDisplayOrder().statistics.filtered, 1);

  SetPictures(5);
  results.clear();
  StartDisplayOrderRun();
  TheSettings().Order = OrderReverse;
  Filter(4);
  Filter(3);
  got.clear();
  for (int k = 0; k < 4; ++k) got.push_back(Step());
  EXPECT_EQ(got, (std::vector<int32_t>{2, 1, 0, 2}));
}

TEST_F(DisplayOrderTest, RandomOrderStaysAPermutationWhenPicturesLeave) {
  TheSettings().Order = OrderRandom;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    SetPictures(40);
    results.clear();
    for (int k = 0; k < 40; k += 3) Filter(k);  // 14 pictures below the filter
    SeedRandom(seed);
    StartDisplayOrderRun();
    std::vector<int32_t> shown;
    for (int k = 0; k < 26; ++k) shown.push_back(Step());
    std::set<int32_t> distinct(shown.begin(), shown.end());
    ASSERT_EQ(distinct.size(), 26u) << seed;
    for (int32_t s : shown) ASSERT_NE(s % 3, 0) << seed;
    // Filtered pictures not met yet may still be in the catalogue; the permutation's
    // live part holds every remaining index once.
    const int32_t n = TheCatalogue().PictureCount();
    ASSERT_GE(n, 26);
    const DisplayOrderState& st = TheDisplayOrder();
    std::vector<int32_t> live(st.PicShowed.begin(), st.PicShowed.begin() + n);
    std::sort(live.begin(), live.end());
    for (int32_t k = 0; k < n; ++k) ASSERT_EQ(live[k], k);
  }
}

TEST_F(DisplayOrderTest, AllFilteredEndsWithTheMessageAndEveryPictureFiltered) {
  for (int32_t order : std::initializer_list<int32_t>{OrderSequential, OrderReverse, OrderRandom}) {
    SetPictures(4);
    StartDisplayOrderRun();
    TheSettings().Order = order;
    for (int k = 0; k < 4; ++k) Filter(k);
    messages.clear();
    NextPicture(*target, run);
    EXPECT_EQ(messages, std::vector<std::string>{kAllFilteredMessage}) << order;
    EXPECT_EQ(TheCatalogue().PictureCount(), 0);
    EXPECT_EQ(TheCatalogue().Item(1)->Filtered->size(), 4u);
  }
}

TEST_F(DisplayOrderTest, FilteredPictureIsReportedToTheDialogTree) {
  SetPictures(3);
  TheSettings().Order = OrderSequential;
  std::vector<std::pair<int32_t, int32_t>> removed;
  TheDisplayOrderServices().filteredInDialog = [&](int32_t entry, int32_t position) {
    removed.push_back({entry, position});
  };
  Filter(1);
  Step();
  Step();
  EXPECT_EQ(removed, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}}));
}

TEST_F(DisplayOrderTest, BrokenStateRaises) {
  TheSettings().Order = OrderSequential;
  TheDisplayOrder().current = 10;
  try {
    NextPicture(*target, run);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "incorrect picNumber, 11, 3");
  }
  // A random repair for a picture that is not the one at the current position.
  TheSettings().Order = OrderRandom;
  StartDisplayOrderRun();
  SeedRandom(3);
  const int32_t shown = Step();
  const int32_t other = (shown + 1) % 3;
  try {
    FilterOut(other, Name(other));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "ind<>PicShowed");
  }
}

TEST_F(DisplayOrderTest, ReplayedScreensTakeTheirPicturesFromTheHistory) {
  SetPictures(6);
  TheSettings().Order = OrderSequential;
  ScreenHistory& h = TheHistory();
  for (int k = 0; k < 3; ++k) {
    h.SetCell(0);
    Step();
    h.FinishScreen(1);
  }
  EXPECT_EQ(h.current.load(), 3);
  h.replay = 1;
  h.replaying = true;
  h.SetCell(0);
  EXPECT_EQ(Step(), 1);
  h.FinishScreen(1);
  EXPECT_TRUE(h.replaying.load());
  // A replayed picture that now lies beyond the catalogue's end is not an error: the
  // display order chooses instead.
  SetPictures(2);
  EXPECT_EQ(Step(), 0);
  h.FinishScreen(1);
  EXPECT_FALSE(h.replaying.load());
}

// Several monitors take their pictures in turn from the one order, each monitor composing
// its next screen right after its change: while there are more pictures than monitors, no
// picture is on two monitors at once, in every order, with pictures leaving on the way too.
TEST_F(DisplayOrderTest, PicturesDealtToSeveralMonitorsAreNeverOnTwoAtOnce) {
  struct Case { int32_t order; int32_t pictures; int32_t monitors; int32_t filtered; };
  for (Case c : {Case{OrderSequential, 5, 4, -1}, Case{OrderRandom, 5, 4, -1}, Case{OrderReverse, 3, 2, -1},
                 Case{OrderRandom, 12, 11, -1}, Case{OrderRandom, 9, 3, 4}, Case{OrderSequential, 6, 4, 2}}) {
    SCOPED_TRACE(::testing::Message() << "order " << c.order << ", " << c.pictures << " pictures, "
                                      << c.monitors << " monitors");
    TheSettings().Order = c.order;
    results.clear();
    SetPictures(c.pictures);
    StartDisplayOrderRun();
    if (c.filtered >= 0) Filter(c.filtered);
    std::vector<ScreenHistory> histories(static_cast<size_t>(c.monitors));
    for (ScreenHistory& h : histories) h.Reset();
    PictureDeal deal(c.monitors);
    std::vector<std::string> prepared(static_cast<size_t>(c.monitors)), shown(prepared.size());
    auto compose = [&](int32_t m) {
      deal.BeginScreen(m);
      NextPicture(*target, run, histories[static_cast<size_t>(m)], &deal);
      prepared[static_cast<size_t>(m)] = loaded.back();
    };
    for (int32_t m = 0; m < c.monitors; ++m) compose(m);
    for (int32_t change = 0; change < 40 * c.monitors; ++change) {
      const int32_t m = change % c.monitors;
      shown[static_cast<size_t>(m)] = prepared[static_cast<size_t>(m)];
      deal.Shown(m);
      std::set<std::string> distinct;
      for (const std::string& s : shown)
        if (!s.empty()) EXPECT_TRUE(distinct.insert(s).second) << s << " twice after change " << change;
      compose(m);
    }
  }
  // Fewer pictures than monitors: the order still gives a picture to each.
  TheSettings().Order = OrderSequential;
  SetPictures(2);
  StartDisplayOrderRun();
  PictureDeal deal(3);
  ScreenHistory history;
  history.Reset();
  for (int32_t m = 0; m < 3; ++m) {
    deal.BeginScreen(m);
    const size_t before = loaded.size();
    NextPicture(*target, run, history, &deal);
    EXPECT_EQ(loaded.size(), before + 1);
    deal.Shown(m);
  }
}

TEST_F(DisplayOrderTest, StoppingRunDoesNotTouchTheHistory) {
  TheSettings().Order = OrderSequential;
  TheHistory().SetCell(0);
  run.StopRequested = 1;
  Step();
  run.StopRequested = 0;
  EXPECT_EQ(TheHistory().At(0).pictures[0], 0);
  Step();
  EXPECT_EQ(TheHistory().At(0).pictures[0], 1);
}

// ---- resume point --------------------------------------------------------------------

class ResumePointTest : public DisplayOrderTest {
protected:
  void SetUp() override {
    DisplayOrderTest::SetUp();
    TPicList& c = TheCatalogue();
    c.Clear();
    c.AddFolder("Root");
    std::vector<std::string> names;
    for (int k = 0; k < 12; ++k) names.push_back("c:\\x" + std::to_string(k) + ".jpg");
    names[5] = "c:\\a.jpg";
    c.Item(0)->Pictures->assign(names);
  }
  void Put(const std::string& text) { registry.PutString(Hive::CurrentUser, kProductKey, "Prev", text); }
  MemoryRegistry registry;
};

TEST_F(ResumePointTest, SaveWritesIndexAndPath) {
  SaveResumePoint(registry, 5);
  auto v = registry.Get(Hive::CurrentUser, kProductKey, "Prev");
  ASSERT_TRUE(v);
  EXPECT_EQ(std::string(v->data.begin(), v->data.end()), "5?c:\\a.jpg");
  SaveResumePoint(registry, 12);
  v = registry.Get(Hive::CurrentUser, kProductKey, "Prev");
  EXPECT_TRUE(v->data.empty());
  SaveResumePoint(registry, -1);
  EXPECT_TRUE(registry.Get(Hive::CurrentUser, kProductKey, "Prev")->data.empty());
}

TEST_F(ResumePointTest, LoadChecksTheNameAndSearchesExactly) {
  Put("5?C:\\A.JPG");
  EXPECT_EQ(LoadResumePoint(registry), 5);  // case ignored at the stored index

  // The picture moved to index 9: only the exact name is found.
  std::vector<std::string> names = TheCatalogue().Item(0)->Pictures->names();
  std::swap(names[5], names[9]);
  TheCatalogue().Item(0)->Pictures->assign(names);
  EXPECT_EQ(LoadResumePoint(registry), -1);
  Put("5?c:\\a.jpg");
  EXPECT_EQ(LoadResumePoint(registry), 9);

  Put("x1?c:\\a.jpg");
  EXPECT_EQ(LoadResumePoint(registry), 9);  // a malformed number: search by name
  Put("c:\\a.jpg");
  EXPECT_EQ(LoadResumePoint(registry), 9);  // no "?": the whole value is the name
  Put("40?c:\\a.jpg");
  EXPECT_EQ(LoadResumePoint(registry), 9);  // out of range
  Put("3?c:\\gone.jpg");
  EXPECT_EQ(LoadResumePoint(registry), -1);
  Put("");
  EXPECT_EQ(LoadResumePoint(registry), -1);

  TheSettings().Order = OrderRandom;
  Put("9?c:\\a.jpg");
  EXPECT_EQ(LoadResumePoint(registry), -1);
}

TEST_F(ResumePointTest, RunsResumeAfterTheStoredPicture) {
  RegistryStore& system = SystemRegistry();
  auto key = system.Open(Hive::CurrentUser, kProductKey, KeyAccess::Create);
  ASSERT_TRUE(key);
  key->SetString("Prev", "5?c:\\a.jpg");
  TheSettings().StartFromPrevious = true;
  TheSettings().StartFromRandom = true;  // the resume point wins
  TheSettings().Order = OrderSequential;
  NextPicture(*target, run);
  EXPECT_EQ(loaded.back(), "c:\\x6.jpg");
  StartDisplayOrderRun();
  TheSettings().Order = OrderReverse;
  NextPicture(*target, run);
  EXPECT_EQ(loaded.back(), "c:\\x4.jpg");
  // Random order ignores "Prev" (and draws from the start of the permutation).
  StartDisplayOrderRun();
  TheSettings().Order = OrderRandom;
  TheSettings().StartFromRandom = false;
  SeedRandom(11);
  const int32_t expected = static_cast<int32_t>(Round((12 - 4 - 0.002) * RandomReal() - 0.499));
  SeedRandom(11);
  NextPicture(*target, run);
  EXPECT_EQ(loaded.back(), TheCatalogue().PictureName(expected));
  key->SetString("Prev", "");
}

}  // namespace
}  // namespace kelv
