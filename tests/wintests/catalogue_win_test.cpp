// The catalogue's Win32 platform files: the directory search with hidden and system
// files, the user-locale order of scan results, file times, and the cache file's
// replace-when-complete save and share-mode reads.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/cache_file.hpp"
#include "catalogue/folder_scan.hpp"
#include "catalogue/name_compare.hpp"
#include "common/exception.hpp"

namespace kelv {
namespace {

using Strings = std::vector<std::string>;

// The system file system with its waits recorded instead of slept.
class NoWaitFileSystem : public CatalogueFileSystem {
public:
  std::vector<uint32_t> sleeps;
  CatalogueFileSystem& real = SystemFileSystem();
  bool Search(const std::string& p, const FoundEntry& f) override { return real.Search(p, f); }
  uint64_t LastWriteTime(const std::string& p) override { return real.LastWriteTime(p); }
  bool FileExists(const std::string& p) override { return real.FileExists(p); }
  bool FolderExists(const std::string& p) override { return real.FolderExists(p); }
  bool CreateFolder(const std::string& p) override { return real.CreateFolder(p); }
  uint32_t ReadWholeFile(const std::string& p, size_t m, std::vector<uint8_t>& d) override {
    return real.ReadWholeFile(p, m, d);
  }
  uint32_t ReplaceFile(const std::string& p, const std::vector<uint8_t>& d) override { return real.ReplaceFile(p, d); }
  void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
};

struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

class CatalogueWin : public ::testing::Test {
protected:
  std::string root;

  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "kelv_cat_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount());
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(root); }

  static void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = dir + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(path);
        else
          DeleteFileA(path.c_str());
      } while (FindNextFileA(h, &data));
      FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
  }

  void MakeFile(const std::string& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                const std::string& content = "x") {
    std::string path = root + "\\" + relative;
    Handle file{CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr)};
    ASSERT_NE(file.h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file.h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  }
  void MakeFolder(const std::string& relative, DWORD attributes = 0) {
    std::string path = root + "\\" + relative;
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
    if (attributes) SetFileAttributesA(path.c_str(), attributes);
  }
  Strings FilesIn(const std::string& dir) {
    Strings names;
    SystemFileSystem().Search(dir + "\\*.*", [&](const std::string& name, uint32_t) {
      if (name != "." && name != "..") names.push_back(name);
    });
    return names;
  }
};

TEST_F(CatalogueWin, NamesCompareByUserLocaleWithoutCase) {
  EXPECT_EQ(CompareNames("B.JPG", "b.jpg"), 0);
  EXPECT_LT(CompareNames("a.jpg", "B.jpg"), 0);
  EXPECT_LT(CompareNames("a.jpg", "Z.jpg"), 0);  // a plain byte order puts Z first
  EXPECT_GT(CompareNames("photo10.jpg", "photo1.jpg"), 0);
  EXPECT_LT(CompareNames("", "a"), 0);
}

TEST_F(CatalogueWin, ScanFindsHiddenAndSystemFilesInLocaleOrder) {
  MakeFile("Zebra.JPG");
  MakeFile("apple.jpg", FILE_ATTRIBUTE_HIDDEN);
  MakeFile("Mango.jpg", FILE_ATTRIBUTE_SYSTEM);
  MakeFile("banana.Jpeg");
  MakeFile("notes.txt");
  MakeFile("noext");
  MakeFolder("Sub");
  MakeFile("Sub\\cherry.jpg");
  MakeFolder("Sub\\Hidden", FILE_ATTRIBUTE_HIDDEN);
  MakeFile("Sub\\Hidden\\date.JPG");
  MakeFolder("folder.jpg");

  FolderScanner scanner;
  scanner.Extensions = BuildExtensionList({".JPG", ".jpeg"});
  scanner.RefreshFolder(root + "\\", false);
  Strings expected{root + "\\apple.jpg", root + "\\banana.Jpeg", root + "\\Mango.jpg", root + "\\Sub\\cherry.jpg",
                   root + "\\Sub\\Hidden\\date.JPG", root + "\\Zebra.JPG"};
  EXPECT_EQ(scanner.ScanResult, expected);
  EXPECT_EQ(scanner.CurrentScanRoot(), root);
  for (size_t i = 1; i < scanner.ScanResult.size(); ++i) {
    const std::string& a = scanner.ScanResult[i - 1];
    const std::string& b = scanner.ScanResult[i];
    EXPECT_NE(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1), CSTR_GREATER_THAN);
  }

  scanner.IncludeSubdirs = false;
  scanner.RefreshFolder(root, false);
  EXPECT_EQ(scanner.ScanResult.size(), 4u);
  scanner.RefreshFolder(root + "\\missing", false);
  EXPECT_TRUE(scanner.ScanResult.empty());
  EXPECT_TRUE(scanner.FolderHasEntries(root + "\\*.jpeg"));
  EXPECT_FALSE(scanner.FolderHasEntries(root + "\\*.png"));
}

