// The whole-picture resampler: the fast passes against the plain per-pixel form, and the
// rules for edges, clamping, the fourth byte and bad arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/resample_contributors.hpp"
#include "imaging/resample_kernels.hpp"
#include "imaging/resample_reference.hpp"
#include "imaging/resample_row_stream.hpp"
#include "imaging/resampler.hpp"

namespace kelv {
namespace {

struct Picture {
  Picture(int32_t w, int32_t h, uint8_t fill = 0) : width(w), height(h), bytes(size_t(w) * h * 4, fill) {}
  PixelView View() { return {bytes.data(), width, height}; }
  uint8_t* At(int32_t x, int32_t y) { return bytes.data() + (size_t(y) * width + x) * 4; }
  int32_t width, height;
  std::vector<uint8_t> bytes;
};

Picture Noise(int32_t w, int32_t h, uint32_t seed) {
  Picture p(w, h);
  std::mt19937 gen(seed);
  for (auto& b : p.bytes) b = static_cast<uint8_t>(gen());
  return p;
}

TEST(Resample, FastPassesGiveTheBytesOfThePlainForm) {
  struct Case {
    int32_t sw, sh, tw, th, sx, sy, srcW, srcH, tx, ty, targetW, targetH;
  };
  const Case cases[] = {
      {40, 30, 17, 11, 0, 0, 40, 30, 0, 0, 17, 11},      // reduce
      {13, 9, 41, 29, 0, 0, 13, 9, 0, 0, 41, 29},        // enlarge
      {31, 12, 12, 31, 5, 7, 50, 40, 3, 2, 20, 40},      // mixed, inner rectangles
      {64, 48, 64, 48, 0, 0, 64, 48, 0, 0, 64, 48},      // same size
      {200, 3, 7, 50, 10, 1, 220, 6, 0, 0, 7, 50},       // extreme aspect
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    for (int32_t f = 0; f < FilterCount; ++f) {
      Picture src = Noise(c.srcW, c.srcH, seed++);
      Picture fast(c.targetW, c.targetH, 0x5A), plain(c.targetW, c.targetH, 0x5A);
      ResampleBits(fast.View(), c.tx, c.ty, c.tw, c.th, src.View(), c.sx, c.sy, c.sw, c.sh, f);
      reference::Resample(plain.View(), c.tx, c.ty, c.tw, c.th, src.View(), c.sx, c.sy, c.sw, c.sh, f);
      ASSERT_EQ(fast.bytes, plain.bytes) << "filter " << f << " " << c.sw << "x" << c.sh << " -> "
                                         << c.tw << "x" << c.th;
    }
  }
}

// The row stream keeps only a ring of intermediate rows: fed from the top or from the
// bottom, on random shapes (tiny sources whose edge samples are mirrored twice, strong
// reductions, enlargements), it must give the plain form's bytes.
TEST(Resample, RowStreamInEitherOrderGivesThePlainBytes) {
  std::mt19937 gen(29);
  auto size = [&] { return int32_t(1 + gen() % (gen() % 4 == 0 ? 6 : 120)); };
  for (int32_t round = 0; round < 80; ++round) {
    const int32_t sw = size(), sh = size(), tw = size(), th = size();
    const int32_t f = int32_t(gen() % FilterCount);
    Picture src = Noise(sw, sh, gen());
    Picture plain(tw, th, 0x5A);
    reference::Resample(plain.View(), 0, 0, tw, th, src.View(), 0, 0, sw, sh, f);
    const TContributors across = BuildContributors(sw, tw, 0, 4, f, 0.0f);
    const TContributors down = BuildContributors(sh, th, 0, tw * 3, f, 0.0f);
    for (bool bottomUp : {false, true}) {
      Picture out(tw, th, 0x5A);
      {
        RowStream rows(across, down, tw, sh, bottomUp, out.bytes.data(), ptrdiff_t(tw) * 4);
        for (int32_t k = 0; k < sh; ++k) {
          const int32_t y = bottomUp ? sh - 1 - k : k;
          rows.Add(src.At(0, y), y);
        }
        EXPECT_TRUE(rows.Complete());
      }
      ASSERT_EQ(out.bytes, plain.bytes) << "filter " << f << " " << sw << "x" << sh << " -> " << tw
                                        << "x" << th << (bottomUp ? " from the bottom" : "");
    }
  }
}

TEST(Resample, SameSizeIsTheIdentityForInterpolatingFilters) {
  Picture src = Noise(23, 17, 7);
  for (int32_t f : {FilterBox, FilterTriangle, FilterHermite, FilterLanczos3}) {
    Picture out(23, 17);
    ResampleBits(out.View(), 0, 0, 23, 17, src.View(), 0, 0, 23, 17, f);
    for (int32_t y = 0; y < 17; ++y)
      for (int32_t x = 0; x < 23; ++x)
        ASSERT_EQ(0, std::memcmp(out.At(x, y), src.At(x, y), 3)) << "filter " << f;
  }
}

TEST(Resample, TwoPixelsToFourHandWorked) {
  Picture src(2, 1);
  const uint8_t a[3] = {0, 100, 255}, b[3] = {255, 51, 0};
  std::memcpy(src.At(0, 0), a, 3);
  std::memcpy(src.At(1, 0), b, 3);
  auto run = [&](int32_t f) {
    Picture out(4, 1);
    ResampleBits(out.View(), 0, 0, 4, 1, src.View(), 0, 0, 2, 1, f);
    return out;
  };
  auto expect = [](Picture& p, int32_t x, uint8_t b0, uint8_t g, uint8_t r) {
    EXPECT_EQ(p.At(x, 0)[0], b0) << "x " << x;
    EXPECT_EQ(p.At(x, 0)[1], g) << "x " << x;
    EXPECT_EQ(p.At(x, 0)[2], r) << "x " << x;
  };
  Picture box = run(FilterBox);
  expect(box, 0, 0, 100, 255);
  expect(box, 1, 0, 100, 255);
  expect(box, 2, 255, 51, 0);
  expect(box, 3, 255, 51, 0);
  // Halves: (0 + 255) / 2 = 127.5 and (100 + 51) / 2 = 75.5 are truncated.
  for (int32_t f : {FilterTriangle, FilterHermite}) {
    Picture p = run(f);
    expect(p, 0, 0, 100, 255);
    expect(p, 1, 127, 75, 127);
    expect(p, 2, 255, 51, 0);
    expect(p, 3, 255, 51, 0);
  }
  Picture lz = run(FilterLanczos3);
  expect(lz, 0, 0, 100, 255);
  expect(lz, 2, 255, 51, 0);
}

TEST(Resample, OnePixelSourcesAndTargets) {
  Picture dot(1, 1);
  dot.At(0, 0)[0] = 10;
  dot.At(0, 0)[1] = 200;
  dot.At(0, 0)[2] = 255;
  for (int32_t f = 0; f < FilterCount; ++f) {
    // 1 -> 3000 across, 1 -> 5 down: every sample mirrors back onto the one pixel.
    Picture wide(3000, 5), plain(3000, 5);
    ResampleBits(wide.View(), 0, 0, 3000, 5, dot.View(), 0, 0, 1, 1, f);
    reference::Resample(plain.View(), 0, 0, 3000, 5, dot.View(), 0, 0, 1, 1, f);
    ASSERT_EQ(wide.bytes, plain.bytes) << "filter " << f;
    for (int32_t x = 0; x < 3000; x += 7) {
      EXPECT_NEAR(wide.At(x, 2)[0], 10, 1);
      EXPECT_NEAR(wide.At(x, 2)[1], 200, 1);
      EXPECT_NEAR(wide.At(x, 2)[2], 255, 1);
    }
  }
  // 10000 -> 1: one list with ten thousand samples.
  Picture row(10000, 1);
  for (int32_t x = 0; x < 10000; ++x) row.At(x, 0)[1] = static_cast<uint8_t>(x % 2 ? 200 : 100);
  for (int32_t f : {FilterBox, FilterHermite, FilterLanczos3}) {
    Picture one(1, 1), plain(1, 1);
    ResampleBits(one.View(), 0, 0, 1, 1, row.View(), 0, 0, 10000, 1, f);
    reference::Resample(plain.View(), 0, 0, 1, 1, row.View(), 0, 0, 10000, 1, f);
    EXPECT_EQ(one.bytes, plain.bytes) << "filter " << f;
    // Weights of a few units each keep their rounding error after renormalisation
    // (7 * 10000 samples instead of 65,536), so the mean is only roughly kept.
    EXPECT_NEAR(one.At(0, 0)[1], 150, 12) << "filter " << f;
  }
}

TEST(Resample, LanczosRingingIsClampedNotWrapped) {
  // A hard black-to-white edge enlarged five times: the sums overshoot beyond 255 and
  // below 0 next to the edge.
  Picture edge(12, 1);
  for (int32_t x = 6; x < 12; ++x) std::memset(edge.At(x, 0), 255, 3);
  Picture out(60, 1);
  ResampleBits(out.View(), 0, 0, 60, 1, edge.View(), 0, 0, 12, 1, FilterLanczos3);
  const TContributors lists = BuildContributors(12, 60, 0, 4, FilterLanczos3, 0.0f);
  int overshoots = 0, undershoots = 0;
  for (int32_t x = 0; x < 60; ++x) {
    const TContributorList l = lists[x];
    int64_t sum = 0;
    for (int32_t k = 0; k < l.n; ++k) sum += int64_t(l.p[k].weight) * edge.bytes[l.p[k].pixel];
    if (sum > 255 * 65536) {
      ++overshoots;
      EXPECT_EQ(out.At(x, 0)[0], 255) << x;
    }
    if (sum < 0) {
      ++undershoots;
      EXPECT_EQ(out.At(x, 0)[0], 0) << x;
    }
  }
  EXPECT_GT(overshoots, 0);
  EXPECT_GT(undershoots, 0);
}

TEST(Resample, WritesOnlyThreeBytesInsideTheRectangle) {
  Picture src = Noise(30, 20, 3);
  Picture out(40, 30, 0xAB);
  ResampleBits(out.View(), 5, 4, 25, 17, src.View(), 0, 0, 30, 20, FilterLanczos3);
  for (int32_t y = 0; y < 30; ++y) {
    for (int32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 5 && x < 30 && y >= 4 && y < 21;
      EXPECT_EQ(out.At(x, y)[3], 0xAB);
      if (!inside) {
        EXPECT_EQ(out.At(x, y)[0], 0xAB);
        EXPECT_EQ(out.At(x, y)[1], 0xAB);
        EXPECT_EQ(out.At(x, y)[2], 0xAB);
      }
    }
  }
}

TEST(Resample, DoesNothingWithoutPixelsOrWithBadRectangles) {
  Picture src = Noise(10, 10, 4);
  Picture out(10, 10, 0x11);
  const std::vector<uint8_t> before = out.bytes;
  ResampleBits(out.View(), 0, 0, 10, 10, {nullptr, 10, 10}, 0, 0, 10, 10, FilterBox);
  ResampleBits({nullptr, 10, 10}, 0, 0, 10, 10, src.View(), 0, 0, 10, 10, FilterBox);
  ResampleBits(out.View(), 0, 0, 0, 10, src.View(), 0, 0, 10, 10, FilterBox);
  ResampleBits(out.View(), 0, 0, 10, 10, src.View(), 0, 0, 10, -1, FilterBox);
  ResampleBits(out.View(), 0, 0, 10, 10, src.View(), 1, 0, 10, 10, FilterBox);   // past the right
  ResampleBits(out.View(), 0, 0, 10, 10, src.View(), 0, -1, 10, 10, FilterBox);  // above the top
  Resample(nullptr, 0, 0, 10, 10, nullptr, 0, 0, 10, 10, FilterBox);
  EXPECT_EQ(out.bytes, before);
}

TEST(Resample, TargetRectangleReachingOutsideIsClipped) {
  Picture src = Noise(16, 12, 5);
  Picture big(40, 40);
  ResampleBits(big.View(), 0, 0, 30, 25, src.View(), 0, 0, 16, 12, FilterHermite);
  Picture small(20, 15, 0x77);
  ResampleBits(small.View(), -10, -10, 30, 25, src.View(), 0, 0, 16, 12, FilterHermite);
  for (int32_t y = 0; y < 15; ++y) {
    for (int32_t x = 0; x < 20; ++x) {
      EXPECT_EQ(0, std::memcmp(small.At(x, y), big.At(x + 10, y + 10), 3));
      EXPECT_EQ(small.At(x, y)[3], 0x77);
    }
  }
}

}  // namespace
}  // namespace kelv

