// Composes one picture for a screen of the given size with the portable code of the
// program: the standard formats module (linked in, offered to the plug-in host as an
// in-process library) decodes the file, and the picture loader crops, resamples and
// places it exactly as the show does for a one-picture screen. The result goes to a
// binary PPM, so that the Wine tests can compare screenshots of a real show with it.
//
//   compose_reference <picture file> <out.ppm> <width> <height> [name=value ...]
// Settings: Resize, rtresize, crop, Enlarge, ignoreexif, Background (as in the registry,
// 0/1/2).
// Prints the picture's own size ("<w>x<h>"), or a failure line and exit code 1.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/exception.hpp"
#include "imaging/bitmap.hpp"
#include "show/compose.hpp"
#include "kelv_inmodule.h"
#include "module.hpp"  // stdformats
#include "plugins/plugin_host.hpp"
#include "plugins/plugin_system.hpp"
#include "plugins/shared_allocator.hpp"
#include "settings/settings.hpp"

namespace {

constexpr const char* kFolder = "modules";
constexpr const char* kLibrary = "stdformats.dll";

TInModule* KELV_CDECL GetStdFormats() { return stdformats::DescribeModule(); }

// The plug-in host's platform for this tool: one "library" (the linked-in module), the C
// heap as the memory manager, and real files opened as POSIX descriptors, the handle the
// module's native file reader expects.
class InProcessSystem final : public kelv::PluginSystem {
public:
  bool FolderExists(const std::string& folder) override { return folder == kFolder; }
  std::vector<std::string> ListFiles(const std::string&) override { return {kLibrary}; }
  int CompareNames(const std::string& a, const std::string& b) override { return a.compare(b); }
  kelv::NativeModule LoadLibrary(const std::string&, uint32_t& error) override {
    error = 0;
    return reinterpret_cast<kelv::NativeModule>(this);  // any non-null value stands for the one library
  }
  void* FindExport(kelv::NativeModule, const char* name) override {
    return std::string(name) == "GetInModule" ? reinterpret_cast<void*>(&GetStdFormats) : nullptr;
  }
  void FreeLibrary(kelv::NativeModule) override {}
  std::optional<kelv::MemoryManagerProcs> LoadMemoryManager(const std::string&, uintptr_t& handle,
                                                            uint32_t& error) override {
    handle = 1;
    error = 0;
    return kelv::CHeapMemoryManager();
  }
  void UnloadMemoryManager() override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "message: %s\n", text.c_str()); }
  [[noreturn]] void EndProgram() override { std::exit(1); }
  void ModulesChanged() override {}
  bool FileExists(const std::string& path) override {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
  kelv::NativeFile OpenFileForRead(const std::string& path) override {
    const int fd = open(path.c_str(), O_RDONLY);
    return fd < 0 ? kelv::kNoFile : kelv::NativeFile{static_cast<uintptr_t>(fd)};
  }
  int64_t FileSize(kelv::NativeFile file) override {
    struct stat info {};
    return fstat(Descriptor(file), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  }
  void CloseFile(kelv::NativeFile file) override { close(Descriptor(file)); }
  uint64_t AvailablePhysicalMemory() override { return 8ull << 30; }

private:
  static int Descriptor(kelv::NativeFile file) { return static_cast<int>(static_cast<uintptr_t>(file)); }
};

bool Apply(kelv::Settings& s, const std::string& name, int value) {
  if (name == "Resize") s.Resize = static_cast<uint8_t>(value);
  else if (name == "rtresize") s.rtresize = value != 0;
  else if (name == "crop") s.crop = value != 0;
  else if (name == "Enlarge") s.Enlarge = value != 0;
  else if (name == "ignoreexif") s.ignoreexif = value != 0;
  else if (name == "Background") s.Background = value == 1;
  else return false;
  return true;
}

bool WritePpm(const std::string& path, const kelv::TBitmap& b) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  std::fprintf(f.get(), "P6\n%d %d\n255\n", b.Width, b.Height);
  std::vector<uint8_t> row(static_cast<size_t>(b.Width) * 3);
  for (int32_t y = 0; y < b.Height; ++y) {
    const auto* src = reinterpret_cast<const uint8_t*>(b.Row(y));
    for (int32_t x = 0; x < b.Width; ++x) {
      row[x * 3 + 0] = src[x * 4 + 2];
      row[x * 3 + 1] = src[x * 4 + 1];
      row[x * 3 + 2] = src[x * 4 + 0];
    }
    if (std::fwrite(row.data(), 1, row.size(), f.get()) != row.size()) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: compose_reference <picture> <out.ppm> <width> <height> [name=value ...]\n");
    return 2;
  }
  const std::string picture = argv[1];
  const std::string out = argv[2];
  const int32_t width = std::atoi(argv[3]);
  const int32_t height = std::atoi(argv[4]);
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "bad screen size\n");
    return 2;
  }
  kelv::Settings& s = kelv::TheSettings();
  for (int i = 5; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || !Apply(s, arg.substr(0, eq), std::atoi(arg.c_str() + eq + 1))) {
      std::fprintf(stderr, "unknown setting: %s\n", arg.c_str());
      return 2;
    }
  }
  s.PluginFolder = kFolder;

  InProcessSystem system;
  kelv::SetPluginSystem(&system);
  int code = 1;
  try {
    kelv::LoadPlugins();
    std::unique_ptr<kelv::TBitmap> screen = kelv::TBitmap::Create(width, height);
    // The placement options of the show's next-picture bitmap.
    screen->Shrink = true;
    screen->Enlarge = s.Enlarge;
    screen->RandomPos = false;
    screen->Crop = s.crop;
    const kelv::LoadResult result = kelv::LoadPicture(*screen, picture);
    if (result.width > 0 && result.height > 0 && WritePpm(out, *screen)) {
      std::printf("%dx%d\n", result.width, result.height);
      code = 0;
    } else {
      std::printf("not drawn: %dx%d missing=%d unopenable=%d\n", result.width, result.height,
                  result.fileMissing ? 1 : 0, result.fileUnopenable ? 1 : 0);
    }
    kelv::UnloadPlugins();
  } catch (const kelv::Exception& e) {
    std::printf("failed: %s\n", e.what());
  }
  kelv::SetPluginSystem(nullptr);
  return code;
}
