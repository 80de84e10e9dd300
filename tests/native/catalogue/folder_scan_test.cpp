#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "catalogue/folder_scan.hpp"
#include "fakes.hpp"

namespace kelv {
namespace {

using test::FakeFileSystem;
using test::FakeRegistry;
using test::Names;
using Strings = std::vector<std::string>;

class FolderScanTest : public ::testing::Test {
protected:
  FakeFileSystem fs;
  FolderScanner scanner{fs};
  FakeRegistry registry;

  void SetUp() override { scanner.Extensions = BuildExtensionList({".jpg", ".JPEG", ".bmp", ".jpg"}); }
};

TEST(ExtensionList, LowerCasedInOrderWithoutExactDuplicates) {
  EXPECT_EQ(BuildExtensionList({".JPG", ".jpeg", ".jpg", ".Tif", ".TIF"}), (Strings{".jpg", ".jpeg", ".tif"}));
}

TEST_F(FolderScanTest, MatchesExtensionsWithoutCaseAndSortsTheResult) {
  fs.Add("C:\\P", "zeta.jpg");
  fs.Add("C:\\P", "PHOTO.JPG");
  fs.Add("C:\\P", "readme");
  fs.Add("C:\\P", "notes.txt");
  fs.Add("C:\\P", "Beta.Jpeg");
  fs.Add("C:\\P", "archive.jpg.zip");
  fs.Add("C:\\P", "alpha.bmp");
  scanner.RefreshFolder("C:\\P", false);
  EXPECT_EQ(scanner.ScanResult, (Strings{"C:\\P\\alpha.bmp", "C:\\P\\Beta.Jpeg", "C:\\P\\PHOTO.JPG", "C:\\P\\zeta.jpg"}));
  EXPECT_EQ(scanner.CurrentScanRoot(), "C:\\P");
}

TEST_F(FolderScanTest, SubfoldersFollowTheSwitch) {
  fs.Add("C:\\P", "b.jpg");
  fs.Add("C:\\P", "Sub", FileAttrDirectory);
  fs.Add("C:\\P\\Sub", "a.jpg");
  fs.Add("C:\\P\\Sub", "Deeper", FileAttrDirectory | FileAttrHidden);
  fs.Add("C:\\P\\Sub\\Deeper", "c.jpg", FileAttrHidden | FileAttrSystem);
  fs.Add("C:\\P", "folder.jpg", FileAttrDirectory);  // a folder is never a picture

  scanner.IncludeSubdirs = false;
  scanner.RefreshFolder("C:\\P", false);
  EXPECT_EQ(scanner.ScanResult, Strings{"C:\\P\\b.jpg"});

  scanner.IncludeSubdirs = true;
  fs.searches.clear();
  fs.probes.clear();
  scanner.RefreshFolder("C:\\P\\", false);  // one trailing backslash is dropped
  EXPECT_EQ(scanner.ScanResult, (Strings{"C:\\P\\b.jpg", "C:\\P\\Sub\\a.jpg", "C:\\P\\Sub\\Deeper\\c.jpg"}));
  // The check that the folder exists stops at its first entry: each folder is listed once.
  EXPECT_EQ(fs.probes, Strings{"C:\\P\\*.*"});
  EXPECT_EQ(fs.searches, (Strings{"C:\\P\\*.*", "C:\\P\\Sub\\*.*", "C:\\P\\Sub\\Deeper\\*.*",
                                  "C:\\P\\folder.jpg\\*.*"}));
}

// Paths are in the ANSI code page: in a double-byte one (cp932 here) 0x5C is also the
// second byte of some characters, such as 0x95 0x5C, which must not lose that byte.
TEST_F(FolderScanTest, TrailingBackslashIsCutOnlyWhenItIsACharacter) {
  struct Case {
    std::string path, singleByte, doubleByte;
  };
  const Case cases[] = {
      {"C:\\Photos\\", "C:\\Photos", "C:\\Photos"},
      {"C:\\Photos\\\\", "C:\\Photos\\", "C:\\Photos\\"},       // only one is cut
      {"C:\\\x95\x5C", "C:\\\x95", "C:\\\x95\x5C"},              // a character ending in 0x5C
      {"C:\\\x95\x5C\\", "C:\\\x95\x5C", "C:\\\x95\x5C"},
      {"C:\\\x95\x95\\", "C:\\\x95\x95", "C:\\\x95\x95"},     // 0x95 is a second byte here
      {"C:\\\x81\x95\x5C", "C:\\\x81\x95", "C:\\\x81\x95"},     // so is 0x95 here, before a separator
      {"C:\\a\x95", "C:\\a\x95", "C:\\a\x95"},                 // a lead byte cut off at the end
      {"\\", "", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    fs.cp932 = false;
    EXPECT_EQ(WithoutTrailingBackslash(c.path, fs), c.singleByte) << c.path;
    fs.cp932 = true;
    EXPECT_EQ(WithoutTrailingBackslash(c.path, fs), c.doubleByte) << c.path;
  }

  const std::string folder = "C:\\\x8E\xCA\x90\x5E\\\x95\x5C";  // a folder name ending in 0x95 0x5C
  fs.Add(folder, "a.jpg");
  for (const std::string& path : {folder, folder + "\\"}) {
    scanner.RefreshFolder(path, false);
    EXPECT_EQ(scanner.ScanResult, Strings{folder + "\\a.jpg"}) << path;
  }
}

// A junction back into the tree would be followed until the path grows too long, and
// one to a folder of the tree would list that folder twice: every folder is scanned once,
// under its own path when the tree holds it. A link whose target cannot be identified is
// not followed; a plain folder still is.
TEST_F(FolderScanTest, LinkedFoldersAreScannedOnce) {
  fs.Add("C:\\L", "a.jpg");
  fs.Add("C:\\L", "Sub", FileAttrDirectory);
  fs.Add("C:\\L\\Sub", "b.jpg");
  fs.AddLink("C:\\L\\Sub", "Back", "C:\\L");

  fs.Add("C:\\P", "a.jpg");
  fs.AddLink("C:\\P", "Early", "C:\\P\\Sub");  // listed before the folder itself
  fs.Add("C:\\P", "Sub", FileAttrDirectory);
  fs.Add("C:\\P\\Sub", "b.jpg");
  fs.AddLink("C:\\P", "Twin", "C:\\P\\Sub");
  fs.AddLink("C:\\P", "Out", "D:\\Outside");
  fs.Add("D:\\Outside", "c.jpg");
  fs.AddLink("C:\\P", "Blind", "D:\\Unknown");
  fs.Add("D:\\Unknown", "d.jpg");
  fs.unidentified.insert("D:\\Unknown");
  fs.Add("C:\\P", "Plain", FileAttrDirectory);
  fs.Add("C:\\P\\Plain", "e.jpg");
  fs.unidentified.insert("C:\\P\\Plain");
  // Without any link no folder is opened for its identity (large trees scan slowly so).
  fs.Add("C:\\N", "Sub", FileAttrDirectory);
  fs.Add("C:\\N\\Sub", "f.jpg");

  struct Case {
    std::string root;
    Strings pictures;
    size_t searches;
    bool identifies;
  };
  const Case cases[] = {
      {"C:\\L", {"C:\\L\\a.jpg", "C:\\L\\Sub\\b.jpg"}, 2, true},
      {"C:\\P", {"C:\\P\\a.jpg", "C:\\P\\Out\\c.jpg", "C:\\P\\Plain\\e.jpg", "C:\\P\\Sub\\b.jpg"}, 4, true},
      {"C:\\N", {"C:\\N\\Sub\\f.jpg"}, 2, false},
  };
  for (const Case& c : cases) {
    fs.searches.clear();
    fs.identifications = 0;
    scanner.RefreshFolder(c.root, false);
    EXPECT_EQ(scanner.ScanResult, c.pictures) << c.root;
    EXPECT_EQ(fs.searches.size(), c.searches) << c.root;
    EXPECT_EQ(fs.identifications > 0, c.identifies) << c.root;
  }
}

TEST_F(FolderScanTest, MissingFolderAddsNothingAndAppendKeepsEarlierNames) {
  fs.Add("C:\\A", "x.jpg");
  scanner.RefreshFolder("C:\\A", false);
  scanner.RefreshFolder("C:\\Missing", true);
  EXPECT_EQ(scanner.ScanResult, Strings{"C:\\A\\x.jpg"});
  EXPECT_EQ(scanner.CurrentScanRoot(), "C:\\A");
  scanner.RefreshFolder("C:\\A", true);
  EXPECT_EQ(scanner.ScanResult.size(), 2u);
  scanner.RefreshFolder("C:\\Missing", false);
  EXPECT_TRUE(scanner.ScanResult.empty());
  EXPECT_TRUE(scanner.FolderHasEntries("C:\\A\\*.*"));
  EXPECT_FALSE(scanner.FolderHasEntries("C:\\Missing\\*.*"));
}

TEST_F(FolderScanTest, BuildUsesInstallAndPictureFoldersWhenTheListIsEmpty) {
  registry.keys[kShellFoldersKey]["My Pictures"] = FakeRegistry::Text("C:\\Pics");
  fs.Add("C:\\Install", "sample.jpg");
  fs.Add("C:\\Pics", "b.jpg");
  fs.Add("C:\\Pics", "A.jpg");
  TPicList list;
  Strings roots;
  BuildCatalogue(list, scanner, roots, "C:\\Install", registry);
  EXPECT_EQ(roots, (Strings{"C:\\Install", "C:\\Pics"}));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Item(0)->Path, "Root");
  EXPECT_EQ(list.Item(1)->Path, "C:\\Install");
  EXPECT_EQ(Names(*list.Item(2)->Pictures), (Strings{"C:\\Pics\\A.jpg", "C:\\Pics\\b.jpg"}));
  EXPECT_TRUE(list.Item(2)->IncludeSubdirs);
  EXPECT_FALSE(list.Item(2)->AutoRefresh);
}

TEST_F(FolderScanTest, BuildSkipsFoldersWithoutPicturesAndScansSubfolders) {
  fs.Add("D:\\Empty", "notes.txt");
  fs.Add("D:\\Deep", "Sub", FileAttrDirectory);
  fs.Add("D:\\Deep\\Sub", "a.jpg");
  TPicList list;
  Strings roots{"D:\\Empty", "D:\\Missing", "D:\\Deep"};
  scanner.IncludeSubdirs = false;
  BuildCatalogue(list, scanner, roots, "C:\\Install", registry);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(1)->Path, "D:\\Deep");
  EXPECT_EQ(list.PictureName(0), "D:\\Deep\\Sub\\a.jpg");
  EXPECT_EQ(roots.size(), 3u);  // a given list is used as it is
}

// An empty path followed by "\*.*" names the root of the current drive.
TEST_F(FolderScanTest, EmptyPathsNeverScanTheDriveRoot) {
  fs.Add("", "everything.jpg");  // what a search for "\*.*" would find
  TPicList list;
  Strings roots;
  BuildCatalogue(list, scanner, roots, "", registry);
  EXPECT_TRUE(roots.empty());
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.PictureCount(), 0);