TEST_F(CatalogueWin, CacheFileTimeIsTheLastWriteTime) {
  std::string path = root + "\\piclist.dat";
  EXPECT_EQ(CacheFileTime(path), 0u);
  MakeFile("piclist.dat");
  FILETIME set{0x12345678, 0x01D00000};
  {
    Handle file{CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(SetFileTime(file.h, nullptr, nullptr, &set));
  }
  EXPECT_EQ(CacheFileTime(path), 0x01D0000012345678ull);
}

TEST_F(CatalogueWin, SaveReplacesTheFileWholeOrNotAtAll) {
  std::string path = root + "\\Kelvora\\piclist.dat";
  TPicList list;
  list.AddFolder("Root");
  int32_t e = list.AddFolder("C:\\P");
  list.Item(e)->Pictures->assign({"C:\\P\\a.jpg", "C:\\P\\b.jpg"});
  list.Item(e)->Filtered->assign({"C:\\P\\c.jpg"});
  SaveCatalogue(list, path);  // creates the missing folder
  SaveCatalogue(list, path);  // and replaces an existing file
  EXPECT_EQ(FilesIn(root + "\\Kelvora"), Strings{"piclist.dat"});
  TPicList loaded;
  EXPECT_TRUE(LoadCatalogue(loaded, path));
  EXPECT_EQ(EncodeCatalogue(loaded), EncodeCatalogue(list));

  // A reader that denies writers keeps the file from being replaced: three attempts,
  // then the error, with the old contents intact and no temporary file left over.
  NoWaitFileSystem fs;
  TPicList other;
  other.AddFolder("Root");
  {
    Handle reader{CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_NE(reader.h, INVALID_HANDLE_VALUE);
    try {
      SaveCatalogue(other, path, fs);
      ADD_FAILURE() << "save succeeded over a locked file";
    } catch (const EInOutError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Unable to write file \"" + path + "\", Error = ", 0), 0u) << e.what();
    }
  }
  EXPECT_EQ(fs.sleeps, (std::vector<uint32_t>{300, 500}));
  EXPECT_EQ(FilesIn(root + "\\Kelvora"), Strings{"piclist.dat"});
  TPicList again;
  LoadCatalogue(again, path);
  EXPECT_EQ(EncodeCatalogue(again), EncodeCatalogue(list));
}

TEST_F(CatalogueWin, LoadWaitsForAWriterAndThenGivesUp) {
  std::string path = root + "\\piclist.dat";
  TPicList list;
  list.AddFolder("Root");
  SaveCatalogue(list, path);
  NoWaitFileSystem fs;
  Handle writer{CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
  ASSERT_NE(writer.h, INVALID_HANDLE_VALUE);
  TPicList loaded;
  try {
    LoadCatalogue(loaded, path, fs);
    ADD_FAILURE() << "read a file another process writes";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to open file \"" + path + "\", Error = 32");
  }
  EXPECT_EQ(fs.sleeps, (std::vector<uint32_t>{300, 500, 2000}));
}

}  // namespace
}  // namespace kelv
