// Group 4 (Fade) and group 7 (Gray scale): the whole-picture blends.
#include <cstring>

#include "basicfx/effects.hpp"

namespace kelv::basicfx {
namespace {

size_t PictureBytes(const fx::EffectRun& run) {
  return static_cast<size_t>(run.Width()) * static_cast<size_t>(run.Height()) * 4;
}

// The screen copied into a new W x H block (stride W); empty when memory is short.
plugin::HeapBlock CopyOfScreen(const fx::EffectRun& run) {
  plugin::HeapBlock copy = run.Allocate(PictureBytes(run));
  if (!copy) return copy;
  const size_t rowBytes = static_cast<size_t>(run.Width()) * 4;
  for (int32_t y = 0; y < run.Height(); ++y)
    std::memcpy(copy.As<uint8_t>() + static_cast<size_t>(y) * rowBytes, run.ScreenRow(y), rowBytes);
  return copy;
}

// Without the memory for a blend the change is made as a plain cut.
void Cut(fx::EffectRun& run, const uint32_t* picture) {
  const size_t rowBytes = static_cast<size_t>(run.Width()) * 4;
  for (int32_t y = 0; y < run.Height(); ++y)
    std::memcpy(run.ScreenRow(y), picture + static_cast<size_t>(y) * run.Width(), rowBytes);
  run.Finish();
}

// A block saved by an earlier call fits only while the picture size is unchanged.
bool Fits(const plugin::HeapBlock& b, const fx::EffectRun& run) {
  return b && b.Size() == PictureBytes(run);
}

}  // namespace

void PrepareFadeInOut(fx::EffectRun& run, InstanceStore& store) {
  store.fadeSaved.Reset();
  store.fadeSaved = CopyOfScreen(run);
}

void RunFadeInOut(fx::EffectRun& run, InstanceStore& store) {
  // Run without its prepare step (or after a size change): the picture on screen now
  // is the old picture.
  plugin::HeapBlock old = std::move(store.fadeSaved);
  if (!Fits(old, run)) old = CopyOfScreen(run);
  if (!old) return Cut(run, run.NextPixels());
  if (BlendLevels(run, run.NextPixels(), old.As<uint32_t>())) run.Finish();
}

void RunColorFade(fx::EffectRun& run) {
  plugin::HeapBlock old = CopyOfScreen(run);
  if (!old) return Cut(run, run.NextPixels());
  if (run.RestartClock()) return;

  const int32_t w = run.Width();
  const int32_t h = run.Height();
  const uint32_t* next = run.NextPixels();
  const uint32_t* from = old.As<uint32_t>();
  uint32_t remaining[3] = {0x000000FFu, 0x0000FF00u, 0x00FF0000u};
  uint32_t done = 0;
  for (int32_t phase = 0; phase < 3; ++phase) {
    const uint32_t left = static_cast<uint32_t>(3 - phase);
    const uint32_t pick = run.Random(left);
    const uint32_t channel = remaining[pick];
    remaining[pick] = remaining[left - 1];
    for (int32_t k = 1; k <= 256; ++k) {
      if (run.OnTime()) {
        for (int32_t y = 0; y < h; ++y) {
          const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w);
          ChannelRow(run.ScreenRow(y), next + at, from + at, w, k, channel, done);
        }
      }
      if (run.Step(k / 768.0 + phase / 3.0)) return;
    }
    done |= channel;
    // The channel ends exactly on the next picture even when late levels were skipped.
    for (int32_t y = 0; y < h; ++y) {
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w);
      ChannelRow(run.ScreenRow(y), next + at, from + at, w, 256, 0, done);
    }
  }
  run.Finish();
}

void RunColorToGray(fx::EffectRun& run) {
  plugin::HeapBlock colour = CopyOfScreen(run);
  uint32_t* next = run.NextPixels();
  const size_t count = static_cast<size_t>(run.Width()) * static_cast<size_t>(run.Height());
  if (!colour) {
    for (int32_t y = 0; y < run.Height(); ++y)
      for (int32_t x = 0; x < run.Width(); ++x)
        next[static_cast<size_t>(y) * run.Width() + x] = GrayPixel(run.ScreenRow(y)[x]);
    return Cut(run, next);
  }
  const uint32_t* from = colour.As<uint32_t>();
  for (size_t i = 0; i < count; ++i) next[i] = GrayPixel(from[i]);
  if (BlendLevels(run, next, from)) run.Finish();
}

void PreStepGrayToColor(fx::EffectRun& run, InstanceStore& store) {
  plugin::HeapBlock colour = run.Allocate(PictureBytes(run));
  if (!colour) return;  // the run then degrades to "Color to Gray"
  uint32_t* next = run.NextPixels();
  const size_t count = static_cast<size_t>(run.Width()) * static_cast<size_t>(run.Height());
  std::memcpy(colour.Get(), next, count * 4);
  for (size_t i = 0; i < count; ++i) next[i] = GrayPixel(next[i]);

  auto& slots = store.graySlots;
  int32_t& current = store.grayCurrent;
  if (!slots[current]) {
    slots[current] = std::move(colour);
  } else if (!store.grayOverflow) {
    slots[1 - current] = std::move(colour);
    store.grayOverflow = true;
  } else {
    slots[current] = std::move(colour);  // the older picture in this slot is freed
    current = 1 - current;
  }
}

void RunGrayToColor(fx::EffectRun& run, InstanceStore& store) {
  auto& slots = store.graySlots;
  int32_t& current = store.grayCurrent;
  if (store.grayOverflow && !slots[current]) current = 1 - current;
  plugin::HeapBlock colour = std::move(slots[current]);
  if (!Fits(colour, run)) return RunColorToGray(run);
  plugin::HeapBlock gray = CopyOfScreen(run);
  if (!gray) return Cut(run, colour.As<uint32_t>());
  if (BlendLevels(run, colour.As<uint32_t>(), gray.As<uint32_t>())) run.Finish();
}

}  // namespace kelv::basicfx
