#include "plugincommon/heap_block.hpp"

#include <cstdlib>

namespace kelv::plugin {

HeapBlock::HeapBlock(void* data, size_t size, KelvFreeMemProc hostFree) noexcept
    : data_(data), size_(data ? size : 0), hostFree_(data ? hostFree : nullptr) {}

HeapBlock& HeapBlock::operator=(HeapBlock&& other) noexcept {
  if (this != &other) {
    Reset();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    hostFree_ = std::exchange(other.hostFree_, nullptr);
  }
  return *this;
}

void HeapBlock::Reset() noexcept {
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

}  // namespace kelv::plugin
