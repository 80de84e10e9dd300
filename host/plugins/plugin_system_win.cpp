// The plug-in host's platform on Win32: LoadLibraryA/GetProcAddress, FindFirstFileA,
// CreateFileA, the message box and the process end.
#include <windows.h>

#include <memory>

#include "common/native_handles_win.hpp"
#include "common/code_page_win.hpp"
#include "common/owners_win.hpp"
#include "plugins/plugin_system.hpp"

namespace kelv {

namespace {

template <typename Proc>
Proc ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

class WinPluginSystem final : public PluginSystem {
public:
  WinPluginSystem() = default;
  ~WinPluginSystem() override {
    // Reached only at process end when UnloadPlugins never ran: plug-ins may still be
    // loaded and free blocks of the shared heap as they go, so the memory manager stays.
    (void)memoryManager_.release();
  }

  bool FolderExists(const std::string& folder) override {
    DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  std::vector<std::string> ListFiles(const std::string& folder) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
    pattern += "*.*";
    HANDLE found = ::FindFirstFileA(pattern.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) return names;
    win::UniqueFind search(found);
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
    } while (::FindNextFileA(found, &data));
    return names;
  }

  int CompareNames(const std::string& a, const std::string& b) override {
    return win::CompareProgramText(a, b);
  }

  NativeModule LoadLibrary(const std::string& path, uint32_t& error) override {
    HMODULE module = ::LoadLibraryA(path.c_str());
    error = module ? 0 : ::GetLastError();
    return module;
  }

  void* FindExport(NativeModule library, const char* name) override {
    return reinterpret_cast<void*>(::GetProcAddress(library, name));
  }

  void FreeLibrary(NativeModule library) override { ::FreeLibrary(library); }

  std::optional<MemoryManagerProcs> LoadMemoryManager(const std::string& path, uintptr_t& handle,
                                                      uint32_t& error) override {
    HMODULE module = ::LoadLibraryA(path.c_str());
    handle = reinterpret_cast<uintptr_t>(module);
    error = ::GetLastError();
    if (handle < 33) return std::nullopt;
    win::UniqueLibrary library(module);
    MemoryManagerProcs procs;
    procs.get = ExportOf<MemoryManagerGetProc>(module, kMemoryManagerGetName);
    procs.free = ExportOf<MemoryManagerFreeProc>(module, kMemoryManagerFreeName);
    procs.realloc = ExportOf<MemoryManagerReallocProc>(module, kMemoryManagerReallocName);
    if (!procs.complete()) {
      // A library without the three exports is as unusable as a missing one.
      error = ::GetLastError();
      handle = 0;
      return std::nullopt;
    }
    memoryManager_ = std::move(library);
    return procs;
  }

  void UnloadMemoryManager() override { memoryManager_.reset(); }

  void ShowMessage(const std::string& text) override {
    ::MessageBoxA(nullptr, text.c_str(), "Kelvora", MB_OK);
  }

  [[noreturn]] void EndProgram() override {
    if (auto cleanEnd = CurrentPluginHostHooks().cleanEnd) cleanEnd();
    ::ExitProcess(0);
  }

  void ModulesChanged() override {
    if (auto changed = CurrentPluginHostHooks().modulesChanged) changed();
  }

  bool FileExists(const std::string& path) override {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  NativeFile OpenFileForRead(const std::string& path) override {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : win::ToNativeFile(file);
  }

  int64_t FileSize(NativeFile file) override {
    LARGE_INTEGER size;
    return ::GetFileSizeEx(win::ToHandle(file), &size) ? size.QuadPart : -1;
  }

  void CloseFile(NativeFile file) override { ::CloseHandle(win::ToHandle(file)); }

  uint64_t AvailablePhysicalMemory() override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    return ::GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
  }

private:
  win::UniqueLibrary memoryManager_;
};

}  // namespace

PluginSystem& DefaultPluginSystem() {
  static WinPluginSystem system;
  return system;
}

}  // namespace kelv
