#include "fxcommon/fx_instance.hpp"

#include <algorithm>

namespace kelv::fx {

bool Instance::Ready() const noexcept {
  return screen_.bits != nullptr && next_.bits != nullptr && screen_.width > 0 &&
         screen_.height > 0 && screen_.width == next_.width && screen_.height == next_.height &&
         tableLength_ >= static_cast<uint32_t>(screen_.height) &&
         stride_ >= screen_.width * 4;
}

SetupStatus Instance::Apply(const TEffectSetup& r, const ModuleAllocator& allocator) noexcept {
  const bool sized = r.width > 0 && r.height > 0;
  auto* screenBits = static_cast<uint8_t*>(r.screenBits);
  auto* nextBits = static_cast<uint8_t*>(r.nextBits);

  // Wrappers: new sizes make new wrappers; a bare pointer only moves the existing one.
  if (sized && screenBits != nullptr)
    screen_ = PixelWrapper{r.width, r.height, screenBits};
  else if (screenBits != nullptr)
    screen_.bits = screenBits;
  if (sized && nextBits != nullptr)
    next_ = PixelWrapper{r.width, r.height, nextBits};
  else if (nextBits != nullptr)
    next_.bits = nextBits;

  if (r.stopFlag != nullptr) stopFlag_ = r.stopFlag;
  if (r.wait != nullptr) wait_ = r.wait;

  // A stride shorter than a row would make rows overlap and run past the end of the
  // host's buffer; such a value is not taken and the row length serves instead.
  if (r.screenStride != 0 && r.screenStride >= screen_.width * 4)
    stride_ = r.screenStride;
  else if (stride_ == 0 || stride_ < screen_.width * 4)
    stride_ = screen_.width * 4;

  if (sized) {
    if (screenBits == nullptr || nextBits == nullptr) return SetupStatus::MissingBits;
    EnsureTables(static_cast<uint32_t>(r.height), allocator);
  }
  if (screenBits != nullptr || r.screenStride != 0) RebuildScreenRows();
  if (nextBits != nullptr) RebuildNextRows();
  return SetupStatus::Accepted;
}

bool Instance::EnsureTables(uint32_t rows, const ModuleAllocator& allocator) noexcept {
  if (tableLength_ >= rows) return true;
  nextRows_.Reset();
  screenRows_.Reset();
  scratchRows_.Reset();
  tableLength_ = 0;
  const size_t bytes = size_t{rows} * sizeof(uint32_t*);
  nextRows_ = allocator.Allocate(bytes);
  screenRows_ = allocator.Allocate(bytes);
  scratchRows_ = allocator.Allocate(bytes);
  if (!nextRows_ || !screenRows_ || !scratchRows_) {
    // Out of memory: the instance stays unusable and its runs draw nothing.
    nextRows_.Reset();
    screenRows_.Reset();
    scratchRows_.Reset();
    return false;
  }
  tableLength_ = rows;
  return true;
}

void Instance::RebuildScreenRows() noexcept {
  if (screen_.bits == nullptr || screen_.height <= 0) return;
  const uint32_t rows = std::min<uint32_t>(tableLength_, static_cast<uint32_t>(screen_.height));
  uint32_t** table = screenRows_.As<uint32_t*>();
  for (uint32_t y = 0; y < rows; ++y)
    table[y] = reinterpret_cast<uint32_t*>(screen_.bits + size_t{y} * static_cast<size_t>(stride_));
}

void Instance::RebuildNextRows() noexcept {
  if (next_.bits == nullptr || next_.height <= 0) return;
  const uint32_t rows = std::min<uint32_t>(tableLength_, static_cast<uint32_t>(next_.height));
  uint32_t** table = nextRows_.As<uint32_t*>();
  const size_t rowBytes = static_cast<size_t>(next_.width) * 4;
  for (uint32_t y = 0; y < rows; ++y)
    table[y] = reinterpret_cast<uint32_t*>(next_.bits + size_t{y} * rowBytes);
}

}  // namespace kelv::fx
