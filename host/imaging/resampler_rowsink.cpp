#include "imaging/resampler_rowsink.hpp"

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/exception.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/motion_frame.hpp"
#include "imaging/resample_contributors.hpp"
#include "imaging/resample_kernels.hpp"
#include "imaging/resample_placement.hpp"
#include "imaging/resample_row_pipeline.hpp"
#include "imaging/resample_row_stream.hpp"

namespace kelv {

namespace {

// Pictures from this many window pixels on have their passes on a helper thread.
constexpr int64_t kHelperPixels = 1000000;

// One incremental resize: prepared by the picture loader, started by the plug-in's
// header call, fed row by row, finished by the last row.
class IncrementalResize {
public:
  void Prepare(TBitmap& target, int32_t quality, double largerZoom, std::function<void()> betweenRows) {
    Reset();
    target_ = &target;
    quality_ = quality;
    largerZoom_ = largerZoom;
    betweenRows_ = std::move(betweenRows);
    startResize_ = true;
  }

  void Reset() {
    // The helper thread writes into this resize's buffers: it stops before they go. A
    // stream that did not see its last row then clears what it wrote in the target.
    pipeline_.reset();
    stream_.reset();
    *this = IncrementalResize();
  }

  bool Drawn() const { return drawn_; }
  PlacedArea Area() const { return drawn_ ? drawnArea_ : PlacedArea{}; }
  std::unique_ptr<TBitmap> TakeLarger() { return drawn_ ? std::move(larger_) : nullptr; }

  bool Init(int32_t width, int32_t height);
  bool Sink(intptr_t a, int32_t b, int32_t width, int32_t height);
  // Ends the resize after an exception; the target stays known.
  void Abort() {
    TBitmap* target = target_;
    const int32_t quality = quality_;
    Reset();
    target_ = target;
    quality_ = quality;
  }

private:
  void StartLarger();
  // The companion takes the primary's header: the same rows follow.
  void Follow(const IncrementalResize& primary);
  void Row(const uint8_t* row, int32_t index);
  void CopyRow(const uint8_t* row, int32_t index);
  void WindowRow(const uint8_t* row, int32_t at);
  void WindowPixels(const uint8_t* row, uint8_t* pixels) const;
  void AccumulateColumn(const uint8_t* row, int32_t wx);
  void FinishColumn(int32_t m);
  void StartRows();
  void BuildPasses();
  void BuildColumnSums();
  void Finish();

  // The pixel of file column c of a row as blue, green, red.
  void Fetch(const uint8_t* row, int32_t c, uint8_t* out) const {
    const uint8_t* s = row + static_cast<ptrdiff_t>(c) * 3;
    if (bgr_) {
      out[0] = s[0];
      out[1] = s[1];
      out[2] = s[2];
    } else {
      out[0] = s[2];
      out[1] = s[1];
      out[2] = s[0];
    }
  }
  ptrdiff_t TargetStride() const { return static_cast<ptrdiff_t>(target_->Width) * 4; }
  // The destination rectangle's first pixel in the target.
  uint8_t* DestinationOrigin() const {
    return static_cast<uint8_t*>(target_->Bits) + TargetStride() * place_.destY +
           static_cast<ptrdiff_t>(place_.destX) * 4;
  }
  // File column of display coordinate v along the file's x axis.
  int32_t FileColumn(int32_t v) const { return reverseFileX_ ? fileW_ - 1 - v : v; }

  TBitmap* target_ = nullptr;
  int32_t quality_ = ResizeGood;
  // For a picture that moves while it stays: a second resize of the same rows into a copy
  // `largerZoom_` times as large (its own bitmap), which the loader takes once drawn.
  double largerZoom_ = 0;
  std::function<void()> betweenRows_;  // the show's moving screen, between rows
  std::unique_ptr<IncrementalResize> companion_;
  std::unique_ptr<TBitmap> larger_;
  bool startResize_ = false;
  bool resizeStarted_ = false;
  bool drawn_ = false;
  PlacedArea drawnArea_;

  // Header of the current picture.
  int32_t orientation_ = 1;
  bool bgr_ = false;
  bool swapAxes_ = false;
  bool reverseFileX_ = false;
  bool reverseFileY_ = false;
  int32_t fileW_ = 0;  // ResSourcewidth
  int32_t fileH_ = 0;  // ResSourceheight
  int32_t prevLine_ = -1;

