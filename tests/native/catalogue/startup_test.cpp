#include <gtest/gtest.h>

#include "catalogue/cache_file.hpp"
#include "catalogue/catalogue_startup.hpp"
#include "fakes.hpp"

namespace kelv {
namespace {

using test::FakeFileSystem;
using test::FakeRegistry;
using test::Names;
using Strings = std::vector<std::string>;

const std::string kCache = "C:\\AppData\\Kelvora\\piclist.dat";

class StartupTest : public ::testing::Test {
protected:
  FakeFileSystem fs;
  FolderScanner scanner{fs};
  FakeRegistry registry;
  TPicList list;

  void SetUp() override {
    scanner.Extensions = {".jpg"};
    fs.AddFolder("C:\\AppData");
  }
};

TEST_F(StartupTest, WithoutCacheFileBuildsFromTheFolderList) {
  fs.Add("C:\\P", "b.jpg");
  fs.Add("C:\\P", "a.jpg");
  Strings roots{"C:\\P"};
  EXPECT_EQ(LoadStartupCatalogue(list, scanner, kCache, roots, "C:\\Install", registry), 2);
  EXPECT_TRUE(fs.FolderExists("C:\\AppData\\Kelvora"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(0)->Path, "Root");
  EXPECT_EQ(list.PictureName(0), "C:\\P\\a.jpg");
  EXPECT_EQ(list.CacheTime, 0u);
  EXPECT_FALSE(list.Modified);
}

TEST_F(StartupTest, CacheFileIsLoadedAndAutoFoldersRefreshed) {
  TPicList stored;
  stored.AddFolder("Root");
  int32_t e = stored.AddFolder("C:\\P");
  stored.Item(e)->AutoRefresh = true;
  stored.Item(e)->Pictures->assign({"C:\\P\\gone.jpg"});
  stored.Item(e)->Filtered->assign({"C:\\P\\small.jpg"});
  fs.files[kCache] = EncodeCatalogue(stored);
  fs.times[kCache] = 77;
  fs.Add("C:\\P", "small.jpg");
  fs.Add("C:\\P", "new.jpg");
  fs.Add("C:\\Other", "x.jpg");
  Strings roots{"C:\\Other"};  // not consulted when the file exists

  EXPECT_EQ(LoadStartupCatalogue(list, scanner, kCache, roots, "C:\\Install", registry), 1);
  EXPECT_EQ(list.CacheTime, 77u);
  EXPECT_TRUE(list.Modified);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Names(*list.Item(1)->Pictures), Strings{"C:\\P\\new.jpg"});
  EXPECT_EQ(Names(*list.Item(1)->Filtered), Strings{"C:\\P\\small.jpg"});
}

TEST_F(StartupTest, AnEmptyResultGetsItsRoot) {
  fs.files[kCache] = {'P', 'R'};  // damaged: no entries at all
  Strings roots;
  EXPECT_EQ(LoadStartupCatalogue(list, scanner, kCache, roots, "", registry), 0);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0)->Path, "Root");
  EXPECT_TRUE(list.Item(0)->IncludeSubdirs);
}

TEST_F(StartupTest, RunWritesBackOnlyAnUnchangedFileAfterFiltering) {
  fs.times[kCache] = 5;
  list.AddFolder("Root");
  list.CacheTime = 5;
  list.Modified = true;
  EXPECT_FALSE(SaveCatalogueAfterRun(list, kCache, true, true, fs));   // dialog preview
  EXPECT_FALSE(SaveCatalogueAfterRun(list, kCache, false, false, fs)); // filter off
  fs.times[kCache] = 6;                                                // rewritten meanwhile
  EXPECT_FALSE(SaveCatalogueAfterRun(list, kCache, false, true, fs));
  EXPECT_FALSE(fs.FileExists(kCache));
  fs.times[kCache] = 5;
  EXPECT_TRUE(SaveCatalogueAfterRun(list, kCache, false, true, fs));
  EXPECT_EQ(fs.files[kCache], EncodeCatalogue(list));
  list.Modified = false;
  EXPECT_FALSE(SaveCatalogueAfterRun(list, kCache, false, true, fs));
}

}  // namespace
}  // namespace kelv

#include "catalogue/size_filter.hpp"
#include "settings/settings.hpp"

namespace kelv {
namespace {

TEST(SizeFilter, OnlyARunWithTheFilterOnPassesAMinimum) {
  Settings settings;
  settings.filterx = 320;
  settings.filtery = 200;
  EXPECT_FALSE(DecodeMinimumSize(settings, true).active());
  settings.filterres = true;
  EXPECT_FALSE(DecodeMinimumSize(settings, false).active());
  {
    SaverRunActiveScope run;
    MinimumPictureSize size = DecodeMinimumSize(settings);
    EXPECT_EQ(size.width, 320);
    EXPECT_EQ(size.height, 200);
  }
  EXPECT_FALSE(DecodeMinimumSize(settings).active());
}

}  // namespace
}  // namespace kelv
