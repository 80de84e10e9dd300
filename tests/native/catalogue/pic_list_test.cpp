#include <gtest/gtest.h>

#include <random>

#include "catalogue/pic_list.hpp"
#include "common/exception.hpp"
#include "fakes.hpp"

namespace kelv {
namespace {

using test::Names;
using Strings = std::vector<std::string>;

// A catalogue with one entry per given picture list (entry 0 named "Root").
void Fill(TPicList& list, const std::vector<Strings>& entries) {
  for (size_t i = 0; i < entries.size(); ++i) {
    int32_t e = list.AddFolder(i == 0 ? "Root" : "F" + std::to_string(i));
    list.Item(e)->Pictures->assign(entries[i]);
  }
}

// The plain walk over the entries (a running sum of their sizes), as the reference for
// the fast index.
std::string WalkName(const TPicList& list, int32_t g) {
  int64_t s = 0;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TPathList& pictures = *list.Item(i)->Pictures;
    if (g >= 0 && g < s + static_cast<int64_t>(pictures.size())) return pictures[static_cast<size_t>(g - s)];
    s += static_cast<int64_t>(pictures.size());
  }
  return {};
}

TEST(PicList, EmptyRootHasNoPictures) {
  TPicList list;
  EXPECT_EQ(list.AddFolder("Root"), 0);
  EXPECT_EQ(list.PictureCount(), 0);
  EXPECT_EQ(list.PictureName(0), "");
  EXPECT_FALSE(list.FilterPicture(0, ""));
  EXPECT_THROW(list.LocatePicture(0, ""), Exception);
  const TFolderItem& root = *list.Item(0);
  EXPECT_FALSE(root.AutoRefresh);
  EXPECT_TRUE(root.IncludeSubdirs);
  EXPECT_EQ(root.TreeItem, 0u);
}

TEST(PicList, GlobalIndexSkipsEntriesWithoutPictures) {
  TPicList list;
  Fill(list, {{}, {"a", "b", "c"}, {"d", "e"}});
  EXPECT_EQ(list.PictureCount(), 5);
  EXPECT_EQ(list.PictureName(0), "a");
  EXPECT_EQ(list.PictureName(3), "d");
  EXPECT_EQ(list.PictureName(4), "e");
  EXPECT_EQ(list.PictureName(5), "");
  // A negative index is outside the index as well (never the element before a list).
  EXPECT_EQ(list.PictureName(-1), "");
  EXPECT_FALSE(list.FilterPicture(-1, "a"));

  PictureLocation at = list.LocatePicture(3, "d");
  EXPECT_EQ(at.entry, 2);
  EXPECT_EQ(at.index, 0);
  EXPECT_FALSE(list.LocatePicture(3, "D").found());  // exact names only
  try {
    list.LocatePicture(5, "x");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "getfoldi failed");
  }
  EXPECT_THROW(list.LocatePicture(-1, "x"), Exception);
}

// The fast index must give exactly the walk's answer after every kind of change,
// including changes made through entry pointers and through copies that share lists.
TEST(PicList, IndexFollowsEveryChange) {
  std::mt19937 rng(7);
  TPicList list;
  list.AddFolder("Root");
  std::vector<TFolderItem> copies;
  int counter = 0;
  for (int step = 0; step < 3000; ++step) {
    int32_t count = list.Count();
    int32_t e = count ? static_cast<int32_t>(rng() % count) : 0;
    switch (rng() % 9) {
      case 0: list.AddFolder("F" + std::to_string(step)); break;
      case 1: if (count > 1) list.DeleteItem(e); break;
      case 2: list.Item(e)->Pictures->push_back("p" + std::to_string(counter++)); break;
      case 3: {
        TPathList& pictures = *list.Item(e)->Pictures;
        if (!pictures.empty()) pictures.erase(rng() % pictures.size());
        break;
      }
      case 4: copies.push_back(list.CopyItem(e)); break;
      case 5:
        if (!copies.empty()) copies[rng() % copies.size()].Pictures->insert(0, "c" + std::to_string(counter++));
        break;
      case 6: list.Item(e)->Pictures = std::make_shared<TPathList>(Strings{"r" + std::to_string(counter++)}); break;
      case 7: list.AddItem(list.CopyItem(e)); break;  // two entries sharing one list
      case 8: {
        int32_t g = static_cast<int32_t>(rng() % (list.PictureCount() + 1));
        std::string name = list.PictureName(g);
        if (!name.empty()) EXPECT_TRUE(list.FilterPicture(g, name));
        break;
      }
    }
    // The lists laid end to end are the reference for every index.
    const TPicList& view = list;
    Strings all;
    for (int32_t i = 0; i < view.Count(); ++i)
      all.insert(all.end(), view.Item(i)->Pictures->begin(), view.Item(i)->Pictures->end());
    ASSERT_EQ(list.PictureCount(), static_cast<int32_t>(all.size()));
    int32_t total = static_cast<int32_t>(all.size());
    for (int32_t g = 0; g < total; ++g) ASSERT_EQ(list.PictureName(g), all[static_cast<size_t>(g)]) << step;
    ASSERT_EQ(list.PictureName(total), "");
    ASSERT_EQ(list.PictureName(-1), WalkName(list, -1));
  }
}

