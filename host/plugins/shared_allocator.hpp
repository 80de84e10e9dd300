// The shared allocator: get, free and resize of memory blocks through the memory-manager
// library "fastmm.dll", so that the host and every plug-in work on one heap and a block
// may be freed on the other side of the plug-in boundary. The plug-in host binds it at
// the start of plug-in loading and unbinds it after the last plug-in is gone.
//
// In the native build the allocator starts bound to the C heap, so the portable code that
// allocates through it (decode buffer, resampler tables) runs in tests without a library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kelv_callconv.h"

namespace kelv {

// The memory-manager library's three exports (register convention on 32-bit x86):
// get(size) -> block; free(block); realloc(block, new size) -> new block.
using MemoryManagerGetProc = void*(KELV_REGCALL*)(uint32_t size);
using MemoryManagerFreeProc = void(KELV_REGCALL*)(void* block);
using MemoryManagerReallocProc = void*(KELV_REGCALL*)(void* block, uint32_t newSize);

struct MemoryManagerProcs {
  MemoryManagerGetProc get = nullptr;
  MemoryManagerFreeProc free = nullptr;
  MemoryManagerReallocProc realloc = nullptr;
  bool complete() const { return get && free && realloc; }
};

// The export names in the library.
inline constexpr const char* kMemoryManagerLibrary = "fastmm.dll";
inline constexpr const char* kMemoryManagerGetName = "FastMemory_GetMem";
inline constexpr const char* kMemoryManagerFreeName = "FastMemory_FreeMem";
inline constexpr const char* kMemoryManagerReallocName = "FastMemory_ReallocMem";

void BindSharedAllocator(const MemoryManagerProcs& procs);
// Back to the state before binding (unbound; the C heap in the native build).
void UnbindSharedAllocator();
bool SharedAllocatorBound();

// A C-heap implementation with the library's interface (native build, tests).
MemoryManagerProcs CHeapMemoryManager();

// The shared allocator itself. While it is unbound, get and resize give nil and free
// ignores the block: nothing may be allocated on a heap that later becomes a different one.
void* SharedGetMem(size_t size);
void SharedFreeMem(void* block);
// Resizes `block` in place of the reference: nil grows into a new block, size 0 frees it
// and stores nil. On failure the block stays valid and unchanged and false is returned.
bool SharedReallocMem(void*& block, size_t newSize);

}  // namespace kelv
