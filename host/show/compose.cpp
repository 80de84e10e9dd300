#include "show/compose.hpp"

#include <memory>
#include <utility>

#include "catalogue/pic_list.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/blurred_background.hpp"
#include "imaging/caption.hpp"
#include "imaging/motion_frame.hpp"
#include "imaging/resample_placement.hpp"
#include "imaging/resampler.hpp"
#include "imaging/resampler_rowsink.hpp"
#include "plugins/plugin_host.hpp"
#include "settings/settings.hpp"
#include "show/compose_history.hpp"
#include "show/compose_layout.hpp"
#include "show/compose_platform.hpp"
#include "show/display_order.hpp"
#include "show/motion_scene.hpp"
#include "show/run_flags.hpp"

namespace kelv {

namespace {

// Whatever happens to the decode, the shared buffer, the row sink and the resampler's
// lists are given back before the loader returns.
class DecodeSession {
public:
  DecodeSession() = default;
  ~DecodeSession() {
    FreeBuffer();
    WithdrawRowSink();
    WithdrawIncrementalResize();
  }
  DecodeSession(const DecodeSession&) = delete;
  DecodeSession& operator=(const DecodeSession&) = delete;
};

}  // namespace

LoadResult LoadPicture(TBitmap& target, const std::string& fileName, const LoadRequest& request) {
  const double motionZoom = request.motionZoom;
  LoadResult result;
  const Settings& s = TheSettings();
  int32_t minWidth = 0, minHeight = 0;
  if (SaverRunActive && s.filterres) {
    minWidth = s.filterx;
    minHeight = s.filtery;
  }
  DecodeSession session;
  const bool rowByRow = (s.Resize == ResizeGood || s.Resize == ResizeBest) && s.rtresize;
  if (rowByRow) {
    PrepareIncrementalResize(target, s.Resize, motionZoom, request.meanwhile);
    PublishRowSink(&RowSink);
  }

  DecodeResult decoded = DecodeFile(fileName, target.Width, target.Height, minWidth, minHeight);
  if (request.meanwhile) request.meanwhile();
  result.formatName = decoded.formatName;
  result.fileSize = decoded.fileSize;

  const bool drawnByRows = decoded.decoded && decoded.rowsTaken && IncrementalResizeDrawn();
  if (decoded.decoded && (decoded.bitmap || drawnByRows) && decoded.width > 0 &&
      decoded.height > 0) {
    const PlacedArea area = drawnByRows ? IncrementalResizeArea()
                                        : DrawPicture(target, *decoded.bitmap, motionZoom, &result.larger);
    if (drawnByRows && motionZoom > 0) result.larger = TakeIncrementalLarger();
    if (request.meanwhile) request.meanwhile();
    if (BlurredBackgroundWanted(s, target)) {
      DrawBlurredBackground(PixelView{static_cast<uint8_t*>(target.Bits), target.Width, target.Height}, area);
    }
    result.width = decoded.width;
    result.height = decoded.height;
    result.dateTaken = std::move(decoded.dateTaken);
    result.placed = area;
  } else if (decoded.width < 0 && decoded.height < 0) {
    result.width = decoded.width;
    result.height = decoded.height;
  } else {
    // Unreadable, or rows that stopped short of the picture's end.
    target.Clear();
    result.fileMissing = decoded.fileMissing;
    result.fileUnopenable = decoded.fileUnopenable;
  }
  if (decoded.bitmap) ReleaseWrapper(decoded.bitmap);
  return result;
}

bool BlurredBackgroundWanted(const Settings& s, const TBitmap& target) {
  // With Fill the screen the picture is meant to fill its cell: the few it cannot
  // (shapes too far from the cell's) keep black bars, as the dialog's disabled check
  // box says.
  return s.Background && !target.Crop && target.Bits != nullptr;
}

PlacedArea DrawPicture(TBitmap& target, const TBitmap& source, double motionZoom, std::shared_ptr<TBitmap>* larger) {
  const int32_t pw = target.Width;
  const int32_t ph = target.Height;
  if (pw <= 0 || ph <= 0 || !target.Bits) return {};
  target.Clear();
  if (source.Width <= 0 || source.Height <= 0 || !source.Bits) return {};

  PlacementOptions options;
  options.shrink = target.Shrink;
  options.enlarge = target.Enlarge;
  options.randomPos = target.RandomPos;
  options.crop = target.Crop;
  options.quality = TheSettings().Resize;
  const PicturePlacement p =
      PlacePicture(pw, ph, options, source.Width, source.Height, RandomReal);

  if (p.exactFit) {
    CopyRect(target, source, 0, ph - 1, 0, pw - 1, p.windowX, p.windowY);
  } else if (!p.scaled) {
    CopyRect(target, source, p.destY, p.destY + p.destH - 1, p.destX, p.destX + p.destW - 1,
             p.copyX, p.copyY);
  } else if (p.destW <= 0 || p.destH <= 0) {
    // A sliver that rounds to nothing in the target: nothing to draw.
  } else if (p.resample) {
    Resample(&target, p.destX, p.destY, p.destW, p.destH, &source, p.windowX, p.windowY,
             p.windowW, p.windowH, p.filter);
    PicturePlacement big;
    if (larger && motionZoom > 0 && MotionSourcePlacement(p, pw, ph, motionZoom, big)) {
      // Without memory for the copy the picture moves from its still.
      try {
        std::unique_ptr<TBitmap> copy = TBitmap::Create(big.destW, big.destH);
        Resample(copy.get(), 0, 0, big.destW, big.destH, &source, p.windowX, p.windowY, p.windowW, p.windowH,
                 p.filter);
        *larger = std::move(copy);
      } catch (...) {
        larger->reset();
      }
    }
  } else {
    compose_platform::StretchWindow(target, p.destX, p.destY, p.destW, p.destH, source,
                                    p.windowX, p.windowY, p.windowW, p.windowH);
  }
  return CoveredArea(p, pw, ph);
}

void ComposeScreen(TBitmap& next, const RunFlags& run) { ComposeScreen(next, run, TheHistory(), nullptr); }

void ComposeScreen(TBitmap& next, const RunFlags& run, ScreenHistory& history, PictureDeal* deal,
                   MotionScene* keep, const std::function<void()>& meanwhile) {
  if (keep) keep->Release();
  const Settings& s = TheSettings();
  const int32_t count = history.Replaying() ? history.ReplayedCount() : ChooseScreenCount(s);
  const std::vector<CellRect> cells = ScreenCells(count, next.Width, next.Height);

  if (cells.empty()) {
    history.SetCell(0);
    NextPicture(next, run, history, deal, keep, meanwhile);
    if (keep) {
      if (run.Stopping()) keep->Release();
      else keep->KeepCaption(PixelView{static_cast<uint8_t*>(next.Bits), next.Width, next.Height});
    }
  } else {
    if (TheCatalogue().PictureCount() == 0) {
      DrawMessage(next, kNoPicturesMessage);
      return;
    }
    for (size_t i = 0; i < cells.size(); ++i) {
      const CellRect& c = cells[i];
      // A bitmap narrower than the grid has cells without pixels; they stay as they are.
      if (c.Width() > 0 && c.Height() > 0) {
        std::unique_ptr<TBitmap> cell = TBitmap::Create(c.Width(), c.Height());
        cell->Shrink = true;
        cell->Enlarge = s.Enlarge;
        cell->RandomPos = s.RandomPos;
        cell->Crop = s.crop;
        history.SetCell(static_cast<int32_t>(i));
        NextPicture(*cell, run, history, deal, nullptr, meanwhile);
        CopyRect(next, *cell, c.top, c.bottom, c.left, c.right, 0, 0);
      }
      compose_platform::ProcessPendingMessages();
      if (meanwhile) meanwhile();
      if (run.Stopping()) break;
    }
  }
  if (!run.Stopping()) history.FinishScreen(count);
}

}  // namespace kelv