TEST(PicList, ListErrorsCarryTheIndex) {
  TPicList list;
  list.AddFolder("Root");
  try {
    list.DeleteItem(-1);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index exceeds bounds (-1)");
  }
  EXPECT_THROW(list.DeleteItem(1), EListError);
  EXPECT_THROW(list.Item(1), EListError);
  EXPECT_THROW(list.CopyItem(-3), EListError);
  list.DeleteItem(0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(PicList, CopiesShareListsButNotThePath) {
  TPicList list;
  list.AddFolder("C:\\P");
  TFolderItem copy = list.CopyItem(0);
  copy.Path = "changed";
  copy.Pictures->push_back("C:\\P\\a.jpg");
  EXPECT_EQ(list.Item(0)->Path, "C:\\P");
  EXPECT_EQ(list.PictureName(0), "C:\\P\\a.jpg");
  // Deleting the entry leaves the caller's copy usable.
  list.DeleteItem(0);
  EXPECT_EQ(Names(*copy.Pictures), Strings{"C:\\P\\a.jpg"});
}

TEST(PicList, AddFilteredKeepsCaseInsensitiveOrderWithoutDuplicates) {
  TPicList list;
  list.AddFolder("Root");
  list.AddFiltered(0, "a.jpg");
  list.AddFiltered(0, "C.jpg");
  list.AddFiltered(0, "b.jpg");
  EXPECT_EQ(Names(*list.Item(0)->Filtered), (Strings{"a.jpg", "b.jpg", "C.jpg"}));
  list.AddFiltered(0, "B.JPG");
  EXPECT_EQ(Names(*list.Item(0)->Filtered), (Strings{"a.jpg", "B.JPG", "b.jpg", "C.jpg"}));
  try {
    list.AddFiltered(0, "b.jpg");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Dubl filtered");
  }
  EXPECT_THROW(list.AddFiltered(0, "a.jpg"), Exception);
  list.AddFiltered(0, "d.jpg");
  EXPECT_EQ(list.Item(0)->Filtered->back(), "d.jpg");
}

TEST(PicList, RestoreFilteredMergesBothSortedLists) {
  TPicList list;
  Fill(list, {{"a", "c"}, {}});
  list.Item(0)->Filtered->assign({"b", "d"});
  list.Item(1)->Filtered->assign({"x", "Y", "z"});
  list.RestoreAllFiltered();
  EXPECT_EQ(Names(*list.Item(0)->Pictures), (Strings{"a", "b", "c", "d"}));
  EXPECT_TRUE(list.Item(0)->Filtered->empty());
  EXPECT_EQ(Names(*list.Item(1)->Pictures), (Strings{"x", "Y", "z"}));
  EXPECT_EQ(list.PictureCount(), 7);
}

TEST(PicList, FilterAndRestoreGiveBackTheFolder) {
  TPicList list;
  Strings folder{"A.jpg", "b.jpg", "C.jpg", "d.jpg", "e.jpg"};
  Fill(list, {{"single.jpg"}, folder});
  EXPECT_FALSE(list.FilterPicture(2, "c.jpg"));  // another name: nothing changes
  EXPECT_TRUE(list.FilterPicture(3, "C.jpg"));
  EXPECT_TRUE(list.FilterPicture(1, "A.jpg"));
  EXPECT_TRUE(list.FilterPicture(3, "e.jpg"));
  EXPECT_EQ(Names(*list.Item(1)->Pictures), (Strings{"b.jpg", "d.jpg"}));
  EXPECT_EQ(Names(*list.Item(1)->Filtered), (Strings{"A.jpg", "C.jpg", "e.jpg"}));
  EXPECT_EQ(list.PictureName(2), "d.jpg");
  list.RestoreFiltered(1);
  EXPECT_EQ(Names(*list.Item(1)->Pictures), folder);
}

TEST(PicList, BrokenListsRaiseAndLoseNothing) {
  TPicList list;
  Fill(list, {{"a", "b"}});
  list.Item(0)->Filtered->assign({"b"});
  EXPECT_THROW(list.RestoreFiltered(0), Exception);
  EXPECT_EQ(Names(*list.Item(0)->Pictures), (Strings{"a", "b"}));
  EXPECT_EQ(Names(*list.Item(0)->Filtered), Strings{"b"});

  list.Item(0)->Filtered->assign({"d", "c"});  // unsorted
  try {
    list.RestoreFiltered(0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "restfilt err2");
  }
  list.Item(0)->Filtered->assign({"c", "c"});
  try {
    list.RestoreFiltered(0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "restfilt dubl2");
  }
}

}  // namespace
}  // namespace kelv
