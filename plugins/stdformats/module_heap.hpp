// The heap behind the module's own allocations (reader buffers, libjpeg's memory on
// Windows). It is the C run-time heap until the host hands over its GetMem, FreeMem and
// ReallocMem; from then on host and module share one heap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kelv_callconv.h"
#include "plugincommon/heap_block.hpp"

namespace stdformats {

void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem, KelvReallocMemProc reallocMem);
void UseOwnHeap();
bool UsingHostHeap();

// Nil when the heap refuses or the size does not fit the 32-bit size of the host routines.
void* HeapGet(size_t size) noexcept;
void HeapFree(void* block) noexcept;

// Blocks of the module heap free themselves through the heap that gave them.
using kelv::plugin::HeapBlock;

// A block of `size` bytes from the module heap; throws std::bad_alloc when HeapGet fails.
HeapBlock NewHeapBlock(size_t size);

}  // namespace stdformats

// For the C side (libjpeg's memory routines in the DLL, the JPEG glue).
extern "C" void* stdformats_heap_get(size_t size);
extern "C" void stdformats_heap_free(void* block);
