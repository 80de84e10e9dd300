#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.hpp"

namespace kelv {
namespace {

uintptr_t Handle(int32_t value) { return static_cast<uintptr_t>(static_cast<intptr_t>(value)); }

struct Case {
  std::vector<std::string> args;
  std::string mode;
  std::string param;
  uintptr_t parent;
};

TEST(CommandLine, ReadsTheSwitchesWindowsSends) {
  const Case cases[] = {
      {{}, "", "", 0},                                   // no argument: the settings
      {{"/s"}, "s", "", 0},
      {{"-s"}, "s", "", 0},
      {{"Xs"}, "s", "", 0},                              // any first character is the switch
      {{"s"}, "", "", 0},                                // a bare letter loses its only character
      {{"/S"}, "s", "", 0},
      {{"/p:1234"}, "p", "1234", 1234},
      {{"/p", "1234"}, "p", "1234", 1234},
      {{"/p:1234", "99"}, "p", "1234", 1234},            // the colon form wins over argument 2
      {{"/c:1234"}, "c", "1234", 1234},
      {{"/P:ABC"}, "p", "abc", 0},                       // both texts lower-cased
      {{"/p:1:2"}, "p", "1:2", 0},                       // only the first colon splits
      {{":7"}, "", "7", 7},                              // nothing before the colon
      {{"/p:"}, "p", "", 0},
      {{"", "5"}, "", "5", 5},
      {{"/scr"}, "scr", "", 0},
      {{"/c", "x", "y"}, "c", "x", 0},                   // a third argument is never read
  };
  for (const Case& c : cases) {
    std::string label;
    for (const auto& a : c.args) label += "[" + a + "]";
    SCOPED_TRACE(label);
    const CommandLine cmd = ParseCommandLine(c.args);
    EXPECT_EQ(cmd.modeText, c.mode);
    EXPECT_EQ(cmd.paramText, c.param);
    EXPECT_EQ(cmd.parentWindow, c.parent);
  }
}

TEST(CommandLine, ParentIsADecimal32BitNumberOrNone) {
  const std::pair<std::string, uintptr_t> cases[] = {
      {"", 0},
      {"0", 0},
      {"abc", 0},
      {"12ab", 0},
      {" 12", 0},
      {"0x10", 0},
      {"-", 0},
      {"+7", 7},
      {"000123", 123},
      {"2147483647", 2147483647u},
      {"2147483648", 0},                                 // beyond 32 bits: not a handle
      {"4294967295", 0},
      {"99999999999999999999999999", 0},                 // no overflow on the way
      {"-5", Handle(-5)},                                // widened as handles are
      {"-2147483648", Handle(INT32_MIN)},
      {"-2147483649", 0},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseWindowHandle(text), expected);
  }
}

}  // namespace
}  // namespace kelv
