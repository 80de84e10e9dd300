#include "imaging/resample_float.hpp"

#include "imaging/resample_filters.hpp"

#include <cmath>

namespace kelv {

namespace {

// sin(pi x) / (pi x), sinc(0) = 1. The sine is taken in double precision and rounded
// once to float, which gives the correctly rounded single-precision sine on every
// platform instead of whatever the C library's sinf happens to return.
float Sinc(float x) {
  if (x == 0.0f) return 1.0f;
  const float px = x * static_cast<float>(3.14159265358979323846);
  const float sine = static_cast<float>(std::sin(static_cast<double>(px)));
  return sine / px;
}

}  // namespace

float FilterSupport(int32_t filter) {
  switch (filter) {
    case FilterTriangle: return 1.0f;
    case FilterHermite: return 1.0f;
    case FilterBell: return 1.5f;
    case FilterBSpline: return 2.0f;
    case FilterLanczos3: return 3.0f;
    case FilterMitchell: return 2.0f;
    default: return 0.5f;
  }
}

float FilterValue(int32_t filter, float t) {
  const float a = std::fabs(t);
  switch (filter) {
    case FilterTriangle:
      return a < 1.0f ? 1.0f - a : 0.0f;
    case FilterHermite:
      if (a < 1.0f) {
        const float tt = t * t;
        const float p = (2.0f * a - 3.0f) * tt;
        return p + 1.0f;
      }
      return 0.0f;
    case FilterBell:
      if (a < 0.5f) return 0.75f - t * t;
      if (a < 1.5f) {
        const float u = a - 1.5f;
        return 0.5f * (u * u);
      }
      return 0.0f;
    case FilterBSpline:
      if (a < 1.0f) {
        const float tt = t * t;
        const float ttt = tt * a;
        const float p = 0.5f * ttt - tt;
        return p + 2.0f / 3.0f;
      }
      if (a < 2.0f) {
        const float u = 2.0f - a;
        const float uuu = u * u * u;
        return uuu / 6.0f;
      }
      return 0.0f;
    case FilterLanczos3:
      if (a < 3.0f) return Sinc(t) * Sinc(t / 3.0f);
      return 0.0f;
    case FilterMitchell: {
      const float tt = t * t;
      const float ttt = tt * a;
      if (a < 1.0f) {
        const float p = 7.0f * ttt - 12.0f * tt;
        const float q = p + 16.0f / 3.0f;
        return q / 6.0f;
      }
      if (a < 2.0f) {
        const float p = (-7.0f / 3.0f) * ttt + 12.0f * tt;
        const float q = p - 20.0f * a;
        const float r = q + 32.0f / 3.0f;
        return r / 6.0f;
      }
      return 0.0f;
    }
    default:
      // The box is 1 on the half-open interval (-0.5, 0.5]: a centre exactly between two
      // samples takes the left one only.
      return (t > -0.5f && t <= 0.5f) ? 1.0f : 0.0f;
  }
}

}  // namespace kelv
