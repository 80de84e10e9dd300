// Our imaging beside outside tools, on one generated 6000 x 4000 photo-like JPEG and
// measured in the same run (best of several rounds, ours and the tool alternately so
// that a busy machine hits both alike):
//   1. the resampler fitting the picture to 1920 x 1080 (Hermite, Lanczos3) beside
//      Pillow's Image.resize (BILINEAR, LANCZOS) on the same pixels, single thread;
//   2. the standard formats decode at 1/2 for a 1920 x 1080 screen (buffer and row
//      mode) beside `djpeg -scale 1/2` on the same file;
//   3. file to placed 1920 x 1080 picture (read, decode with pre-scale, row sink,
//      resample, placement) beside `vipsthumbnail --size 1920x1080` on the same file;
//   4. libvips in this process (operation cache off, one thread, result written to
//      memory) on the same pixels and file: the pure resample and file to screen;
//   5. a 25-picture screen of 12-megapixel JPEGs, rows through the helper thread
//      beside the serial form (whole picture, then resample).
// A tool that is not installed skips its comparison. Outside tools run as processes:
// their times have the cost of starting an empty shell command taken off.
//
//   bench_compare_bench [rounds] [sections, e.g. 14; default all]
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#if KELV_BENCH_VIPS
#include <vips/vips.h>
#endif

#include "byte_source.hpp"
#include "decode.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/resample_filters.hpp"
#include "imaging/resample_placement.hpp"
#include "imaging/resampler.hpp"
#include "imaging/resampler_rowsink.hpp"
#include "photo_jpeg.hpp"
#include "show/compose.hpp"
#include "show/compose_layout.hpp"
#include "settings/settings.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 6000, kHeight = 4000, kScreenW = 1920, kScreenH = 1080;
const char* const kPython = "/usr/bin/python3";

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// --- the test picture -------------------------------------------------------------

std::vector<uint8_t> MakePhoto(int width = kWidth, int height = kHeight) {
  return bench::MakePhotoJpeg(width, height);
}

