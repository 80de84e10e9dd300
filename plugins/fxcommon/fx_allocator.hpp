// The module's memory: either its own heap or the host's three routines, as the last
// Setup chose. Every block remembers the routine that must free it, so a block made
// before a switch of allocator is still returned to the heap it came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "kelv_callconv.h"

namespace kelv::fx {

class Block;

class ModuleAllocator {
public:
  // Back to the module's own heap (GetEffectModule does this).
  void UseOwnHeap() noexcept;
  // The host's routines; ignored (own heap kept) when either routine is missing.
  void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem) noexcept;
  bool UsesHostHeap() const noexcept { return hostGet_ != nullptr; }

  // An empty block when the size does not fit 32 bits or the heap has no memory.
  Block Allocate(size_t bytes) const noexcept;

private:
  KelvGetMemProc hostGet_ = nullptr;
  KelvFreeMemProc hostFree_ = nullptr;
};

// An owned memory block; frees itself through the routine of the heap it came from.
class Block {
public:
  Block() noexcept = default;
  Block(Block&& other) noexcept { *this = std::move(other); }
  Block& operator=(Block&& other) noexcept;
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  ~Block() { Reset(); }

  void Reset() noexcept;
  void* Get() const noexcept { return data_; }
  template <class T>
  T* As() const noexcept { return static_cast<T*>(data_); }
  size_t Size() const noexcept { return size_; }
  explicit operator bool() const noexcept { return data_ != nullptr; }

private:
  friend class ModuleAllocator;
  void* data_ = nullptr;
  size_t size_ = 0;
  KelvFreeMemProc hostFree_ = nullptr;  // nil: the module's own heap
};

}  // namespace kelv::fx
