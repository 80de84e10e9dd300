#include "imaging/resample_row_pipeline.hpp"

#include <system_error>
#include <utility>

#include "imaging/resample_kernels.hpp"

namespace kelv {

RowPipeline::RowPipeline(const TContributors& lists, size_t rowBytes, size_t pixelBytes,
                         Unpack unpack, uint8_t* intermediate, size_t interRow)
    : lists_(lists),
      unpack_(std::move(unpack)),
      pixels_(pixelBytes, 0),
      intermediate_(intermediate),
      interRow_(interRow) {
  for (std::vector<uint8_t>& line : lines_) line.assign(rowBytes, 0);
  helper_ = std::thread([this] { Run(); });
}

RowPipeline::~RowPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

std::unique_ptr<RowPipeline> RowPipeline::Start(const TContributors& lists, size_t rowBytes,
                                                size_t pixelBytes, Unpack unpack,
                                                uint8_t* intermediate, size_t interRow) {
  if (std::thread::hardware_concurrency() < 2) return nullptr;
  try {
    return std::make_unique<RowPipeline>(lists, rowBytes, pixelBytes, std::move(unpack),
                                         intermediate, interRow);
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had: the pass stays on the decoder's thread
  }
}

uint8_t* RowPipeline::Line() {
  std::unique_lock<std::mutex> lock(mutex_);
  // The line to fill is free once the helper is done with the row it held kLines ago.
  if (submitted_ - done_ >= kLines) {
    producerWaiting_ = true;
    if (helperWaiting_) changed_.notify_all();  // a full ring is more than a batch
    changed_.wait(lock, [this] { return submitted_ - done_ < kLines; });
    producerWaiting_ = false;
  }
  return lines_[submitted_ % kLines].data();
}

void RowPipeline::Submit(int32_t row) {
  std::lock_guard<std::mutex> lock(mutex_);
  rows_[submitted_ % kLines] = row;
  ++submitted_;
  if (helperWaiting_ && submitted_ - done_ >= kBatch) changed_.notify_all();
}

void RowPipeline::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  draining_ = true;
  producerWaiting_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return done_ == submitted_; });
  producerWaiting_ = false;
}

void RowPipeline::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    helperWaiting_ = true;
    changed_.wait(lock, [this] {
      return stop_ || submitted_ - done_ >= kBatch || (draining_ && done_ < submitted_);
    });
    helperWaiting_ = false;
    if (stop_) return;
    // Every row handed over by now, without taking the lock between them.
    const int64_t end = submitted_;
    while (done_ < end) {
      const int slot = static_cast<int>(done_ % kLines);
      const int32_t row = rows_[slot];
      lock.unlock();
      unpack_(lines_[slot].data(), pixels_.data());
      ResampleRow(pixels_.data(), lists_, intermediate_ + interRow_ * static_cast<size_t>(row));
      lock.lock();
      ++done_;
      if (producerWaiting_) changed_.notify_all();
      if (stop_) return;
    }
  }
}

}  // namespace kelv