  // An empty "Folders" value, and a cache entry without a path, which keeps its lists.
  roots = {"", "\\"};
  BuildCatalogue(list, scanner, roots, "C:\\Install", registry);
  EXPECT_EQ(list.Count(), 1);
  int32_t e = list.AddFolder("");
  list.Item(e)->AutoRefresh = true;
  list.Item(e)->Pictures->assign({"C:\\kept.jpg"});
  RefreshAutoFolders(list, scanner);
  EXPECT_EQ(Names(*list.Item(e)->Pictures), Strings{"C:\\kept.jpg"});
  EXPECT_FALSE(list.Modified);
  EXPECT_TRUE(fs.searches.empty());
  EXPECT_TRUE(fs.probes.empty());
}

TEST_F(FolderScanTest, AutoRefreshKeepsFilteredNamesThatStillExist) {
  fs.Add("C:\\F", "c.jpg");
  fs.Add("C:\\F", "b.jpg");
  fs.Add("C:\\F", "a.jpg");
  TPicList list;
  list.AddFolder("Root");
  list.Item(0)->AutoRefresh = true;  // Root is never rescanned
  list.Item(0)->Pictures->push_back("C:\\single.jpg");
  int32_t e = list.AddFolder("C:\\F");
  list.Item(e)->AutoRefresh = true;
  list.Item(e)->Pictures->assign({"C:\\F\\old.jpg"});
  list.Item(e)->Filtered->assign({"C:\\F\\b.jpg", "C:\\F\\x.jpg"});
  int32_t still = list.AddFolder("C:\\F");  // not marked: left as it is
  list.Item(still)->Pictures->assign({"C:\\F\\old.jpg"});

  RefreshAutoFolders(list, scanner);
  EXPECT_TRUE(list.Modified);
  EXPECT_EQ(Names(*list.Item(0)->Pictures), Strings{"C:\\single.jpg"});
  EXPECT_EQ(Names(*list.Item(e)->Pictures), (Strings{"C:\\F\\a.jpg", "C:\\F\\c.jpg"}));
  EXPECT_EQ(Names(*list.Item(e)->Filtered), (Strings{"C:\\F\\b.jpg", "C:\\F\\x.jpg"}));
  EXPECT_EQ(Names(*list.Item(still)->Pictures), Strings{"C:\\F\\old.jpg"});
  EXPECT_EQ(list.PictureCount(), 4);
}

