// The incremental form of the resampler. While an input plug-in decodes a picture it
// hands the rows to RowSink one by one (in the file's order, unrotated); the rows go
// through the horizontal pass at once, so the picture never exists at full size in
// memory. Where file rows are display rows (orientations 1 to 4), each destination row
// follows as soon as its rows are in, on a helper thread for pictures of a megapixel and
// more; for turned pictures the vertical pass runs when the last row has arrived.
// Pictures that are placed unscaled are copied row by row straight into the target.
//
// Use by the picture loader:
//   PrepareIncrementalResize(target, quality);  publish RowSink through the plug-in host
//   ... decode ...  IncrementalResizeDrawn(): the picture is already in the target
//   WithdrawIncrementalResize();                and withdraw the row sink
// RowSink raises on protocol violations; the plug-in host's entry keeps that exception on
// the host's side of the plug-in boundary.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/resample_placement.hpp"

namespace kelv {

class TBitmap;

// Marks an incremental resize as possible for the next picture, drawn into `target` with
// quality ResizeGood or ResizeBest (resample_placement.hpp). The target must live until
// WithdrawIncrementalResize. With `largerZoom`, the same rows also make the larger copy a
// moving picture is drawn from (MotionSourcePlacement), where the placement allows one.
// `betweenRows`, when set, is called after each row the sink takes.
void PrepareIncrementalResize(TBitmap& target, int32_t quality, double largerZoom = 0,
                              std::function<void()> betweenRows = {});

// Once the picture is drawn: its larger copy (null when none was made).
std::unique_ptr<TBitmap> TakeIncrementalLarger();

// Ends whatever incremental resize there is and frees its lists and buffers.
void WithdrawIncrementalResize();

// True once the last row has arrived and the picture has been drawn into the target.
bool IncrementalResizeDrawn();

// The area of the target the drawn picture covers; empty until it is drawn.
PlacedArea IncrementalResizeArea();

// Prepares the incremental form for a picture of width x height (display orientation;
// the orientation is the one of the current RowSink header call, 1 outside one): the
// crop window and the placement as the composition would choose them. Clears the target
// and returns true when the picture can be taken row by row; false when it is to be
// decoded into a whole buffer instead. Raises "internal error in InitResize, ..." for a
// picture larger than the target that would have to be placed unscaled (Shrink off).
bool InitResize(int32_t width, int32_t height);

// The row-sink protocol (see the input-module interface): RowSink(orientation word, -1,
// width, height) first, then RowSink(row pointer, index, width, height) for index 0, 1,
// ... height - 1. Returns true to accept. Protocol violations raise kelv::Exception with
// the texts "ResizeStarted and curLine=-1", "not ResizeStarted and not StartResize",
// "not ResizeStarted and curLine=<i>, height=<h>", "prevLine=<p>, curLine=<i>",
// "ResSourcewidth=<w0>, width=<w>, ResSourceheight=<h0>, height=<h>"; an exception ends
// the incremental resize.
bool RowSink(intptr_t a, int32_t b, int32_t width, int32_t height);

}  // namespace kelv
