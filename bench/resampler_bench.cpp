// Resampler speed: whole pictures resized with each filter, the fast passes beside the
// plain per-pixel form (weights worked out again for every pixel) measured in the same
// run on the same pixels. Both must give the same bytes; a difference is reported and
// makes the program fail.
//
//   bench_resampler_bench [repeats]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/resample_filters.hpp"
#include "imaging/resample_reference.hpp"
#include "imaging/resampler.hpp"
#include "bench_picture.hpp"

namespace {

using Clock = std::chrono::steady_clock;

using bench::MakePicture;
using bench::Picture;

template <typename F>
double Milliseconds(F&& f, int repeats) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = Clock::now();
    f();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (ms < best) best = ms;
  }
  return best;
}

const char* const kNames[kelv::FilterCount] = {"Box", "Triangle", "Hermite", "Bell",
                                               "B-spline", "Lanczos3", "Mitchell"};

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  struct Job {
    int32_t sw, sh, tw, th;
    bool qualityFiltersOnly;  // only the filters of Good and Best quality
  };
  // A photo fitted to a 1920 x 1080 screen (with and without bars), and a full-HD
  // picture enlarged to 3840 x 2160.
  const Job jobs[] = {{4000, 3000, 1920, 1080, false},
                      {6000, 4000, 1620, 1080, true},
                      {1920, 1080, 3840, 2160, false}};
  bool identical = true;
  std::printf("%-10s %-22s %10s %10s %12s %12s %8s\n", "filter", "resize", "fast ms", "plain ms",
              "fast MP/s", "plain MP/s", "ratio");
  for (const Job& job : jobs) {
    Picture src = MakePicture(job.sw, job.sh);
    const double sourceMp = double(job.sw) * job.sh / 1e6;
    for (int32_t f = 0; f < kelv::FilterCount; ++f) {
      if (job.qualityFiltersOnly && f != kelv::FilterForGoodQuality &&
          f != kelv::FilterForBestQuality) {
        continue;
      }
      Picture fast(job.tw, job.th), plain(job.tw, job.th);
      const double fastMs = Milliseconds(
          [&] {
            kelv::ResampleBits(fast.View(), 0, 0, job.tw, job.th, src.View(), 0, 0, job.sw,
                               job.sh, f);
          },
          repeats);
      const double plainMs = Milliseconds(
          [&] {
            kelv::reference::Resample(plain.View(), 0, 0, job.tw, job.th, src.View(), 0, 0,
                                      job.sw, job.sh, f);
          },
          1);
      const bool same = fast.bytes == plain.bytes;
      identical = identical && same;
      char resize[64];
      std::snprintf(resize, sizeof resize, "%dx%d->%dx%d", job.sw, job.sh, job.tw, job.th);
      std::printf("%-10s %-22s %10.1f %10.1f %12.1f %12.1f %7.1fx%s\n", kNames[f], resize, fastMs,
                  plainMs, sourceMp / (fastMs / 1000.0), sourceMp / (plainMs / 1000.0),
                  plainMs / fastMs, same ? "" : "  DIFFERENT BYTES");
      std::fflush(stdout);
    }
  }
  std::printf("MP/s counts source megapixels per second; ratio = plain time / fast time.\n");
  return identical ? 0 : 1;
}
