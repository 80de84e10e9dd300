// What the pieces of a saver run on Win32 share: the window procedure, the run's end and
// the show thread's entry.
#pragma once

#include <windows.h>

namespace kelv {

inline constexpr const char* kSaverClassName = "KSFW_Kelvora";
inline constexpr const char* kSaverWindowTitle = "Tarnwick Kelvora";

LRESULT CALLBACK SaverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers the saver window class; false when the registration failed.
bool RegisterSaverClass();

// The password check for an ending input; a refused password starts the mouse
// countdown afresh.
bool VerifyPasswordForInput();
// An ending input: the run ends when the password check accepts it; a refused password
// clears the stop request.
void EndOnAcceptedPassword();
// Ends the run: releases presentation, window DC, bitmaps and thread handle and, unless
// the settings dialog started the run, ends the process with exit code 0. Safe to call
// again after it has run.
void EndRun();
// The visibility check: a hidden saver window or a hidden parent stops the run.
void VisibilityCheck();
DWORD WINAPI ShowThreadMain(void*);
// Makes the main thread's message loop look at ShowFinished again.
void WakeMainLoop();

}  // namespace kelv
