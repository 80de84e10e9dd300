// The pan-and-zoom frame beside a plain copy of the same frame, in the same run on one
// core: a picture filling the screen moves along its path, each frame resampled from
// the kept source into the whole screen. Goal: at least 120 frames per second at
// 1920 x 1080 and 60 at 3840 x 2160.
//
//   bench_motion_bench [frames]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/motion_frame.hpp"
#include "show/motion_path.hpp"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint32_t> MakePicture(int32_t w, int32_t h) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  std::mt19937 gen(42);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t noise = gen() % 32;
      const uint32_t b = (x * 255 / w + noise) & 0xFF, g = (y * 255 / h + noise) & 0xFF;
      const uint32_t r = ((x / 64 + y / 64) % 2 ? 230 : 20) + noise / 4;
      px[static_cast<size_t>(y) * w + x] = b | g << 8 | r << 16;
    }
  return px;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
  struct Size {
    int32_t w, h;
  };
  std::printf("| screen | source | motion fps | copy fps | motion / copy time |\n|---|---|---|---|---|\n");
  for (const Size s : {Size{1920, 1080}, Size{3840, 2160}}) {
    for (const double scale : {1.0, kelv::kMotionMaxZoom}) {
      const int32_t sw = static_cast<int32_t>(s.w * scale), sh = static_cast<int32_t>(s.h * scale);
      const std::vector<uint32_t> source = MakePicture(sw, sh);
      std::vector<uint32_t> screen(static_cast<size_t>(s.w) * s.h);
      std::vector<uint32_t> copySource = MakePicture(s.w, s.h);
      const kelv::PixelView view{reinterpret_cast<uint8_t*>(screen.data()), s.w, s.h};
      const kelv::PlacedArea rect{0, 0, s.w, s.h};
      const kelv::MotionPath path{kelv::kMotionMaxZoom, false, 0.8, 0.3};
      kelv::MotionFrameRenderer renderer;
      double motionBest = 1e9, copyBest = 1e9;
      // Alternating rounds of the two, best round of each.
      for (int round = 0; round < 3; ++round) {
        auto t0 = Clock::now();
        for (int f = 1; f <= frames; ++f) {
          const kelv::MotionView v = kelv::ViewAt(path, static_cast<double>(f) / frames, sw, sh);
          renderer.Draw(view, rect, source.data(), sw, sh, kelv::SourceWindow{v.x, v.y, v.w, v.h});
        }
        motionBest = std::min(motionBest, std::chrono::duration<double>(Clock::now() - t0).count() / frames);
        t0 = Clock::now();
        for (int f = 0; f < frames; ++f) {
          std::memcpy(screen.data(), copySource.data(), screen.size() * 4);
          copySource[static_cast<size_t>(f)] ^= screen[static_cast<size_t>(frames - f)];  // keep every copy
        }
        copyBest = std::min(copyBest, std::chrono::duration<double>(Clock::now() - t0).count() / frames);
      }
      std::printf("| %d x %d | %d x %d | %.0f | %.0f | %.2f |\n", s.w, s.h, sw, sh, 1.0 / motionBest,
                  1.0 / copyBest, motionBest / copyBest);
    }
  }
  return 0;
}
