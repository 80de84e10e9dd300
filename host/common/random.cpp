#include "common/random.hpp"

#include <cmath>
#include <random>

namespace kelv {

namespace {
// Used by the show thread and the dialog's thread one at a time, never together.
std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}
}  // namespace

void SeedRandom(uint32_t seed) { Generator().seed(seed); }

uint32_t RandomU32() { return static_cast<uint32_t>(Generator()()); }

double RandomReal() { return static_cast<double>(RandomU32()) * (1.0 / 4294967296.0); }

int64_t Round(double x) {
  // nearbyint follows the current rounding mode, which is round-to-nearest-even
  // unless someone changed it; compute it explicitly to be independent of that.
  double floor = std::floor(x);
  double diff = x - floor;
  if (diff > 0.5) return static_cast<int64_t>(floor) + 1;
  if (diff < 0.5) return static_cast<int64_t>(floor);
  int64_t f = static_cast<int64_t>(floor);
  return (f % 2 == 0) ? f : f + 1;
}

}  // namespace kelv
