// Which primary-surface formats the DirectDraw path takes, gives up or reports.
#include <gtest/gtest.h>

#include "imaging/presentation.hpp"

namespace kelv {
namespace {

TEST(PresentationFormat, OnlyThirtyTwoBitRgbWithStandardMasksIsUsable) {
  EXPECT_EQ(CheckSurfaceFormat(32, 0x40, 0xFF0000, 0xFF00, 0xFF, 0).kind, FormatVerdict::Usable);
  EXPECT_EQ(CheckSurfaceFormat(32, 0x40 | 0x1, 0xFF0000, 0xFF00, 0xFF, 0).kind, FormatVerdict::Usable);
  // 16-bit colour is given up silently, whatever the draw.
  EXPECT_EQ(CheckSurfaceFormat(16, 0x40, 0xF800, 0x7E0, 0x1F, 0).kind, FormatVerdict::GiveUp);
  EXPECT_EQ(CheckSurfaceFormat(24, 0x40, 0xFF0000, 0xFF00, 0xFF, 0).kind, FormatVerdict::GiveUp);
}

TEST(PresentationFormat, OtherThirtyTwoBitFormatsAreReportedOnlyWhenTheDrawIsZero) {
  for (int draw = 1; draw < 100; ++draw)
    EXPECT_EQ(CheckSurfaceFormat(32, 0x40, 0xFF, 0xFF00, 0xFF0000, draw).kind, FormatVerdict::GiveUp);
  const FormatVerdict swapped = CheckSurfaceFormat(32, 0x40, 0xFF, 0xFF00, 0xFF0000, 0);
  EXPECT_EQ(swapped.kind, FormatVerdict::Report);
  EXPECT_EQ(swapped.reportText, "Unsupported RGB format, Mask = 000000FF, 0000FF00, 00FF0000");
  const FormatVerdict fourcc = CheckSurfaceFormat(32, 0x4, 0, 0, 0, 0);
  EXPECT_EQ(fourcc.kind, FormatVerdict::Report);
  EXPECT_EQ(fourcc.reportText, "Non RGB format, Flags = 4");
}

}  // namespace
}  // namespace kelv
