// Decode time of the modern formats module on a 12-megapixel (4000 x 3000) photo as HEIC
// and as AVIF, asked for a 1920 x 1080 screen (these formats cannot be pre-scaled, so the
// whole picture is decoded), buffer mode and row mode, beside the reference command-line
// decoders on the same file: heif-convert and avifdec writing raw Y4M (decoding without
// the conversion to RGB that the module does), their process start-up taken off.
// The files are made by heif-enc and avifenc from a photo-like JPEG.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "modernformats/decode.hpp"
#include "photo_jpeg.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 4000, kHeight = 3000, kRuns = 5;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double TimeCommand(const std::string& command) {
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  return status == 0 ? Seconds(start) : -1.0;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> g_buffer;
void* KELV_CDECL AllocBuffer(uint32_t bytes) {
  g_buffer.resize(bytes);
  return g_buffer.data();
}
uint8_t KELV_CDECL Sink(intptr_t, int32_t, int32_t, int32_t) { return 1; }

double ModuleDecode(const std::vector<uint8_t>& file, bool rowMode) {
  const auto start = Clock::now();
  modernformats::DecodeContext context;
  context.allocBuffer = &AllocBuffer;
  context.rowSink = rowMode ? &Sink : nullptr;
  int32_t wantW = 1920, wantH = 1080, srcW = 0, srcH = 0;
  void* buffer = nullptr;
  const modernformats::DecodeArgs args{&wantW, &wantH, &srcW, &srcH, &buffer};
  if (!modernformats::DecodePicture(file, context, args) || srcW != kWidth || srcH != kHeight) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(1);
  }
  return Seconds(start);
}

}  // namespace

int main() {
  char pattern[] = "/tmp/modernformats_benchXXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string dir = pattern;
  std::printf("making a %d x %d photo as HEIC (heif-enc -q 80) and AVIF (avifenc -s 8)...\n", kWidth, kHeight);
  {
    const std::vector<uint8_t> jpeg = bench::MakePhotoJpeg(kWidth, kHeight);
    std::ofstream(dir + "/photo.jpg", std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                              static_cast<std::streamsize>(jpeg.size()));
  }
  const bool made =
      std::system(("heif-enc -q 80 " + dir + "/photo.jpg -o " + dir + "/photo.heic >/dev/null").c_str()) == 0 &&
      std::system(("avifenc -s 8 " + dir + "/photo.jpg " + dir + "/photo.avif >/dev/null").c_str()) == 0;
  if (!made) {
    std::printf("heif-enc or avifenc missing (Debian packages libheif-examples, libavif-bin)\n");
    return 1;
  }
  double spawn = 1e9;
  for (int i = 0; i < kRuns; ++i) spawn = std::min(spawn, TimeCommand("true"));

  struct Format {
    const char* name;
    const char* file;
    std::string reference;
  } formats[] = {
      {"HEIC", "photo.heic", "heif-convert --quiet " + dir + "/photo.heic " + dir + "/out.y4m >/dev/null"},
      {"AVIF", "photo.avif", "avifdec " + dir + "/photo.avif " + dir + "/out.y4m >/dev/null"},
  };
  std::printf("best of %d runs each; tool times less %.3f s of process start-up\n\n", kRuns, spawn);
  std::printf("%-6s %9s %11s %11s %11s %9s\n", "format", "file MB", "buffer s", "row sink s", "tool s", "ratio");
  for (const Format& f : formats) {
    const std::vector<uint8_t> file = ReadFile(dir + "/" + f.file);
    double buffer = 1e9, rows = 1e9, tool = 1e9;
    // Alternately, so that a busy machine hits all alike.
    for (int i = 0; i < kRuns; ++i) {
      buffer = std::min(buffer, ModuleDecode(file, false));
      rows = std::min(rows, ModuleDecode(file, true));
      const double t = TimeCommand(f.reference);
      if (t < 0) {
        std::printf("%s: the reference decoder failed\n", f.name);
        return 1;
      }
      tool = std::min(tool, std::max(0.0, t - spawn));
    }
    std::printf("%-6s %9.2f %11.3f %11.3f %11.3f %8.2fx\n", f.name, file.size() / 1048576.0, buffer, rows, tool,
                buffer / tool);
  }
  std::printf("\nratio = module buffer-mode time / reference decoder time\n");
  std::filesystem::remove_all(dir);
  return 0;
}
