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
  bool HasMatch(const std::string& p) override { return real.HasMatch(p); }
  bool IdentifyFolder(const std::string& p, FolderIdentity& i) override { return real.IdentifyFolder(p, i); }
  bool IsLeadByte(uint8_t b) const override { return real.IsLeadByte(b); }
  bool FolderExists(const std::string& p) override { return real.FolderExists(p); }
  bool CreateFolder(const std::string& p) override { return real.CreateFolder(p); }
  bool RemoveFile(const std::string& p) override { return real.RemoveFile(p); }
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

// A link to a folder, removed again when it goes. Windows makes a directory symbolic link
// (where the account may). Wine's CreateSymbolicLink only claims success, so under Wine
// the link is a Unix symbolic link, which Wine lists as a directory reparse point and
// follows as Windows follows a link; Wine cannot remove one either, so Unix "rm" does.
class FolderLink {
public:
  FolderLink(const std::string& link, const std::string& target) : link_(link) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    spawn_ = reinterpret_cast<Spawn>(GetProcAddress(ntdll, "__wine_unix_spawnvp"));
    auto unixName = reinterpret_cast<UnixName>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (spawn_ && unixName) {
      std::string folder = UnixPath(unixName, link.substr(0, link.rfind('\\')));
      unixLink_ = folder + link.substr(link.rfind('\\')).replace(0, 1, "/");
      std::string unixTarget = UnixPath(unixName, target);
      if (folder.empty() || unixTarget.empty()) return;
      Run({"ln", "-s", unixTarget, unixLink_});
    } else {
      CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged */);
    }
  }
  ~FolderLink() {
    if (!made()) return;
    if (spawn_)
      Run({"rm", unixLink_});
    else
      RemoveDirectoryA(link_.c_str());
  }
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;
  bool made() const {
    DWORD attributes = GetFileAttributesA(link_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }

private:
  using Spawn = LONG(WINAPI*)(char* const*, int);
  using UnixName = char*(CDECL*)(const wchar_t*);

  static std::string UnixPath(UnixName unixName, const std::string& path) {
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return {};
    char* name = unixName(wide);
    if (!name) return {};
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
  }
  void Run(std::vector<std::string> args) const {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    spawn_(argv.data(), 1);
  }

  std::string link_, unixLink_;
  Spawn spawn_ = nullptr;
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
        // A link is removed by its owner; following it could lead out of the tree.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
          RemoveDirectoryA(path.c_str());
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
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
  // The names in a folder, sorted.
  Strings FilesIn(const std::string& dir) {
    Strings names;
    SystemFileSystem().Search(dir + "\\*.*", [&](const std::string& name, uint32_t) {
      if (name != "." && name != "..") names.push_back(name);
    });
    std::sort(names.begin(), names.end());
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

  // An empty path is no folder; "\\*.*" would be the root of the drive that holds ours.
  char previous[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
  scanner.IncludeSubdirs = true;
  scanner.RefreshFolder("", false);
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(scanner.ScanResult.empty());
}

// A link back into the tree is not followed round (until the path grows too long);
// a link out of the tree is, and its pictures are listed under the link's path.
TEST_F(CatalogueWin, ScanVisitsEachFolderOnceThroughLinks) {
  MakeFolder("Pics");
  MakeFile("Pics\\a.jpg");
  MakeFolder("Pics\\Sub");
  MakeFile("Pics\\Sub\\b.jpg");
  MakeFolder("Outside");
  MakeFile("Outside\\c.jpg");
  const std::string pics = root + "\\Pics";
  FolderLink back(pics + "\\Sub\\back", pics);
  FolderLink out(pics + "\\out", root + "\\Outside");
  if (!back.made() || !out.made()) GTEST_SKIP() << "no folder links can be made here";

  FolderScanner scanner;
  scanner.Extensions = {".jpg"};
  scanner.RefreshFolder(pics, false);
  EXPECT_EQ(scanner.ScanResult, (Strings{pics + "\\a.jpg", pics + "\\out\\c.jpg", pics + "\\Sub\\b.jpg"}));
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
  // A save cut short leaves its temporary file; the next save removes it and only it.
  char stale[MAX_PATH];
  ASSERT_NE(GetTempFileNameA((root + "\\Kelvora").c_str(), kReplaceTempPrefix, 0, stale), 0u);
  MakeFile("Kelvora\\kvc.tmp");
  MakeFile("Kelvora\\kvcnotes.tmp");
  SaveCatalogue(list, path);  // and replaces an existing file
  EXPECT_EQ(GetFileAttributesA(stale), INVALID_FILE_ATTRIBUTES) << stale;
  EXPECT_EQ(FilesIn(root + "\\Kelvora"), (Strings{"kvc.tmp", "kvcnotes.tmp", "piclist.dat"}));
  ASSERT_TRUE(DeleteFileA((root + "\\Kelvora\\kvc.tmp").c_str()));
  ASSERT_TRUE(DeleteFileA((root + "\\Kelvora\\kvcnotes.tmp").c_str()));
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
