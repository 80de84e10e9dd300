#include "fake_plugin_system.hpp"

#include <algorithm>
#include <strings.h>

namespace kelv::test {

int FakePluginSystem::CompareNames(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str());
}

void* FakePluginSystem::LoadLibrary(const std::string& path, uint32_t& error) {
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
  return &it->second;
}

void* FakePluginSystem::FindExport(void* library, const char* name) {
  auto& exports = static_cast<FakeLibrary*>(library)->exports;
  auto it = exports.find(name);
  return it == exports.end() ? nullptr : it->second;
}

void FakePluginSystem::FreeLibrary(void* library) { log.push_back("free " + NameOf(library)); }

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

void* FakePluginSystem::OpenFileForRead(const std::string& path) {
  if (std::find(unopenable.begin(), unopenable.end(), path) != unopenable.end()) return nullptr;
  auto it = files.find(path);
  if (it == files.end()) return nullptr;
  ++openFiles;
  return &it->second;
}

int64_t FakePluginSystem::FileSize(void* file) {
  return static_cast<int64_t>(static_cast<std::string*>(file)->size());
}

std::string FakePluginSystem::NameOf(void* library) const {
  for (const auto& [path, lib] : libraries)
    if (&lib == library) return path;
  return "?";
}

}  // namespace kelv::test
