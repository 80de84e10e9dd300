// One effect instance: the two pixel-buffer wrappers, the screen stride, the three
// row-address tables and the host's stop flag and Wait callback as the Setup calls of
// this instance left them.
#pragma once

#include <cstdint>

#include "fxcommon/fx_allocator.hpp"
#include "kelv_effectmodule.h"

namespace kelv::fx {

// A host pixel buffer as the module sees it; the host owns the pixels.
struct PixelWrapper {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* bits = nullptr;
};

// Outcome of Setup. The two errors are the module's run-time errors 1001 and 1002; the
// platform entry raises them as the structured exception KELV_FX_RUNTIME_ERROR_EXCEPTION.
enum class SetupStatus { Rejected, Accepted, ShortRecord, MissingBits };

class Instance {
public:
  const PixelWrapper& Screen() const noexcept { return screen_; }
  const PixelWrapper& Next() const noexcept { return next_; }
  int32_t ScreenStride() const noexcept { return stride_; }
  uint32_t TableLength() const noexcept { return tableLength_; }
  uint32_t* const* ScreenRows() const noexcept { return screenRows_.As<uint32_t*>(); }
  const uint32_t* const* NextRows() const noexcept {
    return const_cast<const uint32_t* const*>(nextRows_.As<uint32_t*>());
  }
  // A table of `height` entries free for an effect's own use during one call.
  uint32_t** ScratchRows() const noexcept { return scratchRows_.As<uint32_t*>(); }
  volatile int32_t* StopFlag() const noexcept { return stopFlag_; }
  KelvWaitProc Wait() const noexcept { return wait_; }

  // Both buffers present with equal sizes and row tables covering them.
  bool Ready() const noexcept;

  // Takes the record's fields for this instance: picture wrappers, stop flag, Wait
  // callback and stride as far as the record sets them, then grows the row tables from
  // `allocator` (already chosen for this record) and rebuilds them.
  SetupStatus Apply(const TEffectSetup& record, const ModuleAllocator& allocator) noexcept;

private:
  bool EnsureTables(uint32_t rows, const ModuleAllocator& allocator) noexcept;
  void RebuildScreenRows() noexcept;
  void RebuildNextRows() noexcept;

  PixelWrapper screen_;
  PixelWrapper next_;
  int32_t stride_ = 0;  // 0: never set
  plugin::HeapBlock nextRows_;
  plugin::HeapBlock screenRows_;
  plugin::HeapBlock scratchRows_;
  uint32_t tableLength_ = 0;
  volatile int32_t* stopFlag_ = nullptr;
  KelvWaitProc wait_ = nullptr;
};

}  // namespace kelv::fx