// The whole picture as RGB bytes, decoded at full size.
std::vector<uint8_t> DecodeRgb(const std::vector<uint8_t>& file) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), file.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  std::vector<uint8_t> rgb(size_t(info.output_width) * info.output_height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW r[1] = {&rgb[size_t(info.output_scanline) * info.output_width * 3]};
    jpeg_read_scanlines(&info, r, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return rgb;
}

bool WriteFile(const std::string& path, const void* data, size_t size,
               const std::string& header = {}) {
  std::ofstream out(path, std::ios::binary);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// A scratch folder removed at the end of the run.
struct TempDir {
  TempDir() {
    char pattern[] = "/tmp/kelv-bench-XXXXXX";
    if (mkdtemp(pattern)) path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string File(const char* name) const { return path + "/" + name; }
  std::string path;
};

// --- outside tools ------------------------------------------------------------------

bool Succeeds(const std::string& command) { return std::system(command.c_str()) == 0; }

// Wall time of a shell command, or a negative value when it failed.
double TimeCommand(const std::string& command) {
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double s = Seconds(start);
  return status == 0 ? s : -1.0;
}

double g_spawnCost = 0.0;  // an empty shell command, taken off every tool time

// A tool's wall time less the spawn cost; negative when it failed.
double BestToolTime(const std::string& command) {
  const double s = TimeCommand(command);
  return s < 0 ? s : std::max(0.0, s - g_spawnCost);
}

// --- our side -----------------------------------------------------------------------

std::vector<uint8_t> g_buffer;
void* KELV_CDECL AllocBuffer(uint32_t bytes) {
  g_buffer.resize(bytes);
  return g_buffer.data();
}
uint8_t KELV_CDECL CountingSink(intptr_t, int32_t, int32_t, int32_t) { return 1; }

// The host's row sink behind the plug-in's C calling convention: no exception crosses.
uint8_t KELV_CDECL HostSink(intptr_t a, int32_t b, int32_t width, int32_t height) {
  try {
    return kelv::RowSink(a, b, width, height) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// Decodes for a picture of wantW x wantH, which the module turns into the decoded size.
bool Decode(stdformats::ByteSource& source, KelvRowSinkProc sink, void** buffer,
            int32_t& wantW, int32_t& wantH) {
  stdformats::DecodeContext context;
  context.allocBuffer = &AllocBuffer;
  context.rowSink = sink;
  int32_t srcW = 0, srcH = 0;
  *buffer = nullptr;
  stdformats::DecodeArgs args{&wantW, &wantH, &srcW, &srcH, buffer};
  return stdformats::DecodePicture(stdformats::DecodeKind::Jpeg, source, context, args);
}

bool Decode(const std::vector<uint8_t>& file, KelvRowSinkProc sink, void** buffer) {
  stdformats::MemorySource source(file.data(), file.size());
  int32_t wantW = kScreenW, wantH = kScreenH;
  return Decode(source, sink, buffer, wantW, wantH);
}

// A picture file read as the module reads it in the saver: in blocks, while decoding.
class FileSource {
public:
  explicit FileSource(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
    if (fd_ < 0) {
      std::fprintf(stderr, "cannot open %s\n", path.c_str());
      std::exit(1);
    }
  }
  ~FileSource() { close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  stdformats::ByteSource& Source() { return source_; }

private:
  int fd_;
  stdformats::HostFileSource source_{reinterpret_cast<void*>(static_cast<intptr_t>(fd_))};
};

// One picture file to the placed screen picture, as the composition loads it: the rows
// go through the incremental resize straight into the screen bitmap; a picture the
// incremental form declines is decoded whole and drawn.
double FileToScreen(const std::string& path, kelv::TBitmap& screen, int32_t quality,
                    bool* incremental) {
  const auto start = Clock::now();
  FileSource file(path);
  kelv::PrepareIncrementalResize(screen, quality);
  void* buffer = nullptr;
  int32_t wantW = kScreenW, wantH = kScreenH;
  const bool ok = Decode(file.Source(), &HostSink, &buffer, wantW, wantH);
  *incremental = kelv::IncrementalResizeDrawn();
  kelv::WithdrawIncrementalResize();
  if (!ok) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(1);
  }
  if (!*incremental && buffer) {
    std::fprintf(stderr, "incremental resize declined the picture\n");
    std::exit(1);
  }
  return Seconds(start);
}

void PrintRatio(const char* what, double ours, double theirs, const char* tool) {
  std::printf("  %-36s %8.3f s   %-24s %8.3f s   ratio %.2f\n", what, ours, tool, theirs,
              ours / theirs);
}

// --- 1. resampler beside Pillow ------------------------------------------------------

const char* const kPillowScript =
    "import sys, time\n"
    "from PIL import Image\n"
    "R = getattr(Image, 'Resampling', Image)\n"
    "src = Image.open(sys.argv[1]); src.load()\n"
    "size = (int(sys.argv[2]), int(sys.argv[3]))\n"
    "for name, f in (('bilinear', R.BILINEAR), ('lanczos', R.LANCZOS)):\n"
    "    t = time.perf_counter(); src.resize(size, f); t = time.perf_counter() - t\n"
    "    print(name, t)\n";

// The photo's RGB pixels as the resampler takes them: blue, green, red, 0.
std::vector<uint8_t> BgrxPixels(const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> src(size_t(kWidth) * kHeight * 4, 0);
  for (size_t i = 0, n = size_t(kWidth) * kHeight; i < n; ++i) {
    src[i * 4] = rgb[i * 3 + 2];
    src[i * 4 + 1] = rgb[i * 3 + 1];
    src[i * 4 + 2] = rgb[i * 3];
  }
  return src;
}

void CompareResampler(const TempDir& dir, const std::vector<uint8_t>& rgb, int rounds) {
  std::printf("\n1. resampler, %d x %d fitted to %d x %d, single thread\n", kWidth, kHeight,
              kScreenW, kScreenH);
  const int32_t tw = kWidth * kScreenH / kHeight, th = kScreenH;  // 1620 x 1080
  std::vector<uint8_t> src = BgrxPixels(rgb);
  std::vector<uint8_t> dst(size_t(tw) * th * 4);
  const std::string ppm = dir.File("photo.ppm"), script = dir.File("resize.py"),
                    out = dir.File("pillow.txt");
  const bool havePillow =
      Succeeds(std::string(kPython) + " -c 'import PIL' >/dev/null 2>&1") &&
      WriteFile(ppm, rgb.data(), rgb.size(),
                "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n") &&
      WriteFile(script, kPillowScript, std::char_traits<char>::length(kPillowScript));
  if (!havePillow) std::printf("  Pillow (python3-pil) not available: comparison skipped\n");

  const int32_t filters[2] = {kelv::FilterForGoodQuality, kelv::FilterForBestQuality};
  double ours[2] = {1e9, 1e9}, pillow[2] = {1e9, 1e9};
  bool pillowFailed = false;
  for (int r = 0; r < rounds; ++r) {
    for (int f = 0; f < 2; ++f) {
      const auto start = Clock::now();
      kelv::ResampleBits({dst.data(), tw, th}, 0, 0, tw, th, {src.data(), kWidth, kHeight}, 0,
                         0, kWidth, kHeight, filters[f]);
      ours[f] = std::min(ours[f], Seconds(start));
    }
    if (!havePillow || pillowFailed) continue;
    // Pillow times its own resize calls: loading the file is left out.
    const std::string command = std::string(kPython) + " " + script + " " + ppm + " " +
                                std::to_string(tw) + " " + std::to_string(th) + " >" + out;
    double t[2] = {-1, -1};
    if (Succeeds(command)) {
      if (FILE* in = std::fopen(out.c_str(), "r")) {
        char name[32];
        for (double& v : t) {
          if (std::fscanf(in, "%31s %lf", name, &v) != 2) v = -1;
        }
        std::fclose(in);
      }
    }
    if (t[0] < 0 || t[1] < 0) {
      pillowFailed = true;
      std::printf("  Pillow run failed: comparison skipped\n");
      continue;
    }
    for (int f = 0; f < 2; ++f) pillow[f] = std::min(pillow[f], t[f]);
  }
  const double mp = double(kWidth) * kHeight / 1e6;
  const char* names[2] = {"Hermite", "Lanczos3"};
  const char* pillowNames[2] = {"BILINEAR", "LANCZOS"};
  for (int f = 0; f < 2; ++f) {
    std::printf("  %-9s %8.3f s %8.1f MP/s", names[f], ours[f], mp / ours[f]);
    if (havePillow && !pillowFailed) {
      std::printf("   Pillow %-8s %8.3f s %8.1f MP/s   speed ratio %.2f (goal >= 1)",
                  pillowNames[f], pillow[f], mp / pillow[f], pillow[f] / ours[f]);
    }
    std::printf("\n");
  }
  std::printf("  MP/s counts source megapixels per second; speed ratio = Pillow time / our time\n");
}

// --- 2. decode beside djpeg ----------------------------------------------------------

void CompareDecode(const std::string& jpeg, const std::vector<uint8_t>& file, int rounds) {
  std::printf("\n2. JPEG decode for %d x %d (pre-scale 1/2), file in memory\n", kScreenW,
              kScreenH);
  const bool haveDjpeg = Succeeds("command -v djpeg >/dev/null 2>&1");
  if (!haveDjpeg) std::printf("  djpeg (libjpeg-turbo-progs) not available: comparison skipped\n");
  const std::string command = "djpeg -scale 1/2 -outfile /dev/null " + jpeg;
  double buffer = 1e9, rows = 1e9, djpeg = 1e9;
  bool djpegFailed = false;
  for (int r = 0; r < rounds; ++r) {
    void* out = nullptr;
    auto start = Clock::now();
    if (!Decode(file, nullptr, &out) || !out) std::exit(1);
    buffer = std::min(buffer, Seconds(start));
    start = Clock::now();
    if (!Decode(file, &CountingSink, &out)) std::exit(1);
    rows = std::min(rows, Seconds(start));
    if (haveDjpeg && !djpegFailed) {
      const double t = BestToolTime(command);
      if (t < 0) {
        djpegFailed = true;
        std::printf("  djpeg run failed: comparison skipped\n");
      } else {
        djpeg = std::min(djpeg, t);
      }
    }
  }
  if (haveDjpeg && !djpegFailed) {
    PrintRatio("buffer mode", buffer, djpeg, "djpeg -scale 1/2");
    PrintRatio("row mode", rows, djpeg, "djpeg -scale 1/2");
    std::printf("  ratio = our time / djpeg's (goal: at most 1.10); djpeg also reads the file\n");
  } else {
    std::printf("  buffer mode %.3f s, row mode %.3f s\n", buffer, rows);
  }
}

// --- 3. end to end beside vipsthumbnail ----------------------------------------------

void CompareEndToEnd(const TempDir& dir, const std::string& jpeg, int rounds) {
  std::printf("\n3. file to the placed %d x %d picture (read, decode 1/2, row sink, resample,"
              " placement)\n",
              kScreenW, kScreenH);
  const bool haveVips = Succeeds("command -v vipsthumbnail >/dev/null 2>&1");
  if (!haveVips) {
    std::printf("  vipsthumbnail (libvips-tools) not available: comparison skipped\n");
  }
  // The thumbnail goes to the tool's own uncompressed format so that no encoder is timed.
  const std::string thumb = dir.File("thumb.v");
  const std::string vips = "vipsthumbnail " + jpeg + " --size " + std::to_string(kScreenW) +
                           "x" + std::to_string(kScreenH) + " -o " + thumb;
  const std::string vipsOneThread = "VIPS_CONCURRENCY=1 " + vips;
  // The tool's own start (library set-up) measured on a 16 x 16 picture.
  const std::string tiny = dir.File("tiny.jpg");
  const std::vector<uint8_t> tinyFile = MakePhoto(16, 16);
  const std::string vipsStart = "vipsthumbnail " + tiny + " --size " + std::to_string(kScreenW) +
                                "x" + std::to_string(kScreenH) + " -o " + dir.File("tiny.v");
  const bool haveTiny = WriteFile(tiny, tinyFile.data(), tinyFile.size());

  std::unique_ptr<kelv::TBitmap> screen = kelv::TBitmap::Create(kScreenW, kScreenH);
  double good = 1e9, best = 1e9, tool = 1e9, toolOne = 1e9, start = 1e9;
  bool incremental = true, vipsFailed = false;
  for (int r = 0; r < rounds; ++r) {
    bool inc = false;
    good = std::min(good, FileToScreen(jpeg, *screen, kelv::ResizeGood, &inc));
    incremental = incremental && inc;
    best = std::min(best, FileToScreen(jpeg, *screen, kelv::ResizeBest, &inc));
    incremental = incremental && inc;
    if (haveVips && !vipsFailed) {
      const double t = BestToolTime(vips), t1 = BestToolTime(vipsOneThread);
      if (t < 0 || t1 < 0) {
        vipsFailed = true;
        std::printf("  vipsthumbnail run failed: comparison skipped\n");
      } else {
        tool = std::min(tool, t);
        toolOne = std::min(toolOne, t1);
        const double ts = haveTiny ? BestToolTime(vipsStart) : -1.0;
        if (ts >= 0) start = std::min(start, ts);
      }
    }
  }
  if (haveVips && !vipsFailed) {
    PrintRatio("quality Good (Hermite)", good, tool, "vipsthumbnail");
    PrintRatio("quality Best (Lanczos3)", best, tool, "vipsthumbnail");
    PrintRatio("quality Good (Hermite)", good, toolOne, "vipsthumbnail, 1 thread");
    PrintRatio("quality Best (Lanczos3)", best, toolOne, "vipsthumbnail, 1 thread");
    std::printf("  ratio = our time / vipsthumbnail's (goal: at most 1.00); ours: the decoder and a resampling helper thread\n");
    if (start < tool && start < toolOne) {
      std::printf("  vipsthumbnail's start alone (16 x 16 picture) takes %.3f s; without it:\n",
                  start);
      PrintRatio("quality Good (Hermite)", good, tool - start, "vipsthumbnail less start");
      PrintRatio("quality Best (Lanczos3)", best, tool - start, "vipsthumbnail less start");
      PrintRatio("quality Good (Hermite)", good, toolOne - start, "1 thread less start");
      PrintRatio("quality Best (Lanczos3)", best, toolOne - start, "1 thread less start");
    }
  } else {
    std::printf("  quality Good %.3f s, quality Best %.3f s\n", good, best);
  }
  // The fitted picture fills columns 150..1769: a black bar on the left, a picture beside it.
  const int32_t mid = kScreenH / 2;
  const bool placed = screen->Pixel(10, mid) == 0 && screen->Pixel(kScreenW / 2, mid) != 0 &&
                      screen->Pixel(kScreenW - 11, mid) == 0;
  std::printf("  rows taken by the incremental resize: %s; picture placed between bars: %s\n",
              incremental ? "yes" : "no", placed ? "yes" : "NO");
}

// --- 4. in process beside libvips ----------------------------------------------------

#if KELV_BENCH_VIPS

// libvips' result written to memory and dropped; negative when an operation failed.
double VipsToMemory(VipsImage* out) {
  if (out == nullptr) return -1.0;
  size_t size = 0;
  void* bytes = vips_image_write_to_memory(out, &size);
  g_object_unref(out);
  if (bytes == nullptr) return -1.0;
  g_free(bytes);
  return 0.0;
}

// vips_resize of the RGB pixels by `scale` with the kernel.
double VipsResize(const std::vector<uint8_t>& rgb, double scale, VipsKernel kernel) {
  const auto start = Clock::now();
  VipsImage* in = vips_image_new_from_memory(rgb.data(), rgb.size(), kWidth, kHeight, 3,
                                             VIPS_FORMAT_UCHAR);
  if (in == nullptr) return -1.0;
  VipsImage* out = nullptr;
  const int failed = vips_resize(in, &out, scale, "kernel", kernel, nullptr);
  g_object_unref(in);
  if (failed || VipsToMemory(out) < 0) return -1.0;
  return Seconds(start);
}

// The file loaded with shrink-on-load 2 and resized to fit the screen.
double VipsFileToScreen(const std::string& path, VipsKernel kernel) {
  const auto start = Clock::now();
  VipsImage* in = nullptr;
  if (vips_jpegload(path.c_str(), &in, "shrink", 2, nullptr)) return -1.0;
  const double scale = std::min(double(kScreenW) / in->Xsize, double(kScreenH) / in->Ysize);
  VipsImage* out = nullptr;
  const int failed = vips_resize(in, &out, scale, "kernel", kernel, nullptr);
  g_object_unref(in);
  if (failed || VipsToMemory(out) < 0) return -1.0;
  return Seconds(start);
}

#endif

void CompareInProcess(const std::string& jpeg, const std::vector<uint8_t>& rgb, int rounds) {
  std::printf("\n4. beside libvips in this process (operation cache off, libvips on one thread, result to"
              " memory)\n");
#if !KELV_BENCH_VIPS
  (void)jpeg;
  (void)rgb;
  (void)rounds;
  std::printf("  libvips (libvips-dev) was not found when this program was built: comparison"
              " skipped\n");
#else
  if (VIPS_INIT("bench_compare_bench")) {
    std::printf("  libvips did not start: comparison skipped\n");
    return;
  }
  vips_cache_set_max(0);
  vips_concurrency_set(1);
  const int32_t tw = kWidth * kScreenH / kHeight, th = kScreenH;  // 1620 x 1080
  std::vector<uint8_t> src = BgrxPixels(rgb);
  std::vector<uint8_t> dst(size_t(tw) * th * 4);
  std::unique_ptr<kelv::TBitmap> screen = kelv::TBitmap::Create(kScreenW, kScreenH);
  const double scale = double(tw) / kWidth;
  struct Row {
    const char* ours;
    const char* theirs;
    double goal;
    double us = 1e9, them = 1e9;
  };
  Row rows[4] = {{"resample Lanczos3", "vips_resize lanczos3", 0.8},
                 {"resample Hermite", "vips_resize linear", 0.7},
                 {"file to screen, Good", "jpegload shrink=2 + linear", 0.75},
                 {"file to screen, Best", "jpegload shrink=2 + lanczos3", 0.75}};
  bool failed = false;
  for (int r = 0; r < rounds && !failed; ++r) {
    const int32_t filters[2] = {kelv::FilterForBestQuality, kelv::FilterForGoodQuality};
    const VipsKernel kernels[2] = {VIPS_KERNEL_LANCZOS3, VIPS_KERNEL_LINEAR};
    for (int f = 0; f < 2; ++f) {
      const auto start = Clock::now();
      kelv::ResampleBits({dst.data(), tw, th}, 0, 0, tw, th, {src.data(), kWidth, kHeight}, 0,
                         0, kWidth, kHeight, filters[f]);
      rows[f].us = std::min(rows[f].us, Seconds(start));
      const double t = VipsResize(rgb, scale, kernels[f]);
      failed = failed || t < 0;
      rows[f].them = std::min(rows[f].them, t);
    }
    const int32_t qualities[2] = {kelv::ResizeGood, kelv::ResizeBest};
    const VipsKernel fileKernels[2] = {VIPS_KERNEL_LINEAR, VIPS_KERNEL_LANCZOS3};
    for (int q = 0; q < 2; ++q) {
      bool incremental = false;
      rows[2 + q].us = std::min(rows[2 + q].us, FileToScreen(jpeg, *screen, qualities[q], &incremental));
      const double t = VipsFileToScreen(jpeg, fileKernels[q]);
      failed = failed || t < 0;
      rows[2 + q].them = std::min(rows[2 + q].them, t);
    }
  }
  if (failed) {
    std::printf("  a libvips operation failed: %s\n  comparison skipped\n", vips_error_buffer());
    vips_shutdown();
    return;
  }
  std::printf("  %-22s %9s   %-30s %9s   %6s  %s\n", "work", "ours", "libvips", "libvips",
              "ratio", "goal");
  for (const Row& row : rows) {
    const double ratio = row.us / row.them;
    std::printf("  %-22s %7.1f ms   %-30s %7.1f ms   %6.2f  at most %.2f%s\n", row.ours,
                row.us * 1000, row.theirs, row.them * 1000, ratio, row.goal,
                ratio <= row.goal ? "" : "  NOT MET");
  }
  std::printf("  ratio = our time / libvips' time; best of %d rounds, ours and libvips alternately\n",
              rounds);
  vips_shutdown();
#endif
}

// --- 5. a 25-picture screen ----------------------------------------------------------

// One cell of a grid screen as the composition fills it: the picture decoded at the
// pre-scale for the cell, fitted with quality Good and copied into the screen. With
// `rows` the rows go through the incremental resize (the decoder's thread and the
// helper); without, the whole picture goes to the buffer and is resampled afterwards on
// the same thread, the serial form (row-by-row resizing off).
void FillCell(const std::string& path, kelv::TBitmap& screen, const kelv::CellRect& c, bool rows) {
  std::unique_ptr<kelv::TBitmap> cell = kelv::TBitmap::Create(c.Width(), c.Height());
  cell->Shrink = true;
  FileSource file(path);
  void* buffer = nullptr;
  int32_t w = c.Width(), h = c.Height();
  if (rows) kelv::PrepareIncrementalResize(*cell, kelv::ResizeGood);
  const bool ok = Decode(file.Source(), rows ? &HostSink : nullptr, &buffer, w, h);
  const bool drawn = rows && kelv::IncrementalResizeDrawn();
  kelv::WithdrawIncrementalResize();
  if (!ok || (!drawn && !buffer)) {
    std::fprintf(stderr, "grid cell decode failed\n");
    std::exit(1);
  }
  if (!drawn) {
    std::unique_ptr<kelv::TBitmap> picture = kelv::TBitmap::CreateFromBits(w, h, buffer);
    kelv::DrawPicture(*cell, *picture);
  }
  kelv::CopyRect(screen, *cell, c.top, c.bottom, c.left, c.right, 0, 0);
}

void CompareGrid(const TempDir& dir, int rounds) {
  constexpr int32_t kCount = 25, kPhotoW = 4000, kPhotoH = 3000;
  std::printf("\n5. a %d-picture %d x %d screen of %d x %d JPEGs (quality Good, files in"
              " blocks while decoding)\n",
              kCount, kScreenW, kScreenH, kPhotoW, kPhotoH);
  const std::string jpeg = dir.File("grid.jpg");
  const std::vector<uint8_t> photo = MakePhoto(kPhotoW, kPhotoH);
  if (!WriteFile(jpeg, photo.data(), photo.size())) std::exit(1);
  kelv::TheSettings().Resize = kelv::ResizeGood;
  const std::vector<kelv::CellRect> cells = kelv::ScreenCells(kCount, kScreenW, kScreenH);
  std::unique_ptr<kelv::TBitmap> screen = kelv::TBitmap::Create(kScreenW, kScreenH);
  double ours = 1e9, serial = 1e9;
  for (int r = 0; r < rounds; ++r) {
    for (bool rows : {true, false}) {
      const auto start = Clock::now();
      for (const kelv::CellRect& c : cells) FillCell(jpeg, *screen, c, rows);
      double& best = rows ? ours : serial;
      best = std::min(best, Seconds(start));
    }
  }
  std::printf("  rows with the helper thread %7.1f ms   serial (buffer, then resample) %7.1f ms"
              "   ratio %.2f\n",
              ours * 1000, serial * 1000, ours / serial);
  std::printf("  ratio = our time / the serial form's; the cells are decoded one after the"
              " other, as plug-ins are called one at a time\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  TempDir dir;
  if (dir.path.empty()) {
    std::fprintf(stderr, "no scratch folder\n");
    return 1;
  }
  std::printf("generating a %d x %d photo-like JPEG...\n", kWidth, kHeight);
  const std::vector<uint8_t> file = MakePhoto();
  const std::string jpeg = dir.File("photo.jpg");
  if (!WriteFile(jpeg, file.data(), file.size())) {
    std::fprintf(stderr, "cannot write %s\n", jpeg.c_str());
    return 1;
  }
  g_spawnCost = 1e9;
  for (int i = 0; i < 5; ++i) g_spawnCost = std::min(g_spawnCost, TimeCommand("/bin/true"));
  std::printf("file size %.1f MB; best of %d rounds; starting a shell command costs %.4f s"
              " (taken off the tools' times)\n",
              file.size() / 1048576.0, rounds, g_spawnCost);

  const std::string sections = argc > 2 ? argv[2] : "12345";
  const auto wanted = [&](char c) { return sections.find(c) != std::string::npos; };
  if (wanted('1')) CompareResampler(dir, DecodeRgb(file), rounds);
  if (wanted('2')) CompareDecode(jpeg, file, rounds);
  if (wanted('3')) CompareEndToEnd(dir, jpeg, rounds);
  if (wanted('4')) CompareInProcess(jpeg, DecodeRgb(file), rounds);
  if (wanted('5')) CompareGrid(dir, rounds);
  return 0;
}
