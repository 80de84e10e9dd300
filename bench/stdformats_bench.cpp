// Decode speed of the standard formats module on a large photo-like JPEG: full size
// against 1/8 pre-scaling (and 1/2, as for a 1920 x 1080 screen), buffer mode and row
// mode, each beside a plain libjpeg decode of the same file at the same scale measured
// in the same run.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "byte_source.hpp"
#include "decode.hpp"
#include "photo_jpeg.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 6000, kHeight = 4000, kRuns = 7;

std::vector<uint8_t> MakePhoto() { return bench::MakePhotoJpeg(kWidth, kHeight); }

std::vector<uint8_t> g_buffer;
void* KELV_CDECL AllocBuffer(uint32_t bytes) {
  g_buffer.resize(bytes);
  return g_buffer.data();
}
uint64_t g_sinkRows = 0;
uint8_t KELV_CDECL Sink(intptr_t, int32_t b, int32_t, int32_t) {
  if (b >= 0) ++g_sinkRows;
  return 1;
}

// The reference: libjpeg alone, scanlines into one reused row.
double PlainDecode(const std::vector<uint8_t>& file, unsigned denominator, unsigned* rows) {
  const auto start = Clock::now();
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), file.size());
  jpeg_read_header(&info, TRUE);
  info.scale_num = 1;
  info.scale_denom = denominator;
  info.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&info);
  std::vector<uint8_t> row(info.output_width * info.output_components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW r[1] = {row.data()};
    jpeg_read_scanlines(&info, r, 1);
  }
  *rows = info.output_height;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double ModuleDecode(const std::vector<uint8_t>& file, int32_t wantW, int32_t wantH, bool rowMode,
                    int32_t* outW, int32_t* outH) {
  const auto start = Clock::now();
  stdformats::MemorySource source(file.data(), file.size());
  stdformats::DecodeContext context;
  context.allocBuffer = &AllocBuffer;
  context.rowSink = rowMode ? &Sink : nullptr;
  int32_t srcW = 0, srcH = 0;
  void* buffer = nullptr;
  *outW = wantW;
  *outH = wantH;
  stdformats::DecodeArgs args{outW, outH, &srcW, &srcH, &buffer};
  if (!stdformats::DecodePicture(stdformats::DecodeKind::Jpeg, source, context, args)) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best times of the two, measured alternately so that a busy machine hits both alike.
template <class F, class G>
std::pair<double, double> BestOfBoth(F f, G g) {
  double bestF = 1e9, bestG = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    bestF = std::min(bestF, f());
    bestG = std::min(bestG, g());
  }
  return {bestF, bestG};
}

}  // namespace

int main() {
  std::printf("generating a %d x %d photo-like JPEG...\n", kWidth, kHeight);
  const std::vector<uint8_t> file = MakePhoto();
  std::printf("file size %.1f MB; best of %d runs each\n\n", file.size() / 1048576.0, kRuns);
  std::printf("%-34s %9s %9s %12s %9s\n", "case", "module s", "libjpeg s", "rows/s", "ratio");

  struct Case {
    const char* name;
    int32_t wantW, wantH;
    unsigned denominator;
    bool rowMode;
  } cases[] = {
      {"scale 1/1, buffer", 0, 0, 1, false},
      {"scale 1/1, row sink", 0, 0, 1, true},
      {"scale 1/2 (1920 x 1080), buffer", 1920, 1080, 2, false},
      {"scale 1/2 (1920 x 1080), row sink", 1920, 1080, 2, true},
      {"scale 1/8 (750 x 500), buffer", 750, 500, 8, false},
  };
  double full = 0, eighth = 0;
  for (const Case& c : cases) {
    int32_t w = 0, h = 0;
    unsigned rows = 0;
    const auto [ours, plain] =
        BestOfBoth([&] { return ModuleDecode(file, c.wantW, c.wantH, c.rowMode, &w, &h); },
                   [&] { return PlainDecode(file, c.denominator, &rows); });
    std::printf("%-34s %9.3f %9.3f %12.0f %8.2fx   (%d x %d)\n", c.name, ours, plain, h / ours,
                ours / plain, w, h);
    if (c.denominator == 1 && !c.rowMode) full = ours;
    if (c.denominator == 8) eighth = ours;
  }
  std::printf("\npre-scaling 1/8 decodes %.1fx faster than 1/1\n", full / eighth);
  std::printf("ratio = module time / plain libjpeg time at the same scale (goal: within 1.10)\n");
  return 0;
}