namespace kelv {
namespace {

// The plain kernels serve lists whose weights are too large for the vector units; they
// must agree with the vector kernels byte for byte: the passes as chosen for this
// processor (AVX2 where it has it) and the SSE2 forms, on fixed and on random sizes,
// pictures and rotated-row sums.
TEST(Resample, PlainAndVectorKernelsAgree) {
  std::mt19937 gen(11);
  auto check = [&](int32_t s, int32_t d, int32_t rows, int32_t f) {
    std::vector<uint8_t> row(size_t(s) * 4 + 16);
    for (auto& b : row) b = static_cast<uint8_t>(gen());
    const TContributors across = BuildContributors(s, d, 0, 4, f, 0.0f);
    std::vector<uint8_t> a(size_t(d) * 3), b(size_t(d) * 3), v(size_t(d) * 3);
    ResampleRow(row.data(), across, a.data());
    ResampleRowSse2(row.data(), across, v.data());
    ResampleRowScalar(row.data(), across, b.data());
    ASSERT_EQ(a, b) << "row, filter " << f << " " << s << " -> " << d;
    ASSERT_EQ(v, b) << "row SSE2, filter " << f << " " << s << " -> " << d;
    // Columns: s rows of d pixels down to `rows` rows.
    std::vector<uint8_t> inter(size_t(d) * 3 * s);
    for (auto& x : inter) x = static_cast<uint8_t>(gen());
    const TContributors down = BuildContributors(s, rows, 0, d * 3, f, 0.0f);
    std::vector<uint8_t> c(size_t(d) * 4 * rows, 0x33), e = c, w = c;
    ResampleColumns(inter.data(), d, down, c.data(), ptrdiff_t(d) * 4);
    ResampleColumnsSse2(inter.data(), d, down, w.data(), ptrdiff_t(d) * 4);
    ResampleColumnsScalar(inter.data(), d, down, e.data(), ptrdiff_t(d) * 4);
    ASSERT_EQ(c, e) << "columns, filter " << f << " " << s << " -> " << rows << " width " << d;
    ASSERT_EQ(w, e) << "columns SSE2, filter " << f << " " << s << " -> " << rows << " width " << d;
    // Sums of whole rotated rows, with weights of either sign.
    const int32_t len = d * 3;
    std::vector<uint32_t> plain(static_cast<size_t>(len)), fast = plain, sse2 = plain;
    for (int32_t k = 0; k < 5; ++k) {
      const int32_t weight = static_cast<int32_t>(gen() % 140000) - 40000;
      const uint8_t* bytes = inter.data() + size_t(k % s) * len;
      AddWeightedBytes(fast.data(), bytes, len, weight);
      AddWeightedBytesSse2(sse2.data(), bytes, len, weight);
      for (int32_t x = 0; x < len; ++x) plain[x] += uint32_t(weight) * bytes[x];
    }
    ASSERT_EQ(fast, plain) << "sums, " << len << " bytes";
    ASSERT_EQ(sse2, plain) << "sums SSE2, " << len << " bytes";
  };
  for (int32_t f = 0; f < FilterCount; ++f) {
    for (auto [s, d] : {std::pair{301, 97}, std::pair{97, 301}, std::pair{5, 700}}) {
      check(s, d, 37, f);
    }
  }
  // Random sizes, from one pixel up, so that every tail of the vector loops is met.
  for (int32_t i = 0; i < 300; ++i) {
    const int32_t s = 1 + static_cast<int32_t>(gen() % (i % 3 ? 64 : 900));
    const int32_t d = 1 + static_cast<int32_t>(gen() % (i % 2 ? 48 : 700));
    const int32_t rows = 1 + static_cast<int32_t>(gen() % 60);
    check(s, d, rows, static_cast<int32_t>(gen() % FilterCount));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace kelv
