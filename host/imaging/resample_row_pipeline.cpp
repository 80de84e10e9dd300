#include "imaging/resample_row_pipeline.hpp"

#include <system_error>
#include <utility>

namespace kelv {

RowPipeline::RowPipeline(size_t rowBytes, Work work, Setup setup)
    : work_(std::move(work)), setup_(std::move(setup)) {
  for (std::vector<uint8_t>& line : lines_) line.assign(rowBytes, 0);
  helper_ = std::thread([this] { Run(); });
}

RowPipeline::~RowPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  rowsIn_.notify_one();
  if (helper_.joinable()) helper_.join();
}

std::unique_ptr<RowPipeline> RowPipeline::Start(size_t rowBytes, Work work, Setup setup) {
  if (std::thread::hardware_concurrency() < 2) return nullptr;
  try {
    return std::make_unique<RowPipeline>(rowBytes, std::move(work), std::move(setup));
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had: the rows stay on the decoder's thread
  }
}

uint8_t* RowPipeline::Line() {
  std::unique_lock<std::mutex> lock(mutex_);
  // The line to fill is free once the helper is done with the row it held kLines ago.
  if (submitted_ - done_ >= kLines) {
    const int64_t wanted = submitted_ - kLines + 1;
    wanted_ = wanted;
    if (helperAsleep_) {  // a full ring is more than a batch
      helperAsleep_ = false;
      rowsIn_.notify_one();
    }
    linesOut_.wait(lock, [this, wanted] { return done_ >= wanted || failure_; });
  }
  RaiseFailure();
  return lines_[submitted_ % kLines].data();
}

void RowPipeline::Submit(int32_t row) {
  std::lock_guard<std::mutex> lock(mutex_);
  rows_[submitted_ % kLines] = row;
  ++submitted_;
  if (helperAsleep_ && submitted_ - done_ >= kBatch) {
    helperAsleep_ = false;
    rowsIn_.notify_one();
  }
}

void RowPipeline::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  finishing_ = true;
  if (helperAsleep_) {
    helperAsleep_ = false;
    rowsIn_.notify_one();
  }
  linesOut_.wait(lock, [this] { return complete_ || failure_; });
  RaiseFailure();
}

void RowPipeline::Run() {
  try {
    Loop();
  } catch (...) {
    // Nothing may leave a thread's function: the failure (out of memory for a pass's
    // sums) goes to the decoder's thread, which raises it in its next call.
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::current_exception();
    linesOut_.notify_one();
  }
}

void RowPipeline::RaiseFailure() {
  if (failure_) std::rethrow_exception(failure_);
}

void RowPipeline::Loop() {
  if (setup_) setup_();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    helperAsleep_ = true;
    rowsIn_.wait(lock, [this] { return stop_ || submitted_ - done_ >= kBatch || finishing_; });
    helperAsleep_ = false;
    if (stop_) return;
    // Every row handed over by now, without taking the lock between them.
    const int64_t end = submitted_;
    int64_t rowsIn = done_;
    while (rowsIn < end) {
      const int slot = static_cast<int>(rowsIn % kLines);
      const int32_t row = rows_[slot];
      lock.unlock();
      work_(lines_[slot].data(), row);
      ++rowsIn;
      lock.lock();
      done_ = rowsIn;
      if (wanted_ >= 0 && done_ >= wanted_) {
        wanted_ = -1;
        linesOut_.notify_one();
      }
      if (stop_) return;
    }
    if (finishing_ && done_ == submitted_) {
      complete_ = true;
      linesOut_.notify_one();
      return;
    }
  }
}

}  // namespace kelv
