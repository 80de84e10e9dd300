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

plugin::HeapBlock ModuleAllocator::Allocate(size_t bytes) const noexcept {
  if (bytes == 0 || bytes > 0xFFFFFFF0u) return {};
  if (hostGet_ != nullptr) return plugin::HeapBlock(hostGet_(static_cast<uint32_t>(bytes)), bytes, hostFree_);
  return plugin::HeapBlock(std::malloc(bytes), bytes, nullptr);
}

}  // namespace kelv::fx
