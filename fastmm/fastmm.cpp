// fastmm.dll: one heap shared by the host and every plug-in, so that a block allocated
// on one side of the plug-in boundary can be freed or resized on the other. Blocks come
// from a private growable heap of this library with the low-fragmentation front end.
#include <windows.h>

#include "kelv_callconv.h"

namespace {

HANDLE g_heap = nullptr;

HANDLE Heap() {
  // Created at attach; the process heap serves if creating a private one failed.
  return g_heap ? g_heap : GetProcessHeap();
}

}  // namespace

// Size 0 gives nil, like a request for nothing.
KELV_EXTERN_C KELV_EXPORT void* KELV_REGCALL FastMemory_GetMem(uint32_t size) {
  if (size == 0) return nullptr;
  return HeapAlloc(Heap(), 0, size);
}

KELV_EXTERN_C KELV_EXPORT void KELV_REGCALL FastMemory_FreeMem(void* block) {
  if (block) HeapFree(Heap(), 0, block);
}

// Resizes a block and returns the new one: nil grows into a new block, size 0 frees the
// block and gives nil. When the heap cannot satisfy the request the old block stays valid
// and untouched, and nil is returned.
KELV_EXTERN_C KELV_EXPORT void* KELV_REGCALL FastMemory_ReallocMem(void* block, uint32_t newSize) {
  if (newSize == 0) {
    FastMemory_FreeMem(block);
    return nullptr;
  }
  return block ? HeapReAlloc(Heap(), 0, block, newSize) : HeapAlloc(Heap(), 0, newSize);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_heap = HeapCreate(0, 0, 0);
    if (g_heap) {
      ULONG lowFragmentation = 2;
      HeapSetInformation(g_heap, HeapCompatibilityInformation, &lowFragmentation,
                         sizeof(lowFragmentation));
    }
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr && g_heap) {
    // Only on FreeLibrary: at process exit the heap goes with the process.
    HeapDestroy(g_heap);
    g_heap = nullptr;
  }
  return TRUE;
}
