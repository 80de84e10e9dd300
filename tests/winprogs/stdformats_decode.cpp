// Decodes pictures through stdformats.dll the way the host does (GetInModule, SetOptions
// with the host heap, the host file record, the six-argument decode) and writes what
// arrived, for the Wine tests.
//   stdformats_decode <dll> <jobs> <report>
// A job line: <buffer|rows> <option flags> <wantW> <wantH> <decoder index> <picture> <output>
// A report line per job:
//   <wantW> <wantH> <srcW> <srcH> header=<hex> buffer=<nil|host|other> alloc=<bytes> pad=<n>
// pad counts pixels whose fourth byte is not 0. The output is a binary PPM of what the host
// got: the rows in the order and orientation they came when the sink took the picture, else
// the buffer as red, green, blue.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "kelv_inmodule.h"

namespace {

void* KELV_REGCALL HostGetMem(uint32_t size) { return std::malloc(size ? size : 1); }
void KELV_REGCALL HostFreeMem(void* block) { std::free(block); }
void* KELV_REGCALL HostReallocMem(void** block, uint32_t size) {
  *block = std::realloc(*block, size);
  return *block;
}

std::vector<uint8_t> g_buffer;
uint32_t g_allocated = 0;
void* KELV_CDECL HostAllocBuffer(uint32_t bytes) {
  g_allocated = bytes;
  g_buffer.assign(bytes, 0xEE);
  return g_buffer.data();
}

KelvRowSinkProc g_sinkVariable = nullptr;
intptr_t g_header = 0;
int32_t g_rowsW = 0, g_rowsH = 0;
std::vector<uint8_t> g_rows;
uint8_t KELV_CDECL HostRowSink(intptr_t a, int32_t b, int32_t width, int32_t height) {
  if (b < 0) {
    g_header = a;
    g_rowsW = width;
    g_rowsH = height;
    return 1;
  }
  const auto* row = reinterpret_cast<const uint8_t*>(a);
  g_rows.insert(g_rows.end(), row, row + static_cast<size_t>(width) * 3);
  return 1;
}

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File OpenFile(const char* path, const char* mode) { return File(std::fopen(path, mode), &std::fclose); }

struct LibraryDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

void WritePpm(const char* path, int32_t w, int32_t h, const std::vector<uint8_t>& rgb) {
  const File f = OpenFile(path, "wb");
  if (!f) return;
  std::fprintf(f.get(), "P6\n%d %d\n255\n", w, h);
  std::fwrite(rgb.data(), 1, rgb.size(), f.get());
}

struct Job {
  char mode[16] = {};
  unsigned flags = 0;
  int32_t wantW = 0, wantH = 0;
  int index = 0;
  char picture[MAX_PATH] = {};
  char output[MAX_PATH] = {};
};

std::string RunJob(TInModule* module, const Job& job) {
  const bool rows = std::strcmp(job.mode, "rows") == 0;
  TInModuleOptions options{};
  options.size = sizeof options;
  options.allocBuffer = &HostAllocBuffer;
  options.flags = KELV_OPT_SIX_ARG | job.flags;
  options.rowSinkVariable = &g_sinkVariable;
  options.getMem = &HostGetMem;
  options.freeMem = &HostFreeMem;
  options.reallocMem = &HostReallocMem;
  if (module->setOptions(&options) != 1 || (options.flags & KELV_OPT_SIX_ARG))
    return "options refused";
  g_sinkVariable = rows ? &HostRowSink : nullptr;
  g_buffer.clear();
  g_allocated = 0;
  g_header = 0;
  g_rowsW = g_rowsH = 0;
  g_rows.clear();

  TInHostFile file{};
  file.handle = CreateFileA(job.picture, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file.handle == INVALID_HANDLE_VALUE) return "cannot open " + std::string(job.picture);
  file.magic = KELV_HOSTFILE_MAGIC;
  int32_t wantW = job.wantW, wantH = job.wantH, srcW = 0, srcH = 0;
  void* buffer = reinterpret_cast<void*>(1);
  reinterpret_cast<KelvDecode6Proc>(module->decoders[job.index])(&file, &wantW, &wantH, &srcW,
                                                                   &srcH, &buffer);
  CloseHandle(file.handle);

  const bool host = buffer && buffer == g_buffer.data();
  int pad = 0;
  if (rows && g_rowsW > 0) {
    WritePpm(job.output, g_rowsW, g_rowsH, g_rows);
  } else if (host && wantW > 0 && wantH > 0 &&
             g_buffer.size() == static_cast<size_t>(wantW) * wantH * 4) {
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(wantW) * wantH * 3);
    for (size_t i = 0; i < g_buffer.size(); i += 4) {
      rgb.insert(rgb.end(), {g_buffer[i + 2], g_buffer[i + 1], g_buffer[i]});
      if (g_buffer[i + 3] != 0) ++pad;
    }
    WritePpm(job.output, wantW, wantH, rgb);
  }
  char line[200];
  std::snprintf(line, sizeof line, "%d %d %d %d header=%X buffer=%s alloc=%u pad=%d", wantW, wantH,
                srcW, srcH, static_cast<unsigned>(g_header), !buffer ? "nil" : host ? "host" : "other",
                g_allocated, pad);
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const File report = OpenFile(argv[3], "wb");
  const File jobs = OpenFile(argv[2], "rb");
  if (!report || !jobs) return 2;
  const Library library(LoadLibraryA(argv[1]));
  auto getInModule = library ? reinterpret_cast<KelvGetInModuleProc>(reinterpret_cast<void*>(
                                   GetProcAddress(library.get(), "GetInModule")))
                             : nullptr;
  TInModule* module = getInModule ? getInModule() : nullptr;
  if (!module || module->interfaceVersion != KELV_INMODULE_VERSION) {
    std::fprintf(report.get(), "no module\n");
    return 3;
  }
  char text[4 * MAX_PATH];
  while (std::fgets(text, sizeof text, jobs.get())) {
    Job job;
    if (std::sscanf(text, "%15s %x %d %d %d %259s %259s", job.mode, &job.flags, &job.wantW,
                    &job.wantH, &job.index, job.picture, job.output) != 7)
      continue;
    std::fprintf(report.get(), "%s\n", RunJob(module, job).c_str());
    std::fflush(report.get());
  }
  TInModuleOptions release{};
  release.size = sizeof release;
  release.flags = KELV_OPT_RELEASE;
  module->setOptions(&release);
  return 0;
}
