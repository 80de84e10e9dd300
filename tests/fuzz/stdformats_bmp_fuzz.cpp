// Fuzz target: the BMP decode path (first byte: decode options, the rest: the file).
#include "stdformats_fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  stdfuzz::Run(stdformats::DecodeKind::Raster, data, size);
  return 0;
}
