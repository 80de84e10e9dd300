// The module's memory: either its own heap or the host's three routines, as the last
// Setup chose. Its blocks free themselves through the heap they came from, also after a
// switch of allocator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kelv_callconv.h"
#include "plugincommon/heap_block.hpp"

namespace kelv::fx {

class ModuleAllocator {
public:
  // Back to the module's own heap (GetEffectModule does this).
  void UseOwnHeap() noexcept;
  // The host's routines; ignored (own heap kept) when either routine is missing.
  void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem) noexcept;
  bool UsesHostHeap() const noexcept { return hostGet_ != nullptr; }

  // An empty block when the size does not fit 32 bits or the heap has no memory.
  plugin::HeapBlock Allocate(size_t bytes) const noexcept;

private:
  KelvGetMemProc hostGet_ = nullptr;
  KelvFreeMemProc hostFree_ = nullptr;
};

}  // namespace kelv::fx
