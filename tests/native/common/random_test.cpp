#include <gtest/gtest.h>

#include <random>

#include "common/random.hpp"

namespace kelv {
namespace {

TEST(Round, TiesGoToEven) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(-1.5), -2);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(2.4999), 2);
  EXPECT_EQ(Round(2.5001), 3);
  EXPECT_EQ(Round(-2.6), -3);
  EXPECT_EQ(Round(1e10 + 0.5), 10000000000LL);
}

TEST(Random, IsTheStandardMersenneTwisterScaledBy2ToMinus32) {
  SeedRandom(12345);
  std::mt19937 reference(12345);
  for (int i = 0; i < 1000; ++i) {
    uint32_t expected = reference();
    double r = RandomReal();
    EXPECT_EQ(r, expected / 4294967296.0);
    EXPECT_GE(r, 0.0);
    EXPECT_LT(r, 1.0);
  }
}

}  // namespace
}  // namespace kelv
