// An incremental resize's work on a second thread: while the decoder delivers the next
// rows, the rows already delivered are resampled. The decoder's thread copies each file
// row into one of 24 lines and hands it over; the helper does the row's work (both
// passes through the row stream, or a turned picture's column sums), exactly as the same
// call on the decoder's thread would. When the last row is in, only the work of the last
// few rows remains. Memory beyond the resize's own: those lines.
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

namespace kelv {

class RowPipeline {
public:
  // The work of one file row, given with the number it was submitted under; runs on the
  // helper, one row after the other in the order submitted.
  using Work = std::function<void(const uint8_t* fileRow, int32_t row)>;

  // Work done on the helper before the first row (building what the rows' work uses).
  using Setup = std::function<void()>;

  // File rows have `rowBytes`; whatever `work` and `setup` use must outlive the pipeline.
  RowPipeline(size_t rowBytes, Work work, Setup setup = {});
  // Stops the helper after the row it is on and waits for it: an abandoned picture ends
  // at once, without finishing the rows still queued.
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // A free line for the next file row; waits while the helper still has every line.
  // Line() and Finish() raise the exception that ended the helper, if one did.
  uint8_t* Line();
  // The line last returned by Line() is ready; the work gets it with `row`.
  void Submit(int32_t row);
  // Waits until the work of every submitted row is done.
  void Finish();

  // A pipeline when this machine has a second processor and a thread can be started;
  // null otherwise (the caller then does the rows' work itself).
  static std::unique_ptr<RowPipeline> Start(size_t rowBytes, Work work, Setup setup = {});

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
  void Loop();
  // On the decoder's thread, with the lock held: raises what ended the helper, if anything did.
  void RaiseFailure();
  Work work_;
  Setup setup_;
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
  bool complete_ = false;   // the work of every row is done
  bool helperAsleep_ = false;
  std::exception_ptr failure_;  // what ended the helper early
  std::thread helper_;
};

}  // namespace kelv
