// Catalogue figures: PictureName through the prefix-sum index against the plain walk over
// the entries; scanning a generated tree of 100,000 files in 1,000 folders against `find`
// listing the same tree; saving and loading a cache file of 100,000 names; the steps of a
// saver's start from a cache file of 100,000 names in 100 folders up to the first choice
// of a picture, each start in a fresh process, with the page faults of each step.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "catalogue/cache_file.hpp"
#include "catalogue/catalogue_fs.hpp"
#include "catalogue/folder_scan.hpp"
#include "catalogue/pic_list.hpp"
#include "imaging/bitmap.hpp"
#include "settings/registry.hpp"
#include "settings/registry_memory.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/display_order.hpp"
#include "show/run_flags.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }
double CpuMs(std::clock_t since) { return 1000.0 * static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

// The plain walk: a running sum over the entries up to the one holding g.
std::string WalkName(const kelv::TPicList& list, int32_t g) {
  int64_t s = 0;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const kelv::TPathList& pictures = *list.Item(i)->Pictures;
    if (g < s + static_cast<int64_t>(pictures.size())) return pictures[static_cast<size_t>(g - s)];
    s += static_cast<int64_t>(pictures.size());
  }
  return {};
}

void MakeCatalogue(kelv::TPicList& list, int folders, int perFolder) {
  list.AddFolder("Root");
  for (int f = 0; f < folders; ++f) {
    std::string path = "C:\\Pictures\\Album " + std::to_string(f);
    int32_t e = list.AddFolder(path);
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(perFolder));
    for (int p = 0; p < perFolder; ++p) names.push_back(path + "\\IMG_" + std::to_string(100000 + p) + ".jpg");
    list.Item(e)->Pictures->assign(std::move(names));
  }
}

void BenchPictureName() {
  kelv::TPicList list;
  MakeCatalogue(list, 5000, 100);
  const int32_t total = list.PictureCount();
  size_t sink = 0;
  auto t = Clock::now();
  for (int32_t g = 0; g < total; ++g) sink += list.PictureName(g).size();
  double fast = Ms(t) / total;
  // The walk is too slow for every index; every 25th index gives the same average.
  const kelv::TPicList& view = list;
  int calls = 0;
  t = Clock::now();
  for (int32_t g = 0; g < total; g += 25, ++calls) sink += WalkName(view, g).size();
  double walk = Ms(t) / calls;
  std::printf("PictureName, 5000 folders x 100 pictures: index %.3f us/call, walk %.3f us/call, ratio %.0fx (%zu)\n",
              fast * 1000, walk * 1000, walk / fast, sink % 10);
}

