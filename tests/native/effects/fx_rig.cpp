#include "fx_rig.hpp"

#include <cstdlib>

namespace fxtest {

FakeHost* FakeHost::current_ = nullptr;

FakeHost::FakeHost(int32_t width, int32_t height, int32_t strideExtra)
    : width_(width), height_(height), strideExtra_(strideExtra) {
  screen_.assign(static_cast<size_t>(width + strideExtra) * height + 2 * kGuard, kGuardValue);
  next_.assign(static_cast<size_t>(width) * height + 2 * kGuard, kGuardValue);
  PaintPictures();
  current_ = this;
}

FakeHost::~FakeHost() {
  if (current_ == this) current_ = nullptr;
}

uint32_t FakeHost::ScreenAt(int32_t x, int32_t y) const {
  return screen_[kGuard + static_cast<size_t>(y) * (width_ + strideExtra_) + x];
}
uint32_t FakeHost::NextAt(int32_t x, int32_t y) const {
  return next_[kGuard + static_cast<size_t>(y) * width_ + x];
}
void FakeHost::SetScreen(int32_t x, int32_t y, uint32_t v) {
  screen_[kGuard + static_cast<size_t>(y) * (width_ + strideExtra_) + x] = v;
}

void FakeHost::PaintPictures(uint32_t seed) {
  uint32_t s = seed * 2654435761u + 12345u;
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x) {
      s = s * 1664525u + 1013904223u;
      const uint32_t a = (s >> 8) & 0xFFFFFFu;
      s = s * 1664525u + 1013904223u;
      uint32_t b = (s >> 8) & 0xFFFFFFu;
      if (b == a) b ^= 1;  // every pixel differs between the two pictures
      SetScreen(x, y, a);
      next_[kGuard + static_cast<size_t>(y) * width_ + x] = b;
    }
}

std::vector<uint32_t> FakeHost::CopyScreen() const {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x) v.push_back(ScreenAt(x, y));
  return v;
}

std::vector<uint32_t> FakeHost::CopyNext() const {
  return {next_.begin() + kGuard, next_.begin() + kGuard + static_cast<ptrdiff_t>(width_) * height_};
}

bool FakeHost::ScreenEquals(const std::vector<uint32_t>& picture) const {
  size_t i = 0;
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x)
      if (ScreenAt(x, y) != picture[i++]) return false;
  return true;
}

bool FakeHost::GuardsIntact() const {
  const size_t screenPixels = static_cast<size_t>(width_ + strideExtra_) * height_;
  const size_t nextPixels = static_cast<size_t>(width_) * height_;
  for (int32_t i = 0; i < kGuard; ++i) {
    if (screen_[i] != kGuardValue || screen_[kGuard + screenPixels + i] != kGuardValue) return false;
    if (next_[i] != kGuardValue || next_[kGuard + nextPixels + i] != kGuardValue) return false;
  }
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = width_; x < width_ + strideExtra_; ++x)
      if (screen_[kGuard + static_cast<size_t>(y) * (width_ + strideExtra_) + x] != kGuardValue)
        return false;
  return true;
}

TEffectSetup FakeHost::Record(int32_t instance, bool hostHeap) {
  TEffectSetup r{};
  r.size = sizeof(TEffectSetup);
  r.flags = hostHeap ? KELV_SETUP_HOST_HEAP : 0;
  r.width = width_;
  r.height = height_;
  r.nextBits = Next();
  r.screenBits = Screen();
  r.screenStride = StrideBytes();
  r.stopFlag = &stop;
  r.wait = &WaitCallback;
  r.getMem = &GetMem;
  r.freeMem = &FreeMem;
  r.reallocMem = &ReallocMem;
  r.instance = instance;
  return r;
}

int32_t FakeHost::WaitCallback(float fraction, int32_t) {
  FakeHost* h = current_;
  if (h == nullptr) return 1;
  if (fraction > -17305.0f && fraction < -17303.0f) {
    ++h->restarts;
    return 1;
  }
  h->fractions.push_back(fraction);
  const int n = static_cast<int>(h->fractions.size());
  if (h->onWait) h->onWait(n);
  if (h->stopAfterWaits == n) h->stop = 1;
  return h->waitResult ? h->waitResult(n) : 1;
}

void* FakeHost::GetMem(uint32_t size) {
  if (current_ != nullptr) ++current_->gets;
  return std::malloc(size);
}

void FakeHost::FreeMem(void* block) {
  if (current_ != nullptr) ++current_->frees;
  std::free(block);
}

void* FakeHost::ReallocMem(void** block, uint32_t size) {
  *block = std::realloc(*block, size);
  return *block;
}

::testing::AssertionResult FractionsMonotoneToOne(const std::vector<float>& f) {
  if (f.empty()) return ::testing::AssertionFailure() << "no Wait call";
  for (size_t i = 0; i < f.size(); ++i) {
    if (!(f[i] >= 0.0f && f[i] <= 1.0f))
      return ::testing::AssertionFailure() << "fraction " << f[i] << " at call " << i;
    if (i > 0 && f[i] < f[i - 1])
      return ::testing::AssertionFailure() << "fraction falls from " << f[i - 1] << " to " << f[i]
                                           << " at call " << i;
  }
  if (f.back() != 1.0f) return ::testing::AssertionFailure() << "last fraction " << f.back();
  return ::testing::AssertionSuccess();
}

}  // namespace fxtest
