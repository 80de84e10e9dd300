// Native stand-in for the plug-in host's platform: folders and files through the C++
// library, no loadable libraries (every library fails with error 126, "module not found"),
// the C heap as the memory manager, and message boxes written to stderr.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <strings.h>
#include <unistd.h>

#include "plugins/plugin_system.hpp"

namespace kelv {

namespace {

namespace fs = std::filesystem;

class PosixPluginSystem final : public PluginSystem {
public:
  bool FolderExists(const std::string& folder) override {
    std::error_code ec;
    return fs::is_directory(folder, ec);
  }
  std::vector<std::string> ListFiles(const std::string& folder) override {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
      if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
    return names;
  }
  int CompareNames(const std::string& a, const std::string& b) override {
    return strcasecmp(a.c_str(), b.c_str());
  }
  NativeModule LoadLibrary(const std::string&, uint32_t& error) override {
    error = 126;
    return nullptr;
  }
  void* FindExport(NativeModule, const char*) override { return nullptr; }
  void FreeLibrary(NativeModule) override {}
  std::optional<MemoryManagerProcs> LoadMemoryManager(const std::string&, uintptr_t& handle,
                                                      uint32_t& error) override {
    handle = 1;
    error = 0;
    return CHeapMemoryManager();
  }
  void UnloadMemoryManager() override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "Kelvora: %s\n", text.c_str()); }
  [[noreturn]] void EndProgram() override {
    if (auto cleanEnd = CurrentPluginHostHooks().cleanEnd) cleanEnd();
    std::exit(0);
  }
  void ModulesChanged() override {
    if (auto changed = CurrentPluginHostHooks().modulesChanged) changed();
  }
  bool FileExists(const std::string& path) override {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
  }
  // An open file here is a C stream; its address is the opaque value.
  NativeFile OpenFileForRead(const std::string& path) override {
    return NativeFile{reinterpret_cast<std::uintptr_t>(std::fopen(path.c_str(), "rb"))};
  }
  int64_t FileSize(NativeFile file) override {
    FILE* f = Stream(file);
    long here = std::ftell(f);
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(f);
    std::fseek(f, here, SEEK_SET);
    return size;
  }
  void CloseFile(NativeFile file) override { std::fclose(Stream(file)); }
  uint64_t AvailablePhysicalMemory() override {
    long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) : 0;
  }

private:
  static FILE* Stream(NativeFile file) { return reinterpret_cast<FILE*>(static_cast<std::uintptr_t>(file)); }
};

}  // namespace

PluginSystem& DefaultPluginSystem() {
  static PosixPluginSystem system;
  return system;
}

}  // namespace kelv
