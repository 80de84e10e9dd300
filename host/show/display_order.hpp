// The display order: which picture comes next (sequential, reverse or random without
// repetition within a pass), the skipping of unreadable and size-filtered pictures, and
// the resume point "Prev" that lets the next run start after the last picture shown.
// Runs on the show thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelv {

class TBitmap;
class PictureDeal;
class ScreenHistory;
class MotionScene;
struct RunFlags;
class RegistryStore;
struct LoadResult;
struct LoadRequest;

// Counters of one run, read by the crash report.
struct DisplayStatistics {
  int32_t tried = 0;
  int32_t shown = 0;
  int32_t failed = 0;      // decoded nothing
  int32_t missing = 0;     // the file was not there
  int32_t unopenable = 0;  // the file could not be opened
  int32_t filtered = 0;    // below the size filter
};

struct DisplayOrderState {
  int32_t current = -1;              // global index of the last picture chosen
  std::vector<int32_t> PicShowed;    // the random order's permutation
  int32_t length = 0;                // elements of PicShowed in use (0: not built yet)
  int32_t position = -1;             // position in PicShowed of the last picture shown
  DisplayStatistics statistics;
};

// The process-wide state.
DisplayOrderState& TheDisplayOrder();

// Start of a saver run: no picture chosen yet, no permutation, counters zero.
void StartDisplayOrderRun();
// End of a run: the permutation is dropped (the next run builds a fresh one).
void EndDisplayOrderRun();

// Chooses the next picture and loads it into the target (or draws one of the display
// order's messages there when nothing can be shown). Records the choice in the screen
// history unless the run is ending.
void NextPicture(TBitmap& target, const RunFlags& run);
// The same for one of several monitors: its own screen history, and the deal that keeps
// the pictures of the other monitors' screens out while other pictures are left (null: no
// other monitors).
// With `keep`, the picture drawn is kept there (before its caption) for its motion;
// `meanwhile` goes to the loading (LoadRequest).
void NextPicture(TBitmap& target, const RunFlags& run, ScreenHistory& history, PictureDeal* deal,
                 MotionScene* keep = nullptr, const std::function<void()>& meanwhile = {});

// Takes picture `index` (exactly `name`) out of the show after the size filter rejected
// it, and repairs the order's state for the smaller catalogue. Raises "ind<>PicShowed" or
// "DFR dubl" when the random permutation does not hold what it should.
void FilterOut(int32_t index, const std::string& name);

// "Prev": writes "<index>?<path>" for a valid index, else the empty string.
void SaveResumePoint(int32_t index);
void SaveResumePoint(RegistryStore& registry, int32_t index);
// The index to resume after, or -1 (always -1 in random order).
int32_t LoadResumePoint();
int32_t LoadResumePoint(RegistryStore& registry);

// The ways out of the display order, replaceable for tests: the picture loader, the
// caption, the messages and the settings dialog's tree update for a filtered picture
// (entry and position within it; empty unless a preview runs inside the dialog).
struct DisplayOrderServices {
  // The request: the larger copy of a picture that will move, and the calls meanwhile.
  std::function<LoadResult(TBitmap& target, const std::string& fileName, const LoadRequest& request)> load;
  // The caption gets the date the decoder said the picture was taken (may be empty).
  std::function<void(TBitmap& target, int32_t index, bool fullScreen, const std::string& dateTaken)> caption;
  std::function<void(TBitmap& target, const std::string& text)> message;
  std::function<void(int32_t entry, int32_t position)> filteredInDialog;
};
// The program's own services (LoadPicture, DrawCaption, DrawMessage, no dialog update).
DisplayOrderServices DefaultDisplayOrderServices();
DisplayOrderServices& TheDisplayOrderServices();

}  // namespace kelv