  PicturePlacement place_;
  bool resampling_ = false;

  // Resampling mode. Orientations 1 to 4: each file row is a display row, and the row
  // stream does both passes as the rows come. Orientations 5 to 8: the intermediate
  // buffer holds the window's rows in display orientation after the horizontal pass
  // (destW pixels of 3 bytes per row), and the vertical pass follows the last row.
  TContributors across_;
  std::unique_ptr<RowStream> stream_;
  std::unique_ptr<uint8_t[]> intermediate_;
  std::vector<uint8_t> line_;  // a row's window pixels, for whichever thread does the rows' work
  // Orientations 5 to 8: each file row is a display column, so the horizontal pass
  // collects its sums column by column as the rows arrive. For every window column x,
  // the destination columns (and weights) it contributes to; per destination column the
  // samples still missing and its running sums (one per display row and colour).
  std::vector<int32_t> usesFirst_;
  std::vector<TContributor> uses_;  // weight, destination column
  std::vector<int32_t> missing_;
  std::vector<std::vector<uint32_t>> sums_;
  std::vector<std::vector<uint32_t>> spare_;
  // The rows' work on a second thread, for pictures large enough and where there is
  // one. Last, so that it stops before the buffers it reads and writes are freed.
  std::unique_ptr<RowPipeline> pipeline_;
};

IncrementalResize& State() {
  // The one incremental resize of the process; used by the show thread or the settings
  // dialog's thread, one at a time, like the plug-ins themselves.
  static IncrementalResize state;
  return state;
}

bool IncrementalResize::Init(int32_t width, int32_t height) {
  if (target_ == nullptr || target_->Bits == nullptr || target_->Width <= 0 ||
      target_->Height <= 0 || width <= 0 || height <= 0) {
    return false;
  }
  const int32_t pw = target_->Width;
  const int32_t ph = target_->Height;
  PlacementOptions options;
  options.shrink = target_->Shrink;
  options.enlarge = target_->Enlarge;
  options.randomPos = target_->RandomPos;
  options.crop = target_->Crop;
  options.quality = quality_;

  // The placement is first worked out without random numbers, so that a picture refused
  // here does not use any up; the real one follows.
  PicturePlacement place =
      PlacePicture(pw, ph, options, width, height, [] { return 0.0; });
  if (!place.scaled && place.overflow) {
    throw Exception("internal error in InitResize, width=" + std::to_string(width) +
                    ", height=" + std::to_string(height) + ", width1=" + std::to_string(pw) +
                    ", height1=" + std::to_string(ph));
  }
  if (place.scaled && !place.resample) return false;
  // Windows outside the picture and destinations outside the target cannot happen with
  // sane sizes; such a picture takes the whole-buffer way.
  if (place.windowX < 0 || place.windowY < 0 ||
      static_cast<int64_t>(place.windowX) + place.windowW > width ||
      static_cast<int64_t>(place.windowY) + place.windowH > height || place.destX < 0 ||
      place.destY < 0 || static_cast<int64_t>(place.destX) + place.destW > pw ||
      static_cast<int64_t>(place.destY) + place.destH > ph) {
    return false;
  }
  if (place.scaled &&
      static_cast<int64_t>(place.destW) * 3 * place.windowH > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  if (!place.scaled && options.randomPos) {
    place = PlacePicture(pw, ph, options, width, height, RandomReal);
  }
  place_ = place;
  resampling_ = place.scaled;
  target_->Clear();
  if (largerZoom_ > 0) StartLarger();
  return true;
}

void IncrementalResize::StartLarger() {
  PicturePlacement larger;
  if (!MotionSourcePlacement(place_, target_->Width, target_->Height, largerZoom_, larger)) return;
  // Without memory for the copy the picture simply moves from its still.
  try {
    auto companion = std::make_unique<IncrementalResize>();
    companion->larger_ = TBitmap::Create(larger.destW, larger.destH);
    companion->target_ = companion->larger_.get();
    companion->quality_ = quality_;
    companion->place_ = larger;
    companion->resampling_ = true;
    companion_ = std::move(companion);
  } catch (...) {
    companion_.reset();
  }
}

void IncrementalResize::Follow(const IncrementalResize& primary) {
  orientation_ = primary.orientation_;
  bgr_ = primary.bgr_;
  swapAxes_ = primary.swapAxes_;
  reverseFileX_ = primary.reverseFileX_;
  reverseFileY_ = primary.reverseFileY_;
  fileW_ = primary.fileW_;
  fileH_ = primary.fileH_;
  prevLine_ = -1;
  resizeStarted_ = true;
}

bool IncrementalResize::Sink(intptr_t a, int32_t b, int32_t width, int32_t height) {
  if (b == -1 && resizeStarted_) throw Exception("ResizeStarted and curLine=-1");
  if (!resizeStarted_ && !startResize_) throw Exception("not ResizeStarted and not StartResize");
  if (!resizeStarted_ && b != -1) {
    throw Exception("not ResizeStarted and curLine=" + std::to_string(b) +
                    ", height=" + std::to_string(height));
  }
  if (b == -1) {
    int32_t o = static_cast<int32_t>(a & 0xFF);
    if (o == 0 || o > 8) o = 1;
    orientation_ = o;
    bgr_ = (a & 0x100) != 0;
    swapAxes_ = o >= 5;
    reverseFileX_ = o == 2 || o == 3 || o == 7 || o == 8;
    reverseFileY_ = o == 3 || o == 4 || o == 6 || o == 7;
    const bool ok = swapAxes_ ? Init(height, width) : Init(width, height);
    if (!ok) return false;
    fileW_ = width;
    fileH_ = height;
    prevLine_ = -1;
    resizeStarted_ = true;
    if (companion_) companion_->Follow(*this);
    return true;
  }
  if (b != prevLine_ + 1) {
    throw Exception("prevLine=" + std::to_string(prevLine_) + ", curLine=" + std::to_string(b));
  }
  if (width != fileW_ || height != fileH_) {
    throw Exception("ResSourcewidth=" + std::to_string(fileW_) + ", width=" +
                    std::to_string(width) + ", ResSourceheight=" + std::to_string(fileH_) +
                    ", height=" + std::to_string(height));
  }
  if (a == 0) throw Exception("RowSink without row, curLine=" + std::to_string(b));
  Row(reinterpret_cast<const uint8_t*>(a), b);
  if (companion_) {
    try {
      companion_->Row(reinterpret_cast<const uint8_t*>(a), b);
    } catch (...) {
      companion_.reset();  // the still goes on without the larger copy
    }
  }
  prevLine_ = b;
  if (b == fileH_ - 1) {
    Finish();
  } else if (betweenRows_) {
    betweenRows_();
  }
  return true;
}

void IncrementalResize::Row(const uint8_t* row, int32_t index) {
  if (!resampling_) {
    CopyRow(row, index);
    return;
  }
  if (index == 0) StartRows();
  // The row's place in display order: a display row (orientations 1 to 4) or a display
  // column (5 to 8); only the window's are used.
  const PicturePlacement& p = place_;
  const int32_t along = reverseFileY_ ? fileH_ - 1 - index : index;
  const int32_t first = swapAxes_ ? p.windowX : p.windowY;
  const int32_t size = swapAxes_ ? p.windowW : p.windowH;
  if (along < first || along >= first + size) return;
  if (pipeline_) {
    // The row is only valid during this call: a copy goes to the helper.
    std::memcpy(pipeline_->Line(), row, static_cast<size_t>(fileW_) * 3);
    pipeline_->Submit(along - first);
    return;
  }
  WindowRow(row, along - first);
}

// The work of file row `row`, the window's row or column `at`; on the helper thread when
// there is one.
void IncrementalResize::WindowRow(const uint8_t* row, int32_t at) {
  if (swapAxes_) {
    AccumulateColumn(row, at);
  } else {
    WindowPixels(row, line_.data());
    stream_->Add(line_.data(), at);
  }
}

// Unscaled: the part of the row inside the copied rectangle goes straight to its place.
void IncrementalResize::CopyRow(const uint8_t* row, int32_t index) {
  const int32_t along = reverseFileY_ ? fileH_ - 1 - index : index;  // display X or Y
  const PicturePlacement& p = place_;
  uint8_t* bits = static_cast<uint8_t*>(target_->Bits);
  const ptrdiff_t stride = static_cast<ptrdiff_t>(target_->Width) * 4;
  if (!swapAxes_) {
    const int32_t y = along;
    if (y < p.copyY || y >= p.copyY + p.destH) return;
    uint8_t* out = bits + stride * (p.destY + y - p.copyY) + static_cast<ptrdiff_t>(p.destX) * 4;
    for (int32_t x = p.copyX; x < p.copyX + p.destW; ++x, out += 4) Fetch(row, FileColumn(x), out);
  } else {
    const int32_t x = along;
    if (x < p.copyX || x >= p.copyX + p.destW) return;
    uint8_t* out = bits + stride * p.destY + static_cast<ptrdiff_t>(p.destX + x - p.copyX) * 4;
    for (int32_t y = p.copyY; y < p.copyY + p.destH; ++y, out += stride) Fetch(row, FileColumn(y), out);
  }
}

// The first row: the lists and buffers of the rows' work, and the helper where it pays.
void IncrementalResize::StartRows() {
  const PicturePlacement& p = place_;
  // A small picture (a grid's cell, a preview) has too little resampling to pay for a
  // thread and its wakes: its rows stay on the decoder's thread. A helper builds the
  // lists itself before the first row, while the decoder goes on.
  if (static_cast<int64_t>(p.windowW) * p.windowH >= kHelperPixels) {
    pipeline_ = RowPipeline::Start(
        static_cast<size_t>(fileW_) * 3,
        [this](const uint8_t* row, int32_t at) { WindowRow(row, at); }, [this] { BuildPasses(); });
  }
  if (!pipeline_) BuildPasses();
}

// The lists and buffers of the rows' work.
void IncrementalResize::BuildPasses() {
  const PicturePlacement& p = place_;
  if (swapAxes_) {
    BuildColumnSums();
    return;
  }
  across_ = BuildContributors(p.windowW, p.destW, 0, 4, p.filter, 0.0f);
  stream_ = std::make_unique<RowStream>(
      across_, BuildContributors(p.windowH, p.destH, 0, p.destW * 3, p.filter, 0.0f), p.destW,
      p.windowH, reverseFileY_, DestinationOrigin(), TargetStride());
  line_.assign(static_cast<size_t>(p.windowW) * 4, 0);
}

// Orientations 5 to 8: each file row is a display column, whose samples go into the
// sums of the destination columns it feeds.
void IncrementalResize::BuildColumnSums() {
  const PicturePlacement& p = place_;
  // Columns are written only once all of their samples came: a column without samples
  // keeps the buffer's zeros.
  intermediate_ = std::make_unique<uint8_t[]>(static_cast<size_t>(p.destW) * 3 * p.windowH);
  // Lists by window column index, turned around: which destination columns each
  // window column feeds.
  const TContributors lists = BuildContributors(p.windowW, p.destW, 0, 1, p.filter, 0.0f);
  usesFirst_.assign(static_cast<size_t>(p.windowW) + 1, 0);
  missing_.assign(static_cast<size_t>(p.destW), 0);
  for (int32_t m = 0; m < p.destW; ++m) {
    const TContributorList list = lists[m];
    missing_[m] = list.n;
    for (int32_t k = 0; k < list.n; ++k) ++usesFirst_[list.p[k].pixel + 1];
  }
  for (int32_t x = 0; x < p.windowW; ++x) usesFirst_[x + 1] += usesFirst_[x];
  uses_.assign(static_cast<size_t>(usesFirst_[p.windowW]), {0, 0});
  std::vector<int32_t> fill(usesFirst_.begin(), usesFirst_.end() - 1);
  for (int32_t m = 0; m < p.destW; ++m) {
    const TContributorList list = lists[m];
    for (int32_t k = 0; k < list.n; ++k) uses_[fill[list.p[k].pixel]++] = {list.p[k].weight, m};
  }
  sums_.assign(static_cast<size_t>(p.destW), {});
  line_.assign(static_cast<size_t>(p.windowH) * 3, 0);
}

// The window part of a file row (orientations 1 to 4) in display order, 4 bytes a pixel.
void IncrementalResize::WindowPixels(const uint8_t* row, uint8_t* pixels) const {
  const PicturePlacement& p = place_;
  for (int32_t x = p.windowX; x < p.windowX + p.windowW; ++x, pixels += 4) {
    Fetch(row, FileColumn(x), pixels);
  }
}

// Orientations 5 to 8: the row is one display column; its window part in display order
// is added, with each weight it has, to the sums of the destination columns it feeds.
void IncrementalResize::AccumulateColumn(const uint8_t* row, int32_t wx) {
  const PicturePlacement& p = place_;
  const int32_t len = p.windowH * 3;
  uint8_t* pixel = line_.data();
  for (int32_t y = p.windowY; y < p.windowY + p.windowH; ++y, pixel += 3) {
    Fetch(row, FileColumn(y), pixel);
  }
  for (int32_t u = usesFirst_[wx]; u < usesFirst_[wx + 1]; ++u) {
    const int32_t m = uses_[u].pixel;
    std::vector<uint32_t>& sums = sums_[m];
    if (sums.empty()) {
      if (!spare_.empty()) {
        sums = std::move(spare_.back());
        spare_.pop_back();
      }
      sums.assign(static_cast<size_t>(len), 0u);
    }
    AddWeightedBytes(sums.data(), line_.data(), len, uses_[u].weight);
    if (--missing_[m] == 0) FinishColumn(m);
  }
}

void IncrementalResize::FinishColumn(int32_t m) {
  const PicturePlacement& p = place_;
  const size_t rowBytes = static_cast<size_t>(p.destW) * 3;
  uint8_t* out = intermediate_.get() + static_cast<size_t>(m) * 3;
  const uint32_t* acc = sums_[m].data();
  for (int32_t y = 0; y < p.windowH; ++y, out += rowBytes, acc += 3) {
    out[0] = ClampSum(acc[0]);
    out[1] = ClampSum(acc[1]);
    out[2] = ClampSum(acc[2]);
  }
  spare_.push_back(std::move(sums_[m]));
  sums_[m] = {};
}

void IncrementalResize::Finish() {
  std::unique_ptr<TBitmap> larger;
  if (companion_) {
    // A failure of the larger copy costs the motion its copy, never the still.
    try {
      companion_->Finish();
      larger = companion_->TakeLarger();
    } catch (...) {
    }
    companion_.reset();
  } else if (target_ && target_ == larger_.get()) {
    larger = std::move(larger_);  // the companion itself keeps its target through the reset
  }
  if (pipeline_) {
    // The helper has written the destination rows as their rows came in, and ends
    // with the last few.
    pipeline_->Finish();
    pipeline_.reset();
  }
  if (resampling_ && swapAxes_) {
    const PicturePlacement& p = place_;
    const TContributors down = BuildContributors(p.windowH, p.destH, 0, p.destW * 3, p.filter, 0.0f);
    ResampleColumns(intermediate_.get(), p.destW, down, DestinationOrigin(), TargetStride());
  }
  TBitmap* target = target_;
  const int32_t quality = quality_;
  const PlacedArea area = CoveredArea(place_, target_->Width, target_->Height);
  Reset();
  target_ = target;
  quality_ = quality;
  drawn_ = true;
  drawnArea_ = area;
  larger_ = std::move(larger);
}

}  // namespace

void PrepareIncrementalResize(TBitmap& target, int32_t quality, double largerZoom,
                              std::function<void()> betweenRows) {
  State().Prepare(target, quality, largerZoom, std::move(betweenRows));
}

std::unique_ptr<TBitmap> TakeIncrementalLarger() { return State().TakeLarger(); }

void WithdrawIncrementalResize() { State().Reset(); }

bool IncrementalResizeDrawn() { return State().Drawn(); }

PlacedArea IncrementalResizeArea() { return State().Area(); }

bool InitResize(int32_t width, int32_t height) { return State().Init(width, height); }

bool RowSink(intptr_t a, int32_t b, int32_t width, int32_t height) {
  IncrementalResize& state = State();
  try {
    return state.Sink(a, b, width, height);
  } catch (...) {
    state.Abort();
    throw;
  }
}

}  // namespace kelv
