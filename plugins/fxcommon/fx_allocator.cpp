#include "fxcommon/fx_allocator.hpp"

#include <cstdlib>

namespace kelv::fx {

void ModuleAllocator::UseOwnHeap() noexcept {
  hostGet_ = nullptr;
  hostFree_ = nullptr;
}

void ModuleAllocator::UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem) noexcept {
  if (getMem == nullptr || freeMem == nullptr) {
    UseOwnHeap();
    return;
  }
  hostGet_ = getMem;
  hostFree_ = freeMem;
}

Block ModuleAllocator::Allocate(size_t bytes) const noexcept {
  Block b;
  if (bytes == 0 || bytes > 0xFFFFFFF0u) return b;
  if (hostGet_ != nullptr) {
    b.data_ = hostGet_(static_cast<uint32_t>(bytes));
    if (b.data_ != nullptr) b.hostFree_ = hostFree_;
  } else {
    b.data_ = std::malloc(bytes);
  }
  if (b.data_ != nullptr) b.size_ = bytes;
  return b;
}

Block& Block::operator=(Block&& other) noexcept {
  if (this != &other) {
    Reset();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    hostFree_ = std::exchange(other.hostFree_, nullptr);
  }
  return *this;
}

void Block::Reset() noexcept {
  if (data_ != nullptr) {
    if (hostFree_ != nullptr)
      hostFree_(data_);
    else
      std::free(data_);
  }
  data_ = nullptr;
  size_ = 0;
  hostFree_ = nullptr;
}

}  // namespace kelv::fx
