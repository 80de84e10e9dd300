#include <gtest/gtest.h>

#include <string>

#include "common/ascii_case.hpp"

namespace kelv {
namespace {

TEST(LowerAscii, OnlyTheAsciiCapitalsChange) {
  EXPECT_EQ(LowerAscii(std::string("/S.JPEG@[`]{")), "/s.jpeg@[`]{");
  // Bytes above 127 (Latin-1 capital A grave and sharp s among them) stay as they are.
  const std::string ansi = "\xC0\xDF\x80\xFF";
  EXPECT_EQ(LowerAscii(ansi), ansi);
  EXPECT_EQ(LowerAscii('Z'), 'z');
  EXPECT_EQ(LowerAscii('\xC0'), '\xC0');
  EXPECT_EQ(LowerAscii(std::string()), "");
}

}  // namespace
}  // namespace kelv
