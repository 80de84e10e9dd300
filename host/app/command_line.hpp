// The start-up command line: which mode Windows asked for, and the window handle that
// comes with a preview request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv {

struct CommandLine {
  std::string modeText;        // the selector, switch character removed, lower case
  std::string paramText;       // the second argument, or the text after a colon, lower case
  uintptr_t parentWindow = 0;  // paramText as a decimal window handle, 0 = none
};

// Reads the arguments that follow the program name (args[0] is the first argument).
// Windows passes "/p 1234" as two arguments and "/c:1234" as one; both forms are read.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// A decimal 32-bit integer ("1234", "-5", "+7"); nothing else is a number. The value is
// widened the way the platform widens a 32-bit window handle (sign-extended). 0 when the
// text is empty, not a number or out of the 32-bit range.
uintptr_t ParseWindowHandle(const std::string& text);

// The start-up trace's line for the command line as read (see common/test_trace.hpp):
//   mode=<ModeText> param=<ParamText> parent=<ParentWindow in decimal>
std::string CommandLineTraceLine(const CommandLine& cmd);

}  // namespace kelv
