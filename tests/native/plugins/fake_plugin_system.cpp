#include "fake_plugin_system.hpp"

#include <algorithm>
#include <strings.h>

namespace kelv::test {

int FakePluginSystem::CompareNames(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str());
}

NativeModule FakePluginSystem::LoadLibrary(const std::string& path, uint32_t& error) {
  if (auto e = loadErrors.find(path); e != loadErrors.end()) {
    error = e->second;
    return nullptr;
  }
  auto it = libraries.find(path);
  if (it == libraries.end()) {
    error = 126;
    return nullptr;
  }
  log.push_back("load " + path);
  error = 0;
  return HandleOf(it->second);
}

void* FakePluginSystem::FindExport(NativeModule library, const char* name) {
  auto& exports = LibraryOf(library).exports;
  auto it = exports.find(name);
  return it == exports.end() ? nullptr : it->second;
}

void FakePluginSystem::FreeLibrary(NativeModule library) { log.push_back("free " + NameOf(library)); }

std::optional<MemoryManagerProcs> FakePluginSystem::LoadMemoryManager(const std::string& path,
                                                                      uintptr_t& handle,
                                                                      uint32_t& error) {
  log.push_back("mm load " + path);
  if (!memoryManagerPresent) {
    handle = 0;
    error = 126;
    return std::nullopt;
  }
  handle = 0x10000;
  error = 0;
  return CHeapMemoryManager();
}

NativeFile FakePluginSystem::OpenFileForRead(const std::string& path) {
  if (std::find(unopenable.begin(), unopenable.end(), path) != unopenable.end()) return kNoFile;
  auto it = files.find(path);
  if (it == files.end()) return kNoFile;
  ++openFiles;
  return NativeFile{reinterpret_cast<std::uintptr_t>(&it->second)};
}

int64_t FakePluginSystem::FileSize(NativeFile file) {
  return static_cast<int64_t>(reinterpret_cast<const std::string*>(static_cast<std::uintptr_t>(file))->size());
}

std::string FakePluginSystem::NameOf(NativeModule library) const {
  for (const auto& [path, lib] : libraries)
    if (reinterpret_cast<const FakeLibrary*>(library) == &lib) return path;
  return "?";
}

}  // namespace kelv::test