void BenchScanAndCache() {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("kelv_cat_bench_" + std::to_string(::getpid()));
  fs::remove_all(root);
  auto t = Clock::now();
  for (int f = 0; f < 1000; ++f) {
    fs::path dir = root / ("Album " + std::to_string(f / 10)) / ("Day " + std::to_string(f));
    fs::create_directories(dir);
    for (int p = 0; p < 100; ++p) std::ofstream(dir / ("IMG_" + std::to_string(1000 + p) + (p % 10 ? ".jpg" : ".JPG")));
  }
  std::printf("generated 100,000 files in 1,000 folders in %.0f ms\n", Ms(t));

  std::string findCommand = "find '" + root.string() + "' -type f > /dev/null";
  t = Clock::now();
  if (std::system(findCommand.c_str()) != 0) std::printf("find failed\n");
  double find = Ms(t);

  kelv::FolderScanner scanner;
  scanner.Extensions = {".jpg", ".jpeg", ".bmp"};
  t = Clock::now();
  scanner.RefreshFolder(root.string(), false);
  double scan = Ms(t);
  std::printf("scan: %zu pictures in %.1f ms; find listing the tree: %.1f ms; ratio %.2f\n", scanner.ScanResult.size(),
              scan, find, scan / find);

  kelv::TPicList list;
  list.AddFolder("Root");
  int32_t e = list.AddFolder(root.string());
  list.Item(e)->Pictures->assign(scanner.ScanResult);
  std::string cache = root.string() + "\\piclist.dat";
  // Best of five rounds, as wall time and as process CPU time (the machine is shared).
  double save = 1e9, load = 1e9, saveCpu = 1e9, loadCpu = 1e9;
  kelv::TPicList loaded;
  for (int round = 0; round < 5; ++round) {
    auto c = std::clock();
    t = Clock::now();
    kelv::SaveCatalogue(list, cache);
    save = std::min(save, Ms(t));
    saveCpu = std::min(saveCpu, CpuMs(c));
    loaded.Clear();
    c = std::clock();
    t = Clock::now();
    kelv::LoadCatalogue(loaded, cache);
    load = std::min(load, Ms(t));
    loadCpu = std::min(loadCpu, CpuMs(c));
  }
  std::printf("cache of %d names (%ju bytes), best of 5: save %.1f ms (cpu %.1f; goal < 100), load %.1f ms (cpu %.1f; goal < 50)\n",
              loaded.PictureCount(), static_cast<uintmax_t>(fs::file_size(root / "piclist.dat")), save, saveCpu, load,
              loadCpu);

  size_t sink = 0;
  const int32_t total = loaded.PictureCount();
  t = Clock::now();
  for (int32_t g = 0; g < total; ++g) sink += loaded.PictureName(g).size();
  std::printf("PictureName over all %d indices: %.1f ms (%zu)\n", total, Ms(t), sink % 10);
  fs::remove_all(root);
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// One start in this (fresh) process: the cache file read, decoded, counted, and the first
// picture chosen in the given order (the loader is a stand-in that accepts every name).
void StartOnce(const std::string& cache, int32_t order, const std::string& prev) {
  kelv::Settings& settings = kelv::TheSettings();
  settings.Order = order;
  settings.StartFromPrevious = true;
  settings.StartFromRandom = false;
  static_cast<kelv::MemoryRegistry&>(kelv::SystemRegistry()).PutString(kelv::Hive::CurrentUser, kelv::kProductKey,
                                                                         "Prev", prev);
  kelv::DisplayOrderServices& services = kelv::TheDisplayOrderServices();
  std::string chosen;
  services.load = [&](kelv::TBitmap&, const std::string& name, const kelv::LoadRequest&) {
    chosen = name;
    kelv::LoadResult r;
    r.width = r.height = 1;
    return r;
  };
  services.caption = [](kelv::TBitmap&, int32_t, bool, const std::string&) {};
  std::unique_ptr<kelv::TBitmap> target = kelv::TBitmap::Create(8, 8);
  kelv::RunFlags run;

  struct Step {
    const char* name;
    double ms;
    long faults;
  } steps[4];
  auto t = Clock::now();
  long f = MinorFaults();
  auto done = [&](int k, const char* name) {
    steps[k] = {name, Ms(t), MinorFaults() - f};
    t = Clock::now();
    f = MinorFaults();
  };
  std::vector<uint8_t> data;
  kelv::SystemFileSystem().ReadWholeFile(cache, kelv::kCatalogueFileMaxBytes, data);
  done(0, "read file");
  kelv::DecodeCatalogue(std::make_shared<const std::vector<uint8_t>>(std::move(data)), kelv::TheCatalogue());
  done(1, "decode");
  const int32_t count = kelv::TheCatalogue().PictureCount();
  done(2, "count");
  kelv::StartDisplayOrderRun();
  kelv::NextPicture(*target, run);
  done(3, "first choice");
  double all = 0;
  for (const Step& step : steps) all += step.ms;
  std::printf("  %-22s", order == kelv::OrderRandom ? "random" : prev.rfind("7?", 0) == 0 ? "sequential, moved prev" : "sequential, prev");
  for (const Step& step : steps) std::printf("  %s %6.1f ms (%5ld faults)", step.name, step.ms, step.faults);
  std::printf("  all steps %6.1f ms; %d pictures, first %s\n", all, count, chosen.c_str() + chosen.size() - 10);
}

void BenchStartup() {
  namespace fs = std::filesystem;
  const std::string cache =
      (fs::temp_directory_path() / ("kelv_start_bench_" + std::to_string(::getpid()) + ".dat")).string();
  {
    kelv::TPicList list;
    list.AddFolder("Root");
    for (int f = 0; f < 100; ++f) {
      char folder[64];
      std::snprintf(folder, sizeof folder, "C:\\Pictures\\Holiday Album %03d", f);
      int32_t e = list.AddFolder(folder);
      std::vector<std::string> names;
      for (int p = 0; p < 1000; ++p) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%06d.jpg", f * 1000 + p);
        names.push_back(folder + std::string(name));
      }
      list.Item(e)->Pictures->assign(std::move(names));
    }
    kelv::SaveCatalogue(list, cache);
  }
  std::printf("start from a cache file of 100,000 names in 100 folders (%ju bytes), five starts of each kind, "
              "each in a fresh process:\n", static_cast<uintmax_t>(fs::file_size(cache)));
  const std::string prev = "50123?C:\\Pictures\\Holiday Album 050\\IMG_050123.jpg";
  const std::string moved = "7?C:\\Pictures\\Holiday Album 099\\IMG_099999.jpg";
  for (auto [order, resume] : {std::pair{kelv::OrderSequential, prev}, std::pair{kelv::OrderSequential, moved},
                               std::pair{kelv::OrderRandom, std::string()}}) {
    for (int round = 0; round < 5; ++round) {
      std::fflush(stdout);
      const pid_t child = fork();
      if (child == 0) {
        StartOnce(cache, order, resume);
        std::fflush(stdout);
        _exit(0);
      }
      int status = 0;
      waitpid(child, &status, 0);
    }
  }
  fs::remove(cache);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "start") {
    BenchStartup();
    return 0;
  }
  BenchPictureName();
  BenchScanAndCache();
  BenchStartup();
  return 0;
}
