#include "plugins/shared_allocator.hpp"

#include <cstdlib>
#include <limits>

namespace kelv {

namespace {

void* KELV_REGCALL CHeapGet(uint32_t size) { return size ? std::malloc(size) : nullptr; }
void KELV_REGCALL CHeapFree(void* block) { std::free(block); }
void* KELV_REGCALL CHeapRealloc(void* block, uint32_t newSize) {
  if (newSize == 0) {
    std::free(block);
    return nullptr;
  }
  return std::realloc(block, newSize);
}

MemoryManagerProcs InitialProcs() {
#ifdef _WIN32
  return {};
#else
  return CHeapMemoryManager();
#endif
}

MemoryManagerProcs& Bound() {
  static MemoryManagerProcs procs = InitialProcs();
  return procs;
}

bool FitsLibrarySize(size_t size) { return size <= std::numeric_limits<uint32_t>::max(); }

}  // namespace

MemoryManagerProcs CHeapMemoryManager() { return {&CHeapGet, &CHeapFree, &CHeapRealloc}; }

void BindSharedAllocator(const MemoryManagerProcs& procs) {
  Bound() = procs.complete() ? procs : MemoryManagerProcs{};
}

void UnbindSharedAllocator() { Bound() = InitialProcs(); }

bool SharedAllocatorBound() { return Bound().complete(); }

void* SharedGetMem(size_t size) {
  const MemoryManagerProcs& p = Bound();
  if (!p.complete() || size == 0 || !FitsLibrarySize(size)) return nullptr;
  return p.get(static_cast<uint32_t>(size));
}

void SharedFreeMem(void* block) {
  const MemoryManagerProcs& p = Bound();
  if (block && p.complete()) p.free(block);
}

bool SharedReallocMem(void*& block, size_t newSize) {
  const MemoryManagerProcs& p = Bound();
  if (!p.complete() || !FitsLibrarySize(newSize)) return false;
  if (newSize == 0) {
    if (block) p.free(block);
    block = nullptr;
    return true;
  }
  void* result = block ? p.realloc(block, static_cast<uint32_t>(newSize))
                       : p.get(static_cast<uint32_t>(newSize));
  if (!result) return false;
  block = result;
  return true;
}

}  // namespace kelv
