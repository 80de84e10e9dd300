// Captions and messages: the caption text, where the lines go for each position code,
// and the drawing style (transparency, alignment, fonts).
#include <gtest/gtest.h>

#include <memory>

#include "catalogue/pic_list.hpp"
#include "common/exif_date.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/caption.hpp"
#include "imaging/caption_platform.hpp"
#include "settings/settings.hpp"
#include "show/picture_caption.hpp"

namespace kelv {
namespace {

TEST(CaptionText, PathFolderAndExtensionOptions) {
  const std::string p = "C:\\Photos\\Trip\\beach.jpg";
  EXPECT_EQ(CaptionText(p, false, false, false), "beach");
  EXPECT_EQ(CaptionText(p, false, true, true), "Trip\\beach.jpg");
  EXPECT_EQ(CaptionText(p, false, false, true), "Trip\\beach");
  EXPECT_EQ(CaptionText(p, true, false, true), "C:\\Photos\\Trip\\beach");
  EXPECT_EQ(CaptionText(p, true, true, false), p);
  // No parent folder name, no extension, dots in folder names.
  EXPECT_EQ(CaptionText("C:\\beach.jpg", false, false, true), "beach");
  EXPECT_EQ(CaptionText("C:\\a.b\\file", false, false, true), "a.b\\file");
  EXPECT_EQ(CaptionText("C:\\x\\archive.tar.gz", false, false, false), "archive.tar");
}

TEST(PlanText, CaptionLinesWithAndWithoutTheOverlayInset) {
  const int32_t t = 16;
  auto top = PlanText("a", TextCodeTop, 1600, 1200, t, true);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].x, 800);
  EXPECT_EQ(top[0].y, 60);
  EXPECT_EQ(PlanText("a", TextCodeTop, 1600, 1200, t, false)[0].y, 0);
  EXPECT_EQ(PlanText("a", TextCodeCenter, 1600, 1200, t, true)[0].y, 592);
  EXPECT_EQ(PlanText("a", TextCodeBottom, 1600, 1200, t, true)[0].y, 1200 - 60 - 16);
  EXPECT_EQ(PlanText("a", TextCodeBottom, 1600, 1200, t, false)[0].y, 1200 - 16);
  // Captions are one line even with a carriage return in the name.
  EXPECT_EQ(PlanText("a\rb", TextCodeBottom, 100, 100, t, true).size(), 1u);
  EXPECT_TRUE(PlanText("a", 7, 100, 100, t, true).empty());
}

TEST(PlanText, MessageAndNoticeBlocks) {
  // Line k of a message: H div 2 + (k - 1) * Round(1.2 t) - t div 2; 1.2 * 15 = 18.
  auto m = PlanText("one\rtwo\r\nthree", TextCodeMessage, 1024, 768, 15, true);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].y, 384 - 18 - 7);
  EXPECT_EQ(m[1].y, 384 - 7);
  EXPECT_EQ(m[2].y, 384 + 18 - 7);
  EXPECT_EQ(m[2].text, "\nthree");  // the character after the carriage return starts the line
  EXPECT_EQ(m[0].x, 512);
  auto n = PlanText("F1\rhelp", TextCodeNotice, 1024, 768, 20, false);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0].x, 10);
  EXPECT_EQ(n[0].y, 10);
  EXPECT_EQ(n[1].y, 34);
  EXPECT_EQ(PlanText("", TextCodeMessage, 100, 100, 10, true).size(), 1u);
}

class DrawTextTest : public ::testing::Test {
protected:
  void SetUp() override {
    TheSettings() = Settings{};
    caption_platform::Recorded().clear();
    target = TBitmap::Create(200, 100);
    TPicList& c = TheCatalogue();
    c.Clear();
    c.AddFolder("Root");
    c.Item(0)->Pictures->assign({"C:\\Photos\\Trip\\beach.jpg"});
  }
  std::unique_ptr<TBitmap> target;
};

