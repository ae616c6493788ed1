// The angle helpers of the scalar model against the C library.
#include "Platform/orbix/Sgp4Math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace vx::orbix::detail {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Within about two units in the last place of a value of order one.
constexpr double kTol = 4.5e-16;

TEST(Sgp4Math, SinCosMatchesTheLibraryAcrossQuadrantsAndRange) {
  // Quadrant edges, both signs, the edge of the fallback to the library.
  const double edges[] = {0.0,           -0.0,          kPi / 4,      kPi / 2,      -kPi / 2,
                          kPi,           3 * kPi / 2,   2 * kPi,      -2 * kPi,     1e-300,
                          0.7853981633974483, 0.7853981633974484, 99999.999, 100000.0, -100000.0,
                          123456.789,    1e9,           -1e15};
  for (double x : edges) {
    const SinCos r = sinCos(x);
    EXPECT_NEAR(r.s, std::sin(x), kTol) << x;
    EXPECT_NEAR(r.c, std::cos(x), kTol) << x;
  }
  std::mt19937_64 rng(7);
  for (double span : {1.0, 10.0, 1000.0, 99999.0}) {
    std::uniform_real_distribution<double> u(-span, span);
    for (int i = 0; i < 20000; ++i) {
      const double x = u(rng);
      const SinCos r = sinCos(x);
      ASSERT_NEAR(r.s, std::sin(x), kTol) << x;
      ASSERT_NEAR(r.c, std::cos(x), kTol) << x;
    }
  }
  EXPECT_TRUE(std::isnan(sinCos(NAN).s));
  EXPECT_TRUE(std::isnan(sinCos(INFINITY).c));
}

TEST(Sgp4Math, ShiftsMatchTheLibraryUpToTheirLimits) {
  struct Case {
    double d;
    bool wide;
  };
  // Both tiers of the short shift around their boundary, and both limits.
  const Case cases[] = {{0.0, false},         {1e-13, false},  {-0.0009765624, false},
                        {0.0009765625, false}, {0.01, false},   {-kSmallShift, false},
                        {kSmallShift, false},  {0.0, true},     {0.06, true},
                        {-kWideShift, true},   {kWideShift, true}};
  for (double a : {0.3, 2.0, -1.2, 5.9}) {
    for (const Case& c : cases) {
      const SinCos base{std::sin(a), std::cos(a)};
      const SinCos r = c.wide ? shiftedWide(base, c.d) : shifted(base, c.d);
      EXPECT_NEAR(r.s, std::sin(a + c.d), kTol) << a << " + " << c.d;
      EXPECT_NEAR(r.c, std::cos(a + c.d), kTol) << a << " + " << c.d;
    }
  }
}

TEST(Sgp4Math, TurnRemainderAsFmodByTwoPi) {
  const double twoPi = 2.0 * kPi;
  const double xs[] = {0.0,  1.0,    -1.0,   twoPi,   -twoPi, 6.2831853,  100.0,
                       -1e4, 4.2e8,  -4.2e8, 4.3e8,   1e12,   -3.3e15};
  for (double x : xs) {
    const double got = turnRemainder(x);
    const double want = std::fmod(x, twoPi);
    // The same angle: equal, or a whole turn apart where x is a multiple.
    const double diff = std::fabs(got - want);
    EXPECT_TRUE(diff <= 1e-15 * std::max(1.0, std::fabs(x)) ||
                std::fabs(diff - twoPi) <= 1e-15 * std::max(1.0, std::fabs(x)))
        << x << ": " << got << " against " << want;
    EXPECT_LT(std::fabs(got), twoPi) << x;
  }
  EXPECT_TRUE(std::isnan(turnRemainder(NAN)));
}

}  // namespace
}  // namespace vx::orbix::detail
