// The module's own random numbers: an MT19937 generator seeded by GetEffectModule.
// Real() is the 32-bit output times 2^-32; Below(n) is trunc(Real() * n).
#pragma once

#include <cstdint>
#include <random>

namespace kelv::fx {

class ModuleRandom {
public:
  void Seed(uint32_t seed) { engine_.seed(seed); }
  uint32_t Next() { return static_cast<uint32_t>(engine_()); }
  double Real() { return Next() * (1.0 / 4294967296.0); }
  // Uniform integer in [0, n); 0 when n is 0.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>((uint64_t{Next()} * n) >> 32); }

private:
  std::mt19937 engine_;
};

}  // namespace kelv::fx
