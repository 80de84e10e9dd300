// The whole picture file read into the module heap: both libraries decode from memory.
// The read goes through the handle of the host's file record (modernformats_win.cpp; the
// native build's stand-in, modernformats_posix.cpp, takes a POSIX descriptor there).
#pragma once

#include <cstdint>
#include <span>

#include "module_heap.hpp"

namespace modernformats {

// Files above this are refused rather than read: no photo comes near it, and a 32-bit
// host could not hold the decoded picture anyway.
inline constexpr uint64_t kMaxFileBytes = 256u << 20;

class FileBytes {
public:
  // Throws DecodeError when the file cannot be read whole or is too large.
  explicit FileBytes(void* handle);
  std::span<const uint8_t> bytes() const { return {block_.As<const uint8_t>(), size_}; }

private:
  HeapBlock block_;
  size_t size_ = 0;
};

}  // namespace modernformats
