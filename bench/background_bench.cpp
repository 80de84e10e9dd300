// The blurred background beside the picture's own resize, in the same run on the same
// pixels: a photo as the decoder hands it over (pre-scaled by the JPEG rule for its
// cell) is fitted into its cell with the Good (Hermite) and the Best (Lanczos3) filter,
// then the background fills the bars from the placed picture. Goal: the background
// costs at most a tenth of the Good resize (ratio background / resize <= 0.10).
//
//   bench_background_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/blurred_background.hpp"
#include "imaging/resample_filters.hpp"
#include "imaging/resample_placement.hpp"
#include "imaging/resampler.hpp"
#include "bench_picture.hpp"

namespace {

using Clock = std::chrono::steady_clock;

using bench::MakePicture;
using bench::Picture;

template <typename F>
double Milliseconds(F&& f) {
  const auto t0 = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  struct Scene {
    const char* name;
    int32_t sw, sh;  // the decoded (pre-scaled) picture
    int32_t cw, ch;  // its cell
  };
  // 3000 x 4000 portrait photos on a 1920 x 1080 screen with 1, 4 and 25 pictures per
  // screen (pre-scaled by 2, 4 and 8), and a 4000 x 3000 landscape one (by 2).
  const Scene scenes[] = {
      {"portrait, 1 per screen", 1500, 2000, 1920, 1080},
      {"portrait, 4 per screen", 750, 1000, 960, 540},
      {"portrait, 25 per screen", 375, 500, 384, 216},
      {"4:3, 1 per screen", 2000, 1500, 1920, 1080},
  };
  std::printf("%-24s %-22s %10s %10s %12s %8s %s\n", "scene", "resize", "Good ms", "Best ms", "background ms",
              "ratio", "(background / Good, goal <= 0.10)");
  bool met = true;
  for (const Scene& s : scenes) {
    Picture source = MakePicture(s.sw, s.sh);
    Picture cell(s.cw, s.ch);
    kelv::PlacementOptions options;
    const kelv::PicturePlacement p = kelv::PlacePicture(s.cw, s.ch, options, s.sw, s.sh, [] { return 0.0; });
    const kelv::PlacedArea area = kelv::CoveredArea(p, s.cw, s.ch);
    auto resize = [&](int32_t filter) {
      kelv::ResampleBits(cell.View(), p.destX, p.destY, p.destW, p.destH, source.View(), p.windowX, p.windowY,
                         p.windowW, p.windowH, filter);
    };
    // The three alternately, best of the rounds: a busy machine slows all of them alike.
    double good = 1e300, best = 1e300, background = 1e300;
    for (int r = 0; r < rounds; ++r) {
      best = std::min(best, Milliseconds([&] { resize(kelv::FilterForBestQuality); }));
      good = std::min(good, Milliseconds([&] { resize(kelv::FilterForGoodQuality); }));
      background = std::min(background, Milliseconds([&] { kelv::DrawBlurredBackground(cell.View(), area); }));
    }
    const double ratio = background / good;
    met = met && ratio <= 0.10;
    char what[64];
    std::snprintf(what, sizeof what, "%dx%d -> %dx%d", s.sw, s.sh, p.destW, p.destH);
    std::printf("%-24s %-22s %10.2f %10.2f %12.3f %8.3f%s\n", s.name, what, good, best, background, ratio,
                ratio <= 0.10 ? "" : "  NOT MET");
  }
  return met ? 0 : 1;
}
