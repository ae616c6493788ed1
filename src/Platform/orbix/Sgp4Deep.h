// The deep-space part of the orbit model: lunar-solar terms and the
// resonance integrator, for sets of a period of 225 minutes or more.
#pragma once

#include "Platform/orbix/Sgp4.h"
#include "Platform/orbix/Sgp4Math.h"

namespace vx::orbix::detail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kX2o3 = 2.0 / 3.0;
constexpr double kRptim = 4.37526908801129966e-3;  // Earth rotation, rad/min

// Elements after the secular terms at a time.
struct Mean {
  double em, argpm, inclm, mm, nodem, nm;
};

// Elements after the periodic terms at a time.
struct Osc {
  double ep, inclp, nodep, argpp, mp;
  SinCos incl;  // of inclp, set by deepPeriodics
};

// The lunar-solar coefficients, secular rates and resonance terms of s, from
// its elements at epoch; xpidot is the rate of the longitude of perigee.
void deepSpaceInit(Sgp4Set& s, double xpidot);

// Fills s.resonance: the integrator's states on its grid near the epoch.
void resonanceGrid(Sgp4Set& s);

// Lunar-solar secular rates and the resonance integration to t minutes.
void deepSecular(const Sgp4Set& s, double t, Mean& m);

// Lunar-solar long-period periodics at t minutes, added to the elements.
void deepPeriodics(const Sgp4Set& s, double t, Osc& o);

}  // namespace vx::orbix::detail
