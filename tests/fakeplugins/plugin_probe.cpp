// Drives plug-ins for the Wine tests and writes what it saw to a report file.
//   plugin_probe load <folder> <report> [picture]
//       LoadPlugins over <folder> as the installation folder, the loaded tables, a
//       DecodeFile of the picture (and "date <text>": the date taken its module gave),
//       then UnloadPlugins. Ends with exit code 0 also when the
//       host ends the program itself.
//   plugin_probe decode <dll> <mode> <picture> <report>
//       GetInModule and SetOptions of one input module, then one decode; mode is
//       buffer, sizes, rows, filter:<w>x<h> or released (decode after the release notice).
//       The report holds a text line "w h srcW srcH" and then the pixels: w*h*4 bytes
//       (buffer) or w*h*3 bytes as the rows arrived (rows).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/exception.hpp"
#include "kelv_inmodule.h"
#include "plugins/plugin_host.hpp"
#include "settings/settings.hpp"

namespace {

FILE* g_report = nullptr;

void Line(const std::string& text) {
  std::fprintf(g_report, "%s\n", text.c_str());
  std::fflush(g_report);
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

int Load(const std::string& folder, const char* picture) {
  kelv::TheSettings().PluginFolder = folder;
  try {
    kelv::LoadPlugins();
  } catch (const kelv::Exception& e) {
    Line(std::string("exception ") + e.what());
    return 3;
  }
  for (const kelv::InModule& m : kelv::InputModules())
    Line("input " + m.fileName + " " + m.descriptor.name + " " + Hex(m.descriptor.interfaceVersion) +
         " " + Hex(m.descriptor.moduleVersion) + " " + Hex(m.descriptor.flags));
  for (const kelv::EffectModule& m : kelv::EffectModules()) {
    std::string line = "effect " + m.state.fileName + " " + m.descriptor.name + " " +
                       Hex(m.descriptor.moduleVersion) + " groups";
    for (size_t g = 0; g < m.state.groups.size(); ++g)
      line += " " + std::string(m.descriptor.groupNames[g]) + ":" +
              std::to_string(m.state.groups[g].effects.size());
    Line(line);
  }
  Line("libraries " + std::to_string(kelv::ModuleLibraries().size()));
  std::string extensions = "extensions";
  for (const std::string& e : kelv::DeclaredExtensions()) extensions += " " + e;
  Line(extensions);
  if (picture) {
    kelv::DecodeResult r = kelv::DecodeFile(picture, 100, 100, 0, 0);
    std::string line = "decode " + std::to_string(r.decoded) + " " + r.formatName + " " +
                       std::to_string(r.width) + "x" + std::to_string(r.height) + " size " +
                       std::to_string(r.fileSize);
    if (r.bitmap)
      line += " bitmap " + std::to_string(r.bitmap->Width) + "x" + std::to_string(r.bitmap->Height) +
              " " + Hex(r.bitmap->Pixel(0, 0) & 0xFFFFFF);
    Line(line);
    Line("date " + r.dateTaken);
    kelv::FreeBuffer();
  }
  kelv::UnloadPlugins();
  Line("unloaded");
  return 0;
}

std::vector<uint8_t> g_buffer;
void* KELV_CDECL ProbeAlloc(uint32_t bytes) {
  g_buffer.assign(bytes, 0xEE);
  return g_buffer.data();
}

std::vector<uint8_t> g_rows;
intptr_t g_header = 0;
uint8_t KELV_CDECL ProbeSink(intptr_t first, int32_t index, int32_t width, int32_t height) {
  if (index < 0) {
    g_header = first;
    g_rows.assign(static_cast<size_t>(width) * height * 3, 0);
    return 1;
  }
  if (index < height)
    std::memcpy(g_rows.data() + static_cast<size_t>(index) * width * 3,
                reinterpret_cast<const void*>(first), static_cast<size_t>(width) * 3);
  return 1;
}

int Decode(const std::string& dll, const std::string& mode, const std::string& picture) {
  HMODULE library = LoadLibraryA(dll.c_str());
  if (!library) {
    Line("cannot load " + std::to_string(GetLastError()));
    return 2;
  }
  auto getInModule = reinterpret_cast<KelvGetInModuleProc>(
      reinterpret_cast<void*>(GetProcAddress(library, "GetInModule")));
  TInModule* d = getInModule ? getInModule() : nullptr;
  if (!d || d->interfaceVersion != KELV_INMODULE_VERSION) {
    Line("no module");
    return 2;
  }
  KelvRowSinkProc sinkVariable = mode == "rows" ? &ProbeSink : nullptr;
  TInModuleOptions options{};
  options.size = sizeof(options);
  options.allocBuffer = &ProbeAlloc;
  options.flags = KELV_OPT_SIX_ARG;
  options.rowSinkVariable = &sinkVariable;
  int32_t accepted = d->setOptions(&options);
  Line("options " + std::to_string(accepted) + " " + Hex(options.flags));
  if (mode == "released") {
    TInModuleOptions release{};
    release.size = sizeof(release);
    release.flags = KELV_OPT_RELEASE;
    Line("release " + std::to_string(d->setOptions(&release)));
  }

  int32_t wantW = 0, wantH = 0, srcW = 0, srcH = 0;
  if (mode.rfind("filter:", 0) == 0) std::sscanf(mode.c_str() + 7, "%dx%d", &srcW, &srcH);
  void* buffer = reinterpret_cast<void*>(1);
  auto decode = reinterpret_cast<KelvDecode6Proc>(d->decoders[0]);
  decode(const_cast<char*>(picture.c_str()), &wantW, &wantH, &srcW, &srcH,
         mode == "sizes" ? nullptr : &buffer);
  char sizes[128];
  std::snprintf(sizes, sizeof sizes, "%d %d %d %d header=%X buffer=%s", wantW, wantH, srcW, srcH,
                static_cast<unsigned>(g_header), !buffer ? "nil" : buffer == g_buffer.data() ? "host" : "other");
  Line(sizes);
  if (mode == "rows") {
    std::fwrite(g_rows.data(), 1, g_rows.size(), g_report);
  } else if (buffer && buffer == g_buffer.data() && wantW > 0 && wantH > 0) {
    std::fwrite(g_buffer.data(), 1, static_cast<size_t>(wantW) * wantH * 4, g_report);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 1;
  std::string command = argv[1];
  const char* reportPath = command == "load" ? argv[3] : (argc >= 6 ? argv[5] : nullptr);
  if (!reportPath) return 1;
  g_report = std::fopen(reportPath, "wb");
  if (!g_report) return 1;
  int code = 1;
  if (command == "load") code = Load(argv[2], argc >= 5 ? argv[4] : nullptr);
  else if (command == "decode" && argc >= 6) code = Decode(argv[2], argv[3], argv[4]);
  std::fclose(g_report);
  return code;
}
