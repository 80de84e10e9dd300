// The platform services the plug-in host stands on: libraries, the folder listing, files,
// the message box and the orderly end of the program. The Win32 form is the product's; tests
// put their own in place with SetPluginSystem.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/native_handles.hpp"
#include "plugins/shared_allocator.hpp"

namespace kelv {

class PluginSystem {
public:
  virtual ~PluginSystem() = default;

  virtual bool FolderExists(const std::string& folder) = 0;
  // Names (without folder) of the plain files directly inside the folder.
  virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  // User-locale, case-insensitive order: <0, 0, >0.
  virtual int CompareNames(const std::string& a, const std::string& b) = 0;

  // A library handle, or null with the system's error code in `error`.
  virtual NativeModule LoadLibrary(const std::string& path, uint32_t& error) = 0;
  // The address of an exported procedure, or null.
  virtual void* FindExport(NativeModule library, const char* name) = 0;
  virtual void FreeLibrary(NativeModule library) = 0;

  // Loads the memory-manager library at `path` and binds its three exports. On failure
  // nothing stays loaded; `handle` and `error` say what the loader returned.
  virtual std::optional<MemoryManagerProcs> LoadMemoryManager(const std::string& path,
                                                              uintptr_t& handle,
                                                              uint32_t& error) = 0;
  virtual void UnloadMemoryManager() = 0;

  // Message box, caption "Kelvora", OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Ends the program in an orderly way with exit code 0 (the run statistics' clean end
  // first). Test systems may throw instead of ending.
  [[noreturn]] virtual void EndProgram() = 0;
  // Tells the crash report that the set of loaded libraries changed.
  virtual void ModulesChanged() = 0;

  virtual bool FileExists(const std::string& path) = 0;
  // Opens for reading (generic read, share read, existing file): the open file or kNoFile.
  virtual NativeFile OpenFileForRead(const std::string& path) = 0;
  virtual int64_t FileSize(NativeFile file) = 0;
  virtual void CloseFile(NativeFile file) = 0;

  virtual uint64_t AvailablePhysicalMemory() = 0;
};

// The process's platform services (Win32, or the native stand-in).
PluginSystem& DefaultPluginSystem();
// The services in use; tests replace them (null restores the default).
PluginSystem& CurrentPluginSystem();
void SetPluginSystem(PluginSystem* system);

// What the program runs on an orderly end and when the loaded libraries change; the start-up
// code registers the run statistics' clean end and the crash report's module refresh here.
struct PluginHostHooks {
  void (*cleanEnd)() = nullptr;
  void (*modulesChanged)() = nullptr;
};
void SetPluginHostHooks(const PluginHostHooks& hooks);
const PluginHostHooks& CurrentPluginHostHooks();

}  // namespace kelv
