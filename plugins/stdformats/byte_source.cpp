#include "byte_source.hpp"

#include <algorithm>
#include <cstring>

namespace stdformats {

size_t MemorySource::read(void* dst, size_t n) {
  if (pos_ >= size_) return 0;
  const size_t count = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos_));
  std::memcpy(dst, data_ + pos_, count);
  pos_ += count;
  return count;
}

size_t BufferedFileSource::read(void* dst, size_t n) {
  auto* out = static_cast<uint8_t*>(dst);
  size_t total = 0;
  while (n > 0) {
    if (pos_ >= bufferStart_ && pos_ < bufferStart_ + bufferLength_) {
      const size_t offset = static_cast<size_t>(pos_ - bufferStart_);
      const size_t count = std::min(n, bufferLength_ - offset);
      std::memcpy(out, buffer_.As<uint8_t>() + offset, count);
      out += count;
      n -= count;
      total += count;
      pos_ += count;
      continue;
    }
    if (pos_ >= size_) break;
    if (n >= buffer_.Size()) {
      // Large reads (BMP pixel data, JPEG chunks) go straight to the file.
      const size_t count = readAt(pos_, out, n);
      total += count;
      pos_ += count;
      break;
    }
    bufferStart_ = pos_;
    bufferLength_ = readAt(pos_, buffer_.As<uint8_t>(), buffer_.Size());
    if (bufferLength_ == 0) break;
  }
  return total;
}

}  // namespace stdformats
