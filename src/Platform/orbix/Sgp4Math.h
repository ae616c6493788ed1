// Small angle helpers of the scalar orbit model: sine and cosine in one
// call, the sine and cosine of an angle moved by a small amount from those of
// the angle, and the cheap reduction of an angle by whole turns.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace vx::orbix::detail {

struct SinCos {
  double s, c;
};

// Sine and cosine together: the angle less its nearest multiple q of pi/2
// (pi/2 in three parts, the first two short enough that their products with
// q are exact), then the Taylor series of both on [-pi/4, pi/4] to the 15th
// and 16th power, where the next term is below a tenth of a unit in the last
// place; the quadrant q mod 4 places them. Angles of 1e5 or more (or not
// finite) go to the C library.
[[gnu::always_inline]] inline SinCos sinCos(double x) {
  if (!(std::fabs(x) < 1.0e5)) {
    return {std::sin(x), std::cos(x)};
  }
  // Rounded to the nearest whole number by adding and taking away 1.5 * 2^52.
  constexpr double kRound = 6755399441055744.0;
  const double q = (x * 0.6366197723675814 + kRound) - kRound;
  const double r = ((x - q * 1.570796325802803) - q * 9.920935791635221e-10) - q * 5.170182981794105e-19;
  const double z = r * r;
  const double ps =
      -1.0 / 6.0 +
      z * (1.0 / 120.0 +
           z * (-1.0 / 5040.0 +
                z * (1.0 / 362880.0 +
                     z * (-1.0 / 39916800.0 + z * (1.0 / 6227020800.0 + z * (-1.0 / 1307674368000.0))))));
  const double pc =
      -1.0 / 24.0 +
      z * (1.0 / 720.0 +
           z * (-1.0 / 40320.0 +
                z * (1.0 / 3628800.0 +
                     z * (-1.0 / 479001600.0 + z * (1.0 / 87178291200.0 + z * (-1.0 / 20922789888000.0))))));
  const double sr = r + r * z * ps;
  const double cr = 1.0 - (0.5 * z + z * z * pc);
  // Quadrant 1 and 3 swap the two, 2 and 3 negate the sine, 1 and 2 the
  // cosine: done on the bits, as the quadrant is no pattern a branch could
  // predict.
  const auto quad = static_cast<uint64_t>(static_cast<int64_t>(q));
  const uint64_t swap = 0 - (quad & 1);
  const auto sb = std::bit_cast<uint64_t>(sr), cb = std::bit_cast<uint64_t>(cr);
  const uint64_t sinBits = ((sb & ~swap) | (cb & swap)) ^ ((quad & 2) << 62);
  const uint64_t cosBits = ((cb & ~swap) | (sb & swap)) ^ (((quad + 1) & 2) << 62);
  return {std::bit_cast<double>(sinBits), std::bit_cast<double>(cosBits)};
}

// Largest shift `shifted` takes: the series of sin(d) to the 7th power and of
// cos(d) - 1 to the 8th then err by less than 1e-17.
constexpr double kSmallShift = 0.05;

// Sine and cosine of a + d from those of a, for |d| <= kSmallShift. Steps
// below 2^-10 (the last ones of an iteration) take three terms of each series.
[[gnu::always_inline]] inline SinCos shifted(SinCos a, double d) {
  const double z = d * d;
  if (std::fabs(d) < 0.0009765625) {
    const double sd = d * (1.0 - z * (1.0 / 6.0 - z * (1.0 / 120.0)));
    const double cm1 = -z * (0.5 - z * (1.0 / 24.0 - z * (1.0 / 720.0)));
    return {a.s + (a.s * cm1 + a.c * sd), a.c + (a.c * cm1 - a.s * sd)};
  }
  const double sd = d * (1.0 - z * (1.0 / 6.0 - z * (1.0 / 120.0 - z * (1.0 / 5040.0))));
  const double cm1 = -z * (0.5 - z * (1.0 / 24.0 - z * (1.0 / 720.0 - z * (1.0 / 40320.0))));
  return {a.s + (a.s * cm1 + a.c * sd), a.c + (a.c * cm1 - a.s * sd)};
}

// Largest shift `shiftedWide` takes: its series, of sin(d) to the 13th power
// and of cos(d) - 1 to the 14th, then err by less than 1e-20.
constexpr double kWideShift = 0.125;

// Sine and cosine of a + d from those of a, for |d| <= kWideShift.
[[gnu::always_inline]] inline SinCos shiftedWide(SinCos a, double d) {
  const double z = d * d;
  const double sd =
      d * (1.0 - z * (1.0 / 6.0 -
                      z * (1.0 / 120.0 -
                           z * (1.0 / 5040.0 -
                                z * (1.0 / 362880.0 - z * (1.0 / 39916800.0 - z * (1.0 / 6227020800.0)))))));
  const double cm1 =
      -z * (0.5 - z * (1.0 / 24.0 -
                       z * (1.0 / 720.0 -
                            z * (1.0 / 40320.0 -
                                 z * (1.0 / 3628800.0 - z * (1.0 / 479001600.0 - z * (1.0 / 87178291200.0)))))));
  return {a.s + (a.s * cm1 + a.c * sd), a.c + (a.c * cm1 - a.s * sd)};
}

// Sine and cosine of x, an angle d past the one whose are a: through
// `shifted` when d is small enough.
[[gnu::always_inline]] inline SinCos sinCosNear(SinCos a, double d, double x) {
  return std::fabs(d) <= kSmallShift ? shifted(a, d) : sinCos(x);
}

// x less its whole turns toward zero, as fmod(x, 2 pi) with 2 pi rounded to a
// double: 2 pi in two parts, the first short enough that its product with any
// turn count below 2^26 is exact. Angles beyond that (times of centuries)
// fall back to fmod.
[[gnu::always_inline]] inline double turnRemainder(double x) {
  constexpr double kTwoPiA = 6.283185243606567;
  constexpr double kTwoPiB = 6.357301884918343e-08;
  constexpr double kInvTwoPi = 0.15915494309189533577;
  const double turns = x * kInvTwoPi;
  if (!(std::fabs(turns) < 67108864.0)) return std::fmod(x, kTwoPiA + kTwoPiB);
  const auto k = static_cast<double>(static_cast<long long>(turns));  // toward zero
  return (x - k * kTwoPiA) - k * kTwoPiB;
}

}  // namespace vx::orbix::detail