TEST_F(FolderScanTest, AutoRefreshDropsFilteredNamesGoneFromDisk) {
  fs.Add("C:\\F", "D.jpg");
  fs.Add("C:\\F", "e.jpg");
  fs.Add("C:\\F", "Sub", FileAttrDirectory);
  fs.Add("C:\\F\\Sub", "z.jpg");
  TPicList list;
  list.AddFolder("Root");
  int32_t e = list.AddFolder("C:\\F");
  list.Item(e)->AutoRefresh = true;
  list.Item(e)->IncludeSubdirs = false;
  // a, b, c are gone; d differs in case only and stays filtered as stored.
  list.Item(e)->Filtered->assign({"C:\\F\\a.jpg", "C:\\F\\b.jpg", "C:\\F\\c.jpg", "C:\\F\\d.jpg"});
  RefreshAutoFolders(list, scanner);
  EXPECT_EQ(Names(*list.Item(e)->Pictures), Strings{"C:\\F\\e.jpg"});
  EXPECT_EQ(Names(*list.Item(e)->Filtered), Strings{"C:\\F\\d.jpg"});

  // A folder that vanished keeps only its filtered names.
  list.Item(e)->Path = "C:\\Gone";
  RefreshAutoFolders(list, scanner);
  EXPECT_TRUE(list.Item(e)->Pictures->empty());
  EXPECT_EQ(Names(*list.Item(e)->Filtered), Strings{"C:\\F\\d.jpg"});
}

