// The heap behind the module's own allocations (reader buffers, libjpeg's memory on
// Windows). It is the C run-time heap until the host hands over its GetMem, FreeMem and
// ReallocMem; from then on host and module share one heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "kelv_callconv.h"

namespace stdformats {

void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem, KelvReallocMemProc reallocMem);
void UseOwnHeap();
bool UsingHostHeap();

// Nil when the heap refuses or the size does not fit the 32-bit size of the host routines.
void* HeapGet(size_t size) noexcept;
void HeapFree(void* block) noexcept;

// One block of the module heap, freed through the heap that gave it.
class HeapBlock {
public:
  HeapBlock() = default;
  explicit HeapBlock(size_t size);  // throws std::bad_alloc
  HeapBlock(HeapBlock&& other) noexcept { *this = std::move(other); }
  HeapBlock& operator=(HeapBlock&& other) noexcept;
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  ~HeapBlock() { reset(); }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  void reset() noexcept;

private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  KelvFreeMemProc hostFree_ = nullptr;
};

}  // namespace stdformats

// For the C side (libjpeg's memory routines in the DLL, the JPEG glue).
extern "C" void* stdformats_heap_get(size_t size);
extern "C" void stdformats_heap_free(void* block);
