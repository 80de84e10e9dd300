// Where the decoders read a picture from: a file behind the host's handle, or bytes in
// memory (tests, fuzzing). Reads never fail loudly; a short read means the data ended.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module_heap.hpp"

namespace stdformats {

class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes at the current position; fewer only where the data ends.
  virtual size_t read(void* dst, size_t n) = 0;
  virtual uint64_t position() const = 0;
  // Any position is allowed; beyond the end nothing more is read.
  virtual void seek(uint64_t pos) = 0;
  virtual uint64_t size() const = 0;

  // The next byte, or -1 at the end.
  int readByte() {
    uint8_t b;
    return read(&b, 1) == 1 ? b : -1;
  }
  bool readExact(void* dst, size_t n) { return read(dst, n) == n; }
  uint64_t remaining() const {
    const uint64_t pos = position(), total = size();
    return pos < total ? total - pos : 0;
  }
};

class MemorySource final : public ByteSource {
public:
  MemorySource(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  size_t read(void* dst, size_t n) override;
  uint64_t position() const override { return pos_; }
  void seek(uint64_t pos) override { pos_ = pos; }
  uint64_t size() const override { return size_; }

private:
  const uint8_t* data_;
  size_t size_;
  uint64_t pos_ = 0;
};

// A file read at absolute offsets, buffered so that byte-wise parsing (PPM text) stays
// cheap. Subclasses supply the raw positioned read.
class BufferedFileSource : public ByteSource {
public:
  size_t read(void* dst, size_t n) override;
  uint64_t position() const override { return pos_; }
  void seek(uint64_t pos) override { pos_ = pos; }
  uint64_t size() const override { return size_; }

protected:
  BufferedFileSource() : buffer_(NewHeapBlock(kBufferSize)) {}
  void setSize(uint64_t size) { size_ = size; }
  // Reads up to n bytes at pos; returns what was read (0 at the end or on an error).
  virtual size_t readAt(uint64_t pos, void* dst, size_t n) = 0;

private:
  static constexpr size_t kBufferSize = 64 * 1024;
  HeapBlock buffer_;
  uint64_t bufferStart_ = 0;
  size_t bufferLength_ = 0;
  uint64_t pos_ = 0;
  uint64_t size_ = 0;
};

// The file behind the host's file record (its handle at offset 0). The positioned read
// and the size query are the platform's (stdformats_file_win.cpp / _posix.cpp).
class HostFileSource final : public BufferedFileSource {
public:
  explicit HostFileSource(void* handle);

protected:
  size_t readAt(uint64_t pos, void* dst, size_t n) override;

private:
  void* handle_;
};

}  // namespace stdformats
