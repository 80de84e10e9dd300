// Which monitors get a cover window, and the wallpaper's BMP file.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/bitmap.hpp"
#include "saver/monitor_list.hpp"
#include "saver/wallpaper_file.hpp"

namespace kelv {
namespace {

TEST(CoverMonitors, EveryMonitorButThePrimary) {
  MonitorList list;
  EXPECT_EQ(list.PrimaryIndex(), -1);
  list.Add({0, 0, 1024, 768}, true);  // one monitor: nothing to cover
  EXPECT_TRUE(list.CoverPositions().empty());
  list.Clear();

  // Three monitors, the primary enumerated second: the first and third are covered.
  list.Add({-1280, 0, 0, 1024}, false);
  list.Add({0, 0, 1920, 1080}, true);
  list.Add({1920, 0, 3200, 1024}, false);
  EXPECT_EQ(list.CoverPositions(), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(list.Rect(2).left, 1920);

  // The primary's position stays for a later run until a primary is seen again; the
  // twelfth monitor and beyond are not kept.
  list.Clear();
  for (int i = 0; i < 13; ++i) list.Add({i, 0, i + 1, 1}, false);
  EXPECT_EQ(list.Count(), MonitorList::kMaxMonitors);
  EXPECT_EQ(list.PrimaryIndex(), 1);
  EXPECT_EQ(list.CoverPositions().size(), 10u);
}

TEST(WallpaperFile, NameHeaderAndRows) {
  EXPECT_EQ(WallpaperFileName("C:\\Users\\u\\AppData", "C:\\Kelvora"), "C:\\Users\\u\\AppData\\Kelvora\\Kelvora.bmp");
  EXPECT_EQ(WallpaperFileName("", "C:\\Kelvora"), "C:\\Kelvora\\Kelvora.bmp");

  // A screen 1366 pixels wide: rows of 4098 data bytes and 2 padding bytes.
  EXPECT_EQ(BmpRowBytes(1366), 4100u);
  const std::vector<uint8_t> header = BmpHeader(1366, 768);
  ASSERT_EQ(header.size(), 54u);
  auto u32 = [&](size_t at) {
    return uint32_t{header[at]} | uint32_t{header[at + 1]} << 8 | uint32_t{header[at + 2]} << 16 |
           uint32_t{header[at + 3]} << 24;
  };
  EXPECT_EQ(header[0], 'B');
  EXPECT_EQ(header[1], 'M');
  EXPECT_EQ(u32(2), 54u + 4100u * 768u);
  EXPECT_EQ(u32(6), 0u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 1366u);
  EXPECT_EQ(u32(22), 768u);
  EXPECT_EQ(header[26] | header[27] << 8, 1);
  EXPECT_EQ(header[28] | header[29] << 8, 24);
  for (size_t i = 30; i < 54; ++i) EXPECT_EQ(header[i], 0) << i;

  // Rows bottom-up, blue-green-red, the fourth byte dropped, padding zero.
  std::unique_ptr<TBitmap> bitmap = TBitmap::Create(3, 2);
  bitmap->Pixel(0, 0) = 0xFF112233;  // top row
  bitmap->Pixel(2, 1) = 0x00AABBCC;  // bottom row, last pixel
  const std::vector<uint8_t> rows = BmpRows(*bitmap, 0, 2);
  ASSERT_EQ(rows.size(), 24u);  // 9 data bytes padded to 12, twice
  EXPECT_EQ(std::vector<uint8_t>(rows.begin(), rows.begin() + 12),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xCC, 0xBB, 0xAA, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(rows.begin() + 12, rows.end()),
            (std::vector<uint8_t>{0x33, 0x22, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace kelv
