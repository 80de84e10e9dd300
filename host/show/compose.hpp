// Composing a screen: how many pictures the next screen shows, the cells they go in, and
// each picture's way from file to cell (decode, crop, scale, place, caption). The display
// order (catalogue/display_order.hpp) chooses which picture fills a cell.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "catalogue/size_filter.hpp"  // SaverRunActive: the size filter only judges pictures during a run
#include "imaging/bitmap.hpp"
#include "imaging/resample_placement.hpp"

namespace kelv {

class TBitmap;
class PictureDeal;
class ScreenHistory;
class MotionScene;
struct RunFlags;
struct Settings;

struct LoadResult {
  // The picture's own size when it was drawn; both negative when the size filter
  // rejected it; 0 when it could not be read.
  int32_t width = 0;
  int32_t height = 0;
  std::string formatName;
  int64_t fileSize = -1;  // -1 when unknown
  bool fileMissing = false;
  bool fileUnopenable = false;
  std::string dateTaken;  // EXIF date text from the decoder; empty when it gave none
  PlacedArea placed;      // where the picture lies in the target (empty when not drawn)
  // Asked for by a moving picture: its copy as large as the deepest zoom, drawn from the
  // decoded picture (null where the placed still is what it moves from).
  std::shared_ptr<TBitmap> larger;
};

// Decodes `fileName` through the input modules (row by row into the target when the
// quality allows) and draws it into the target, with the blurred background in its bars
// when that is wanted; a picture that cannot be read leaves the target black.
// What a moving show asks of the loading of a picture: with `motionZoom` above 0 the
// result carries the larger copy the picture will move from; `meanwhile`, when set, is
// called now and then while the picture loads (between decoded rows and between the
// steps), so that the screen on display goes on moving.
struct LoadRequest {
  double motionZoom = 0;
  std::function<void()> meanwhile;
};

LoadResult LoadPicture(TBitmap& target, const std::string& fileName, const LoadRequest& request = {});

// Crops, scales and places the source in the target by the target's placement options
// and the "Resize" quality. The target is cleared first. Returns the area the picture
// covers (empty when nothing was drawn).
// With `larger`, a resampled picture also gets its copy `motionZoom` times as large there.
PlacedArea DrawPicture(TBitmap& target, const TBitmap& source, double motionZoom = 0,
                       std::shared_ptr<TBitmap>* larger = nullptr);

// Whether a picture drawn into the target gets the blurred background in its bars:
// "Background" on, and the target not set to crop (Fill the screen).
bool BlurredBackgroundWanted(const Settings& s, const TBitmap& target);

// Fills `next` (the run's next-picture bitmap) with the next screen: one picture, or a
// grid or pair of cells each filled by the display order; a replayed screen from the
// history when the show cycle asks for one. Stops early when the run stops, and then
// leaves the history as it is.
void ComposeScreen(TBitmap& next, const RunFlags& run);
// The same for one of several monitors, with its own history and the monitors' deal.
// With `keep`, a screen of one picture keeps that picture for its motion (a grid, a
// message or a stopped compose keeps nothing); `meanwhile` is called now and then while
// it composes (see LoadRequest).
void ComposeScreen(TBitmap& next, const RunFlags& run, ScreenHistory& history, PictureDeal* deal,
                   MotionScene* keep = nullptr, const std::function<void()>& meanwhile = {});

}  // namespace kelv
