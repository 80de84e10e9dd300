// An incremental resize's two passes on a second thread: while the decoder delivers the
// next rows, the rows already delivered are resampled. The decoder's thread copies each
// file row into one of 24 lines and hands it over; the helper puts the row's window
// part in display order (4 bytes a pixel), writes the row's intermediate row, and works
// out every destination row whose intermediate rows are all in, exactly as the same calls
// on the decoder's thread would. When the last row is in, only the few destination rows
// that wait for it remain. Memory beyond today's buffers: those lines.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/resample_contributors.hpp"

namespace kelv {

class RowPipeline {
public:
  // Turns a file row into the window's pixels for the horizontal pass.
  using Unpack = std::function<void(const uint8_t* fileRow, uint8_t* pixels)>;

  // The horizontal pass: file rows of `rowBytes` are unpacked into `pixelBytes` and go
  // through `across` into intermediate + row * interRow, for rows 0 .. interRows - 1.
  // Rows come in order, from the top, or from the bottom when `bottomUp`.
  struct Across {
    const TContributors* lists;
    size_t rowBytes;
    size_t pixelBytes;
    Unpack unpack;
    uint8_t* intermediate;
    size_t interRow;
    int32_t interRows;
    bool bottomUp;
  };
  // The vertical pass: `down` (byte offsets into the intermediate buffer, interRow apart)
  // writes `width` pixels into each row dest + y * stride.
  struct Down {
    const TContributors* lists;
    int32_t width;
    uint8_t* dest;
    ptrdiff_t stride;
  };

  // Whatever the passes use must outlive the pipeline.
  RowPipeline(Across across, Down down);
  // Stops the helper after the row it is on and waits for it: an abandoned picture ends
  // at once, without finishing the rows still queued. The destination rows already
  // written are cleared again, so that an abandoned picture leaves its rectangle as the
  // picture loader found it (cleared).
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // A free line for the next file row; waits while the helper still has every line.
  // Line() and Finish() raise the exception that ended the helper, if one did.
  uint8_t* Line();
  // The line last returned by Line() is intermediate row `row` (the next in order).
  void Submit(int32_t row);
  // Waits until every submitted row is in and every destination row is written; the
  // picture is then complete and stays so.
  void Finish();

  // A pipeline when this machine has a second processor and a thread can be started;
  // null otherwise (the caller then does the passes itself).
  static std::unique_ptr<RowPipeline> Start(Across across, Down down);

private:
  // Rows go over in batches: waking the helper for every row costs more than the row's
  // pass on most machines, so it is woken once a batch is there (or at the end), and the
  // decoder is woken only when the line it waits for is free. Each side is woken once
  // per wait: a wake is a system call, and a sleeping side needs only one. A JPEG
  // decoder hands rows over in bursts (a band of blocks, 8 rows at half size), so a batch
  // is two bursts, and the lines leave the decoder a burst's room while the helper wakes.
  static constexpr int kLines = 24;
  static constexpr int kBatch = 16;
  void Run();
  void Work();
  // On the decoder's thread, with the lock held: raises what ended the helper, if anything did.
  void RaiseFailure();
  // Destination rows whose intermediate rows are all among the first `rowsIn` rows
  // delivered, not yet written.
  void WriteReadyRows(int64_t rowsIn);
  void ClearWrittenRows();

  Across across_;
  Down down_;
  // Per destination row (in the order they are written), how many intermediate rows
  // must be in before it can be: top down, its lowest sample row + 1 (and at least its
  // predecessor's); bottom up, windowH less its highest.
  std::vector<int64_t> rowsNeeded_;
  int32_t written_ = 0;          // destination rows written so far, in that order
  std::vector<uint8_t> pixels_;  // the helper's
  std::vector<uint8_t> lines_[kLines];
  int32_t rows_[kLines] = {};
  std::mutex mutex_;
  std::condition_variable rowsIn_;    // the helper waits here
  std::condition_variable linesOut_;  // the decoder waits here
  int64_t submitted_ = 0;  // lines handed over so far (the next goes to submitted_ % kLines)
  int64_t done_ = 0;       // lines the helper has finished
  int64_t wanted_ = -1;    // the decoder sleeps until done_ reaches this (-1: not waiting)
  bool stop_ = false;
  bool finishing_ = false;  // the last row is in: the helper takes whatever is left
  bool complete_ = false;   // every destination row is written
  bool helperAsleep_ = false;
  std::exception_ptr failure_;  // what ended the helper early
  std::thread helper_;
};

}  // namespace kelv
