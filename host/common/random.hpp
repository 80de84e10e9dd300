// The process-wide random numbers and rounding used wherever the program draws or rounds:
// one MT19937 generator seeded from the tick count when the settings load; a uniform
// real R in [0, 1) is its 32-bit output times 2^-32; Round is round-half-to-even.
#pragma once

#include <cstdint>

namespace kelv {

void SeedRandom(uint32_t seed);
uint32_t RandomU32();
// R in [0, 1): the next 32-bit output times 2^-32.
double RandomReal();
// Round to the nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
int64_t Round(double x);

}  // namespace kelv
