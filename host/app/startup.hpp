// The program's start-up: hooks, command line, one mode.
#pragma once

namespace kelv {

// Runs the start-up and the chosen mode; returns the process exit code (0). Failures in
// a mode end the process through the crash report (exit code 217) and do not return.
int RunProgram();

}  // namespace kelv
