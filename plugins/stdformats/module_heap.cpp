#include "module_heap.hpp"

#include <cstdlib>
#include <new>

namespace stdformats {

namespace {
KelvGetMemProc g_getMem = nullptr;
KelvFreeMemProc g_freeMem = nullptr;
KelvReallocMemProc g_reallocMem = nullptr;  // kept with the others; the module never grows blocks
}  // namespace

void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem, KelvReallocMemProc reallocMem) {
  g_getMem = getMem;
  g_freeMem = freeMem;
  g_reallocMem = reallocMem;
}

void UseOwnHeap() {
  g_getMem = nullptr;
  g_freeMem = nullptr;
  g_reallocMem = nullptr;
}

bool UsingHostHeap() { return g_getMem != nullptr; }

void* HeapGet(size_t size) noexcept {
  if (size == 0) size = 1;
  if (g_getMem) {
    if (size > UINT32_MAX) return nullptr;
    return g_getMem(static_cast<uint32_t>(size));
  }
  return std::malloc(size);
}

void HeapFree(void* block) noexcept {
  if (!block) return;
  if (g_freeMem)
    g_freeMem(block);
  else
    std::free(block);
}

HeapBlock NewHeapBlock(size_t size) {
  // The block remembers which heap gave it, so that a heap change cannot mismatch the free.
  const KelvFreeMemProc hostFree = g_freeMem;
  void* data = HeapGet(size);
  if (!data) throw std::bad_alloc();
  return HeapBlock(data, size, hostFree);
}

}  // namespace stdformats

extern "C" void* stdformats_heap_get(size_t size) { return stdformats::HeapGet(size); }
extern "C" void stdformats_heap_free(void* block) { stdformats::HeapFree(block); }
