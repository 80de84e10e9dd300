// Fuzz target: the EXIF orientation reader, which must restore the read position.
#include <cstdlib>

#include "exif_orientation.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  stdformats::MemorySource source(data, size);
  stdformats::ReadExifOrientation(source);
  if (source.position() != 0) std::abort();
  return 0;
}
