// Filters and contributor lists, checked against values worked out by hand.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "imaging/resample_contributors.hpp"
#include "imaging/resample_filters.hpp"
#include "imaging/resampler.hpp"

namespace kelv {
namespace {

struct W {
  int32_t weight;
  int32_t pixel;
};

std::vector<W> ListOf(const TContributors& lists, int32_t i) {
  std::vector<W> out;
  const TContributorList l = lists[i];
  for (int32_t k = 0; k < l.n; ++k) out.push_back({l.p[k].weight, l.p[k].pixel});
  return out;
}

void ExpectList(const TContributors& lists, int32_t i, std::vector<W> expected) {
  const std::vector<W> got = ListOf(lists, i);
  ASSERT_EQ(got.size(), expected.size()) << "list " << i;
  for (size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(got[k].weight, expected[k].weight) << "list " << i << " sample " << k;
    EXPECT_EQ(got[k].pixel, expected[k].pixel) << "list " << i << " sample " << k;
  }
}

TEST(ResampleFilter, ValuesAtKnownPoints) {
  // The box is half open: a sample exactly half a pixel to the left counts, to the right not.
  EXPECT_EQ(FilterValue(FilterBox, 0.5f), 1.0f);
  EXPECT_EQ(FilterValue(FilterBox, -0.5f), 0.0f);
  EXPECT_EQ(FilterValue(FilterTriangle, -0.25f), 0.75f);
  EXPECT_EQ(FilterValue(FilterTriangle, 1.0f), 0.0f);
  EXPECT_EQ(FilterValue(FilterHermite, 0.5f), 0.5f);
  EXPECT_EQ(FilterValue(FilterHermite, -0.25f), (2.0f * 0.25f - 3.0f) * 0.0625f + 1.0f);
  EXPECT_EQ(FilterValue(FilterBell, 0.25f), 0.6875f);
  EXPECT_EQ(FilterValue(FilterBell, -1.0f), 0.125f);
  EXPECT_EQ(FilterValue(FilterBell, 1.5f), 0.0f);
  EXPECT_EQ(FilterValue(FilterBSpline, 0.0f), 2.0f / 3.0f);
  EXPECT_EQ(FilterValue(FilterBSpline, 1.0f), 1.0f / 6.0f);
  EXPECT_EQ(FilterValue(FilterBSpline, 2.0f), 0.0f);
  EXPECT_EQ(FilterValue(FilterLanczos3, 0.0f), 1.0f);
  EXPECT_NEAR(FilterValue(FilterLanczos3, 0.5f), 0.6079271f, 1e-6f);
  EXPECT_NEAR(FilterValue(FilterLanczos3, -1.5f), -0.1350949f, 1e-6f);
  EXPECT_NEAR(FilterValue(FilterLanczos3, 1.0f), 0.0f, 1e-6f);
  EXPECT_EQ(FilterValue(FilterLanczos3, 3.0f), 0.0f);
  EXPECT_NEAR(FilterValue(FilterMitchell, 0.0f), 8.0f / 9.0f, 1e-6f);
  EXPECT_NEAR(FilterValue(FilterMitchell, 1.0f), 1.0f / 18.0f, 1e-6f);
  EXPECT_EQ(FilterValue(FilterMitchell, 2.0f), 0.0f);
  // Unknown filters behave as the box.
  EXPECT_EQ(FilterValue(99, 0.5f), 1.0f);
  EXPECT_EQ(FilterSupport(99), 0.5f);
}

TEST(ResampleContributors, BoxReducingFourToTwo) {
  // k = 0.5: destination 0 is centred on source 0 and takes -1 (mirrored to 1) and 0;
  // destination 1 is centred on 2 and takes 1 and 2.
  const TContributors lists = BuildContributors(4, 2, 0, 4, FilterBox, 0.0f);
  ASSERT_EQ(lists.Count(), 2);
  ExpectList(lists, 0, {{32768, 4}, {32768, 0}});
  ExpectList(lists, 1, {{32768, 4}, {32768, 8}});
  // Offset and step turn indices into byte offsets: (index + o) * b.
  const TContributors shifted = BuildContributors(4, 2, 10, 12, FilterBox, 0.0f);
  ExpectList(shifted, 1, {{32768, (1 + 10) * 12}, {32768, (2 + 10) * 12}});
}

TEST(ResampleContributors, MirroringAtTheEdges) {
  EXPECT_EQ(MirrorIndex(-2, 5), 2);
  EXPECT_EQ(MirrorIndex(6, 5), 3);
  EXPECT_EQ(MirrorIndex(5, 5), 4);
  EXPECT_EQ(MirrorIndex(-1, 5), 1);
  EXPECT_EQ(MirrorIndex(3, 5), 3);
  // Sources shorter than the filter reach need more than one reflection and never leave
  // the source.
  EXPECT_EQ(MirrorIndex(-1, 1), 0);
  EXPECT_EQ(MirrorIndex(3, 1), 0);
  EXPECT_EQ(MirrorIndex(-2, 2), 1);
  for (int32_t len = 1; len < 6; ++len) {
    for (int32_t j = -40; j < 40; ++j) {
      const int32_t m = MirrorIndex(j, len);
      EXPECT_GE(m, 0);
      EXPECT_LT(m, len);
    }
  }
}

// 2 -> 4 enlarging (k = 2, centres 0, 0.5, 1, 1.5), list by list.
TEST(ResampleContributors, EnlargingTwoToFourEachFilter) {
  {
    const TContributors l = BuildContributors(2, 4, 0, 1, FilterBox, 0.0f);
    ExpectList(l, 0, {{65536, 0}});
    ExpectList(l, 1, {{65536, 0}});
    ExpectList(l, 2, {{65536, 1}});
    ExpectList(l, 3, {{65536, 1}});
  }
  for (int32_t f : {FilterTriangle, FilterHermite}) {
    const TContributors l = BuildContributors(2, 4, 0, 1, f, 0.0f);
    ExpectList(l, 0, {{65536, 0}});
    ExpectList(l, 1, {{32768, 0}, {32768, 1}});
    ExpectList(l, 2, {{65536, 1}});
    ExpectList(l, 3, {{32768, 1}, {32768, 1}});  // 2 mirrors to 1
  }
  {
    const TContributors l = BuildContributors(2, 4, 0, 1, FilterBell, 0.0f);
    ExpectList(l, 0, {{8192, 1}, {49152, 0}, {8192, 1}});
    ExpectList(l, 1, {{32768, 0}, {32768, 1}});
    ExpectList(l, 2, {{8192, 0}, {49152, 1}, {8192, 1}});
    ExpectList(l, 3, {{32768, 1}, {32768, 1}});
  }
  {
    // 1/6 and 2/3 give 10923 + 43691 + 10923 = 65537, renormalised with
    // Round(65536 / 65537 * w): 10923 stays, 43691 becomes 43690.
    const TContributors l = BuildContributors(2, 4, 0, 1, FilterBSpline, 0.0f);
    ExpectList(l, 0, {{10923, 1}, {43690, 0}, {10923, 1}});
  }
  {
    // 8/9 and 1/18: 58254 + 2 * 3641 = 65536 exactly: left as it is.
    const TContributors l = BuildContributors(2, 4, 0, 1, FilterMitchell, 0.0f);
    ExpectList(l, 0, {{3641, 1}, {58254, 0}, {3641, 1}});
  }
  {
    // Lanczos3 is 0 at the other whole distances: a centre on a sample takes it alone.
    const TContributors l = BuildContributors(2, 4, 0, 1, FilterLanczos3, 0.0f);
    ExpectList(l, 0, {{65536, 0}});
    ExpectList(l, 2, {{65536, 1}});
    // Between the samples: six lobes, mirrored into the two pixels, renormalised.
    const std::vector<W> mid = ListOf(l, 1);
    ASSERT_EQ(mid.size(), 6u);
    int32_t sum = 0;
    for (const W& w : mid) sum += w.weight;
    EXPECT_NEAR(sum, 65536, 3);
    EXPECT_LT(mid[1].weight, 0);  // the negative lobe at distance 1.5
  }
}

TEST(ResampleContributors, ListsSumToOneAfterRenormalisation) {
  for (int32_t f = 0; f < FilterCount; ++f) {
    for (auto [s, d] : std::array<std::array<int32_t, 2>, 6>{
             {{7, 3}, {3, 7}, {100, 37}, {37, 100}, {1000, 1}, {1, 300}}}) {
      const TContributors l = BuildContributors(s, d, 0, 1, f, 0.0f);
      for (int32_t i = 0; i < d; ++i) {
        const TContributorList list = l[i];
        int64_t sum = 0;
        for (int32_t k = 0; k < list.n; ++k) {
          sum += list.p[k].weight;
          EXPECT_GE(list.p[k].pixel, 0);
          EXPECT_LT(list.p[k].pixel, s);
        }
        EXPECT_NEAR(sum, 65536, list.n) << "filter " << f << " " << s << "->" << d << " i " << i;
      }
    }
  }
}

}  // namespace
}  // namespace kelv
