#include "app/command_line.hpp"

#include <cstdint>
#include <limits>

#include "common/ascii_case.hpp"

namespace kelv {

uintptr_t ParseWindowHandle(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    // Beyond the 32-bit range: not a handle. Checked per digit, so no overflow.
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return 0;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
    return 0;
  return static_cast<uintptr_t>(static_cast<intptr_t>(static_cast<int32_t>(value)));
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cmd;
  if (!args.empty()) cmd.modeText = args[0];
  if (args.size() > 1) cmd.paramText = args[1];

  // "/c:1234": the number is the text after the first colon; a second argument is
  // then ignored.
  if (const size_t colon = cmd.modeText.find(':'); colon != std::string::npos) {
    cmd.paramText = cmd.modeText.substr(colon + 1);
    cmd.modeText.erase(colon);
  }
  // The first character is the switch ("/" or "-"); it goes whatever it is, so a bare
  // "s" loses its only character.
  if (!cmd.modeText.empty()) cmd.modeText.erase(0, 1);

  cmd.modeText = LowerAscii(std::move(cmd.modeText));
  cmd.paramText = LowerAscii(std::move(cmd.paramText));
  cmd.parentWindow = ParseWindowHandle(cmd.paramText);
  return cmd;
}

std::string CommandLineTraceLine(const CommandLine& cmd) {
  // The handle is printed as the 32-bit number it was read from.
  const auto parent = static_cast<int32_t>(static_cast<intptr_t>(cmd.parentWindow));
  return "mode=" + cmd.modeText + " param=" + cmd.paramText + " parent=" + std::to_string(parent);
}

}  // namespace kelv
