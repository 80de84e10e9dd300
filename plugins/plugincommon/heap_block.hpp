// One block of a plug-in's memory. A plug-in allocates either from its own heap (the C
// run-time's) or through the host's GetMem, depending on what the host last handed it; the
// block keeps the FreeMem routine that belongs to the heap it came from, so that a switch
// of heap between allocation and release never returns it to the wrong one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "kelv_callconv.h"

namespace kelv::plugin {

class HeapBlock {
public:
  HeapBlock() noexcept = default;
  // Takes `data` over: it came from the host's GetMem when `hostFree` is set, else from
  // std::malloc. A nil `data` gives an empty block.
  HeapBlock(void* data, size_t size, KelvFreeMemProc hostFree) noexcept;
  HeapBlock(HeapBlock&& other) noexcept { *this = std::move(other); }
  HeapBlock& operator=(HeapBlock&& other) noexcept;
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  ~HeapBlock() { Reset(); }

  void Reset() noexcept;
  void* Get() const noexcept { return data_; }
  template <class T>
  T* As() const noexcept { return static_cast<T*>(data_); }
  size_t Size() const noexcept { return size_; }
  explicit operator bool() const noexcept { return data_ != nullptr; }

private:
  void* data_ = nullptr;
  size_t size_ = 0;
  KelvFreeMemProc hostFree_ = nullptr;  // nil: the C run-time heap
};

}  // namespace kelv::plugin
