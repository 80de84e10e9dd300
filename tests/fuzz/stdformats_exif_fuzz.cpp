// Fuzz target: the EXIF reader (orientation and date taken), which must restore the read
// position.
#include <cstdlib>

#include "exif_orientation.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  stdformats::MemorySource source(data, size);
  const stdformats::ExifFacts facts = stdformats::ReadExif(source);
  if (source.position() != 0) std::abort();
  // A date, when there is one, is always a whole EXIF date text.
  if (facts.date[0] != '\0' && !kelv::plugin::ValidExifDate(facts.date.data(), KELV_DATE_TAKEN_LENGTH))
    std::abort();
  return 0;
}
