// The show cycle of a saver run: the effect modules' set-up, the first choice, one pass of
// the cycle (delay, navigation step, transition, composing the next screen) and the Wait
// callback the effect modules pace themselves with.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/presentation.hpp"

namespace kelv {

// In an effect preview, the duration the settings dialog has set for the running preview
// (milliseconds; negative: unchanged). The preview takes it over at its next pause.
inline std::atomic<int32_t> PendingEffectDuration{-1};

// Told after the show cycle has handled a moved drawing surface or the fall-back from
// DirectDraw (the show cycle holds the presentation's own listener slot).
void SetPresentationObserver(const PresentationListener& observer);

// Start of a run: effect table (not for an effect preview), display order, history and
// navigation flags.
void StartShowCycle();
// Hands the screen bitmaps and the host's callbacks to every enabled effect module.
void SetUpEffectModules();
// The first effects and the first screen.
void ChooseFirstEffects();
// The show thread's start: on the DirectDraw screen the captured desktop is put up once
// through a locked frame, as the effects' frames will be (the effects learn the surface).
void ShowFirstScreen();
// The show thread's passes until a stop stands and no navigation step waits.
void RunShowCycle();
// The arrow-key handlers (main thread).
void ShowStepNext();
void ShowStepPrevious();
// The last picture of the last screen the user has seen (-1: none), for the resume point.
int32_t LastSeenPicture();

}  // namespace kelv
