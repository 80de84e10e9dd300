// The plug-in host's Win32 layer: the folder listing and name order it loads by, the host
// file access, and the shared allocator bound to the real fastmm.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugins/plugin_host.hpp"
#include "plugins/plugin_rules.hpp"
#include "plugins/plugin_system.hpp"
#include "plugins/shared_allocator.hpp"

namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.find_last_of("\\/") + 1);
}

std::string TempFolder(const char* name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

void WriteTextFile(const std::string& path, const std::string& content) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(f, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(f);
}

TEST(PluginSystemWin, ListsPlainFilesAndOrdersLibrariesCaseInsensitively) {
  kelv::PluginSystem& sys = kelv::DefaultPluginSystem();
  std::string folder = TempFolder("kelv_plugin_list");
  for (const char* name : {"b.DLL", "A.dll", "readme.txt", "C.Dll"}) WriteTextFile(folder + "\\" + name, "x");
  CreateDirectoryA((folder + "\\sub.dll").c_str(), nullptr);  // a folder named like a library

  std::vector<std::string> files = kelv::PluginLibraryFiles(
      sys.ListFiles(folder), [&](const std::string& a, const std::string& b) { return sys.CompareNames(a, b); });
  EXPECT_EQ(files, (std::vector<std::string>{"A.dll", "b.DLL", "C.Dll"}));
  EXPECT_TRUE(sys.FolderExists(folder));
  EXPECT_FALSE(sys.FolderExists(folder + "\\missing"));
  EXPECT_FALSE(sys.FileExists(folder + "\\sub.dll"));
}

TEST(PluginSystemWin, OpensFilesSharedForReadingAndReportsSize) {
  kelv::PluginSystem& sys = kelv::DefaultPluginSystem();
  std::string path = TempFolder("kelv_plugin_file") + "\\picture.jpg";
  WriteTextFile(path, std::string(1234, 'p'));
  const kelv::NativeFile first = sys.OpenFileForRead(path);
  const kelv::NativeFile second = sys.OpenFileForRead(path);  // another reader is allowed
  ASSERT_NE(first, kelv::kNoFile);
  ASSERT_NE(second, kelv::kNoFile);
  EXPECT_EQ(sys.FileSize(first), 1234);
  sys.CloseFile(first);
  sys.CloseFile(second);
  EXPECT_EQ(sys.OpenFileForRead(path + ".missing"), kelv::kNoFile);
}

TEST(PluginSystemWin, MemoryManagerServesTheSharedAllocator) {
  kelv::PluginSystem& sys = kelv::DefaultPluginSystem();
  uintptr_t handle = 0;
  uint32_t error = 0;
  auto missing = sys.LoadMemoryManager(ExeFolder() + "nowhere\\fastmm.dll", handle, error);
  EXPECT_FALSE(missing.has_value());
  EXPECT_LT(handle, 33u);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(kelv::MemoryManagerFailureMessage(handle, error).rfind("Can't load \"fastmm.dll\". Please reinstall Kelvora. Error ", 0), 0u);

  auto procs = sys.LoadMemoryManager(ExeFolder() + "..\\dist\\fastmm.dll", handle, error);
  ASSERT_TRUE(procs.has_value()) << error;
  EXPECT_GE(handle, 33u);
  kelv::BindSharedAllocator(*procs);
  EXPECT_EQ(kelv::SharedGetMem(0), nullptr);
  void* block = kelv::SharedGetMem(100);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0x5A, 100);
  ASSERT_TRUE(kelv::SharedReallocMem(block, 1 << 20));
  EXPECT_EQ(static_cast<uint8_t*>(block)[99], 0x5A);
  // The heap routines handed to plug-ins resize in place of the caller's reference.
  void* viaHost = block;
  EXPECT_EQ(kelv::HostReallocMem(&viaHost, 64), viaHost);
  EXPECT_EQ(static_cast<uint8_t*>(viaHost)[63], 0x5A);
  EXPECT_EQ(kelv::HostReallocMem(&viaHost, 0), nullptr);
  EXPECT_EQ(viaHost, nullptr);
  void* grown = nullptr;
  EXPECT_NE(kelv::HostReallocMem(&grown, 16), nullptr);  // nil grows into a new block
  kelv::HostFreeMem(grown);
  EXPECT_EQ(kelv::HostGetMem(100'000'001), nullptr);
  kelv::UnbindSharedAllocator();
  EXPECT_EQ(kelv::SharedGetMem(16), nullptr);  // unbound: nothing from another heap
  sys.UnloadMemoryManager();
}

}  // namespace