TEST_F(DrawTextTest, CaptionsOnlyWhenAskedForAndFullScreen) {
  DrawCaption(*target, 0, true);
  EXPECT_TRUE(caption_platform::Recorded().empty());  // "TextFileName" bit 0 off

  TheSettings().ShowFileName = true;
  TheSettings().IncludeFolder = true;
  TheSettings().TextPos = TextPosTop;
  TheSettings().Textbg = true;
  DrawCaption(*target, 0, true);
  ASSERT_EQ(caption_platform::Recorded().size(), 1u);
  const auto& r = caption_platform::Recorded()[0];
  EXPECT_EQ(r.slot, caption_platform::FontSlot::Caption);
  EXPECT_TRUE(r.style.transparent);
  EXPECT_FALSE(r.style.leftAligned);
  EXPECT_EQ(r.style.colour, 0x0000FF00u);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].text, "Trip\\beach");
  EXPECT_EQ(r.lines[0].y, 5);

  DrawCaption(*target, 0, false);  // a preview
  EXPECT_EQ(caption_platform::Recorded().size(), 1u);
}

// "TextDate": the date taken after the name, in the long date form (the native stand-in's
// "14 July 2021"), behind the one separator; no date, or none that is real, leaves the name
// alone; with "Show file name" off nothing is drawn at all.
TEST_F(DrawTextTest, DateTakenFollowsTheNameWhenAskedFor) {
  Settings& s = TheSettings();
  s.ShowFileName = true;
  s.IncludeExtension = true;
  const std::string dot = "  \xC2\xB7  ";  // the middle dot in UTF-8, the native code page
  struct Case {
    bool textDate;
    const char* date;
    std::string expected;
  } cases[] = {
      {true, "2021:07:14 10:30:00", "beach.jpg" + dot + "14 July 2021"},
      {true, "2000:02:29 23:59:59", "beach.jpg" + dot + "29 February 2000"},
      {false, "2021:07:14 10:30:00", "beach.jpg"},
      {true, "", "beach.jpg"},
      {true, "0000:00:00 00:00:00", "beach.jpg"},
      {true, "2021:13:14 10:30:00", "beach.jpg"},
      {true, "2021:07:14 10:30:00 extra", "beach.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    s.TextDate = c.textDate;
    caption_platform::Recorded().clear();
    DrawCaption(*target, 0, true, c.date);
    ASSERT_EQ(caption_platform::Recorded().size(), 1u);
    EXPECT_EQ(caption_platform::Recorded()[0].lines.at(0).text, c.expected);
  }
  s.ShowFileName = false;
  s.TextDate = true;
  caption_platform::Recorded().clear();
  DrawCaption(*target, 0, true, "2021:07:14 10:30:00");
  EXPECT_TRUE(caption_platform::Recorded().empty());
  // The weekday the long date forms name: 14 July 2021 was a Wednesday, 1 January 1601 a Monday.
  EXPECT_EQ(DayOfWeek({2021, 7, 14}), 3);
  EXPECT_EQ(DayOfWeek({2000, 2, 29}), 2);
  EXPECT_EQ(DayOfWeek({1601, 1, 1}), 1);
}

TEST_F(DrawTextTest, MessagesAreOpaqueRedOnABlackTarget) {
  TheSettings().Textbg = true;  // never for messages
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 200; ++x) target->Pixel(x, y) = 0x123456;
  DrawMessage(*target, kCantReadMessage);
  EXPECT_EQ(target->Pixel(0, 0), 0u);
  EXPECT_EQ(target->Pixel(199, 99), 0u);
  ASSERT_EQ(caption_platform::Recorded().size(), 1u);
  const auto& r = caption_platform::Recorded()[0];
  EXPECT_EQ(r.slot, caption_platform::FontSlot::Notice);
  EXPECT_FALSE(r.style.transparent);
  EXPECT_EQ(r.style.colour, 255u);
  EXPECT_EQ(r.lines[0].text, kCantReadMessage);

  DrawText(*target, "help", TextCodeNotice, TheSettings().NoticeFont, 0xFFFFFF);
  const auto& notice = caption_platform::Recorded()[1];
  EXPECT_TRUE(notice.style.leftAligned);
  EXPECT_TRUE(notice.style.noticeBox);
  EXPECT_TRUE(notice.style.transparent);  // "Textbg" applies to codes other than 10
}

}  // namespace
}  // namespace kelv
