// What the DLL tests of the effect modules share: finding the dist folder beside the test
// program, loading a module the way the host does, and a screen/next picture pair kept
// between guard words so that a write outside the picture shows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kelv_effectmodule.h"

namespace fxrig {

inline std::string ExePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// <build>/tests/kelv_wintests.exe -> <build>/dist/<name>
inline std::string DistPath(const char* name) {
  std::string p = ExePath();
  p = p.substr(0, p.find_last_of("\\/"));
  p = p.substr(0, p.find_last_of("\\/"));
  return p + "\\dist\\" + name;
}

struct Library {
  explicit Library(const std::string& path) : module(LoadLibraryA(path.c_str())) {}
  ~Library() {
    if (module) FreeLibrary(module);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  TEffectModule* Open() const {
    auto get = reinterpret_cast<KelvGetEffectModuleProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetEffectModule")));
    return get ? get() : nullptr;
  }
  HMODULE module;
};

inline constexpr uint32_t kGuard = 0x5AA5C33Cu;
inline constexpr size_t kGuardPixels = 32;

using Pattern = std::function<uint32_t(int32_t x, int32_t y, int32_t w, int32_t h)>;

// The screen has `padding` extra pixels per row (a stride wider than the picture); those
// and the guard words before and after both pictures must survive every effect.
struct GuardedPictures {
  GuardedPictures(int32_t w, int32_t h, int32_t padding, const Pattern& screenPattern,
                  const Pattern& nextPattern)
      : w(w), h(h), stride(w + padding) {
    screen.assign(kGuardPixels * 2 + static_cast<size_t>(stride) * h, kGuard);
    next.assign(kGuardPixels * 2 + static_cast<size_t>(w) * h, kGuard);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        Screen(x, y) = screenPattern(x, y, w, h);
        Next(x, y) = nextPattern(x, y, w, h);
      }
  }
  uint32_t& Screen(int32_t x, int32_t y) { return screen[kGuardPixels + static_cast<size_t>(y) * stride + x]; }
  uint32_t& Next(int32_t x, int32_t y) { return next[kGuardPixels + static_cast<size_t>(y) * w + x]; }
  // Pixels of the screen that differ from the next picture.
  size_t Wrong() {
    size_t wrong = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) wrong += Screen(x, y) != Next(x, y);
    return wrong;
  }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuardPixels; ++i)
      if (screen[i] != kGuard || screen[screen.size() - 1 - i] != kGuard || next[i] != kGuard ||
          next[next.size() - 1 - i] != kGuard)
        return false;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = w; x < stride; ++x)
        if (screen[kGuardPixels + static_cast<size_t>(y) * stride + x] != kGuard) return false;
    return true;
  }
  TEffectSetup Record(volatile int32_t* stop, KelvWaitProc wait, int32_t instance = 0) {
    TEffectSetup r{};
    r.size = sizeof r;
    r.width = w;
    r.height = h;
    r.nextBits = next.data() + kGuardPixels;
    r.screenBits = screen.data() + kGuardPixels;
    r.screenStride = stride * 4;
    r.stopFlag = stop;
    r.wait = wait;
    r.instance = instance;
    return r;
  }
  int32_t w, h, stride;
  std::vector<uint32_t> screen, next;
};

}  // namespace fxrig
