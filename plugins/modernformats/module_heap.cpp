#include "module_heap.hpp"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace modernformats {

namespace {
KelvGetMemProc g_getMem = nullptr;
KelvFreeMemProc g_freeMem = nullptr;
}  // namespace

void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem) {
  g_getMem = getMem;
  g_freeMem = freeMem;
}

void UseOwnHeap() {
  g_getMem = nullptr;
  g_freeMem = nullptr;
}

HeapBlock NewHeapBlock(size_t size) {
  if (size == 0) size = 1;
  void* data = nullptr;
  if (g_getMem) {
    if (size <= UINT32_MAX) data = g_getMem(static_cast<uint32_t>(size));
  } else {
    data = std::malloc(size);
  }
  if (!data) throw std::bad_alloc();
  // The block remembers which heap gave it, so that a heap change cannot mismatch the free.
  return HeapBlock(data, size, g_getMem ? g_freeMem : nullptr);
}

}  // namespace modernformats
