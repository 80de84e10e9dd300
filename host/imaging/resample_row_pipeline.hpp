// The horizontal pass of an incremental resize on a second thread: while the decoder
// delivers the next rows, the rows already delivered are resampled. The decoder's thread
// copies each file row into one of sixteen lines and hands it over; the helper puts the
// row's window part in display order (4 bytes a pixel) and writes the row's intermediate
// row, exactly as the same calls on the decoder's thread would. Memory beyond today's
// buffers: those lines.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
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

  // File rows of `rowBytes` are unpacked into `pixelBytes` and go through the lists into
  // intermediate + row * interRow; the lists, the intermediate buffer and whatever
  // `unpack` uses must outlive the pipeline.
  RowPipeline(const TContributors& lists, size_t rowBytes, size_t pixelBytes, Unpack unpack,
              uint8_t* intermediate, size_t interRow);
  // Stops the helper after the row it is on and waits for it: an abandoned picture ends
  // at once, without finishing the rows still queued.
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // A free line for the next file row; waits while the helper still has every line.
  uint8_t* Line();
  // The line last returned by Line() is intermediate row `row`.
  void Submit(int32_t row);
  // Waits until every submitted row is in the intermediate buffer.
  void Drain();

  // A pipeline when this machine has a second processor and a thread can be started;
  // null otherwise (the caller then does the pass itself).
  static std::unique_ptr<RowPipeline> Start(const TContributors& lists, size_t rowBytes,
                                            size_t pixelBytes, Unpack unpack,
                                            uint8_t* intermediate, size_t interRow);

private:
  // Rows go over in batches: waking the helper for every row costs more than the row's
  // pass on most machines, so it is woken once a batch is there (or at the end), and the
  // decoder is woken only when it waits for a free line.
  static constexpr int kLines = 16;
  static constexpr int kBatch = 4;
  void Run();

  const TContributors& lists_;
  Unpack unpack_;
  std::vector<uint8_t> pixels_;  // the helper's
  uint8_t* intermediate_;
  size_t interRow_;
  std::vector<uint8_t> lines_[kLines];
  int32_t rows_[kLines] = {};
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t submitted_ = 0;  // lines handed over so far (the next goes to submitted_ % kLines)
  int64_t done_ = 0;       // lines the helper has finished
  bool stop_ = false;
  bool draining_ = false;        // the last row is in: the helper takes whatever is left
  bool producerWaiting_ = false; // the decoder waits for a free line
  bool helperWaiting_ = false;   // the helper waits for rows
  std::thread helper_;
};

}  // namespace kelv
