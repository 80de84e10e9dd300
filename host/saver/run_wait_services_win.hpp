// What a transition's pacing asks of the saver run, the same for the primary's show and
// for every other monitor's screen; they add the clock and the presentation.
#pragma once

#include <windows.h>

#include "saver/saver_run_win.hpp"
#include "settings/settings.hpp"
#include "show/show_wait.hpp"

namespace kelv {

class RunWaitServices : public WaitServices {
public:
  explicit RunWaitServices(SaverRun& run) : run_(run) {}
  void Sleep(int32_t ms) override { ::Sleep(static_cast<DWORD>(ms)); }
  bool Stopped() override { return run_.Stopping(); }
  bool Paused() override { return run_.Paused.load(); }
  void ClearPaused() override { run_.Paused = false; }
  bool EffectPreview() override { return run_.EffectPreview; }
  int32_t Duration() override { return TheSettings().Convert; }
  void SetDuration(int32_t ms) override { TheSettings().Convert = ms; }
  int32_t PendingDuration() override { return run_.PendingEffectDuration.load(); }
  void StoodStill(int64_t ms) override { run_.ChangesPausedMs += ms; }

protected:
  SaverRun& run_;
};

}  // namespace kelv