TEST(DefaultPicturesFolder, UnreadableValuesGiveAnEmptyPath) {
  FakeRegistry registry;
  EXPECT_EQ(DefaultPicturesFolder(registry), "");
  registry.keys[kShellFoldersKey]["My Pictures"] = RegValue{RegType::DWord, {1, 0, 0, 0}};
  EXPECT_EQ(DefaultPicturesFolder(registry), "");
  registry.keys[kShellFoldersKey]["My Pictures"] = FakeRegistry::Text("C:\\Users\\me\\Pictures");
  EXPECT_EQ(DefaultPicturesFolder(registry), "C:\\Users\\me\\Pictures");
  registry.failOpen = true;
  EXPECT_EQ(DefaultPicturesFolder(registry), "");
}

// The native directory search on a real tree: hidden files and folders count, names
// come back sorted whatever order the file system lists them in.
TEST(FolderScanOnDisk, FindsHiddenFilesAtAnyDepth) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("kelv_scan_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / ".hidden" / "deep");
  fs::create_directories(root / "Sub");
  for (const char* name : {"b.JPG", ".secret.jpg", "a.txt", "Sub/c.jpg", ".hidden/deep/A.jpg", "Sub/noext"})
    std::ofstream(root / name) << "x";
  fs::create_directory_symlink(root, root / "Sub" / "back");  // a loop adds no folder to scan

  FolderScanner scanner;
  scanner.Extensions = {".jpg"};
  std::string base = root.string();
  scanner.RefreshFolder(base + "\\", false);
  EXPECT_EQ(scanner.ScanResult, (Strings{base + "\\.hidden\\deep\\A.jpg", base + "\\.secret.jpg", base + "\\b.JPG",
                                         base + "\\Sub\\c.jpg"}));
  scanner.IncludeSubdirs = false;
  scanner.RefreshFolder(base, false);
  EXPECT_EQ(scanner.ScanResult, (Strings{base + "\\.secret.jpg", base + "\\b.JPG"}));
  scanner.RefreshFolder(base + "\\nothing", false);
  EXPECT_TRUE(scanner.ScanResult.empty());
  fs::remove_all(root);
}

}  // namespace
}  // namespace kelv
