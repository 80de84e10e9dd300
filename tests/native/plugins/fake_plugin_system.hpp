// An in-memory platform for the plug-in host: folders of named files, "libraries" that are
// tables of exports in this process, and a log of what the host did.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "plugins/plugin_system.hpp"

namespace kelv::test {

struct ProgramEnded : std::runtime_error {
  ProgramEnded() : std::runtime_error("program ended") {}
};

struct FakeLibrary {
  std::map<std::string, void*> exports;
};

class FakePluginSystem final : public PluginSystem {
public:
  std::map<std::string, std::vector<std::string>> folders;  // folder -> file names
  std::map<std::string, FakeLibrary> libraries;            // full path -> library
  std::map<std::string, uint32_t> loadErrors;              // full path -> error
  std::map<std::string, std::string> files;                // full path -> contents
  std::vector<std::string> unopenable;
  bool memoryManagerPresent = true;
  uint64_t availablePhysical = 8ull << 30;

  std::vector<std::string> log;  // "load X", "free X", "mm load", "mm unload", ...
  std::vector<std::string> messages;
  int openFiles = 0;

  bool FolderExists(const std::string& folder) override { return folders.count(folder) != 0; }
  std::vector<std::string> ListFiles(const std::string& folder) override { return folders[folder]; }
  int CompareNames(const std::string& a, const std::string& b) override;
  NativeModule LoadLibrary(const std::string& path, uint32_t& error) override;
  void* FindExport(NativeModule library, const char* name) override;
  void FreeLibrary(NativeModule library) override;
  std::optional<MemoryManagerProcs> LoadMemoryManager(const std::string& path, uintptr_t& handle,
                                                      uint32_t& error) override;
  void UnloadMemoryManager() override { log.push_back("mm unload"); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  [[noreturn]] void EndProgram() override { throw ProgramEnded(); }
  void ModulesChanged() override { log.push_back("modules changed"); }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  NativeFile OpenFileForRead(const std::string& path) override;
  int64_t FileSize(NativeFile file) override;
  void CloseFile(NativeFile) override { --openFiles; }
  uint64_t AvailablePhysicalMemory() override { return availablePhysical; }

  std::string NameOf(NativeModule library) const;

  // A fake library's handle is the address of its table, a fake file's that of its contents.
  static NativeModule HandleOf(FakeLibrary& library) { return reinterpret_cast<NativeModule>(&library); }
  static FakeLibrary& LibraryOf(NativeModule library) { return *reinterpret_cast<FakeLibrary*>(library); }
};

}  // namespace kelv::test
