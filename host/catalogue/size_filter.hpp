// The size filter's bookkeeping: the minimum picture size handed to the decoder. The
// filter is in force only while a saver run is active (a show inside the settings dialog
// is a run too); decoding outside a run (the dialog's display of a selected picture and
// its properties) passes no minimum.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelv {

struct Settings;

// Raised while a saver run is active.
inline std::atomic<bool> SaverRunActive{false};

// Raises the run-active flag for its lifetime.
class SaverRunActiveScope {
public:
  SaverRunActiveScope() { SaverRunActive = true; }
  ~SaverRunActiveScope() { SaverRunActive = false; }
  SaverRunActiveScope(const SaverRunActiveScope&) = delete;
  SaverRunActiveScope& operator=(const SaverRunActiveScope&) = delete;
};

struct MinimumPictureSize {
  int32_t width = 0;
  int32_t height = 0;
  bool active() const { return width > 0 || height > 0; }
};

// "filterx" x "filtery" while a run is active and "filterres" is on; otherwise none.
MinimumPictureSize DecodeMinimumSize(const Settings& settings, bool runActive);
inline MinimumPictureSize DecodeMinimumSize(const Settings& settings) {
  return DecodeMinimumSize(settings, SaverRunActive.load());
}

}  // namespace kelv
