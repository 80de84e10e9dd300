// libFuzzer target for the catalogue cache reader. Any input must load without a memory
// fault, give entries whose filtered names merge back without an error, and survive a
// write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "catalogue/cache_file.hpp"
#include "common/exception.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelv::TPicList list;
  kelv::DecodeCatalogue(data, size, list);

  const int32_t count = list.PictureCount();
  for (int32_t g = -1; g <= count && g < 64; ++g) (void)list.PictureName(g);

  std::vector<uint8_t> written = kelv::EncodeCatalogue(list);
  kelv::TPicList again;
  kelv::DecodeCatalogue(written.data(), written.size(), again);
  if (kelv::EncodeCatalogue(again) != written) std::abort();

  try {
    list.RestoreAllFiltered();
  } catch (const kelv::Exception&) {
    std::abort();  // a loaded catalogue must always merge back
  }
  return 0;
}
