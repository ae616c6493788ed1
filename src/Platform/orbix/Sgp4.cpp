// SGP4 (near-Earth) and SDP4 (deep-space) propagation of mean elements.
#include "Platform/orbix/Sgp4.h"

#include <cmath>

#include "Ambit/AmbitTypes.h"
#include "Platform/orbix/Sgp4Math.h"

namespace vx::orbix {
namespace {

using detail::SinCos;
using detail::sinCos;
using detail::turnRemainder;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kX2o3 = 2.0 / 3.0;
constexpr double kDeg2Rad = kPi / 180.0;

// Lunar-solar constants.
constexpr double kZes = 0.01675;
constexpr double kZel = 0.05490;
constexpr double kZns = 1.19459e-5;
constexpr double kZnl = 1.5835218e-4;
constexpr double kRptim = 4.37526908801129966e-3;  // Earth rotation, rad/min
// Farthest time from the epoch, minutes (about 1900 years). The resonance
// integrator steps 720 minutes at a time from the epoch; beyond this it would
// take too long, and far beyond it a step no longer changes the time at all.
constexpr double kMaxMinutes = 1.0e9;

GravConst makeGrav(double mu, double radius, double xke, double j2, double j3, double j4) {
  GravConst g{};
  g.mu = mu;
  g.radiusKm = radius;
  g.xke = xke;
  g.tumin = 1.0 / xke;
  g.j2 = j2;
  g.j3 = j3;
  g.j4 = j4;
  g.j3oj2 = j3 / j2;
  return g;
}

// Greenwich sidereal angle at a Julian date (UT1), rad.
double gstime(double jdut1) {
  const double tut1 = (jdut1 - 2451545.0) / 36525.0;
  double temp = -6.2e-6 * tut1 * tut1 * tut1 + 0.093104 * tut1 * tut1 +
                (876600.0 * 3600.0 + 8640184.812866) * tut1 + 67310.54841;
  temp = std::fmod(temp * kDeg2Rad / 240.0, kTwoPi);
  return temp < 0.0 ? temp + kTwoPi : temp;
}

// Greenwich angle as the operational model computes it, from 1970.
double gstimeAfspc(double epochDs50) {
  const double ts70 = epochDs50 - 7305.0;
  const double ds70 = std::floor(ts70 + 1.0e-8);
  const double tfrac = ts70 - ds70;
  const double c1 = 1.72027916940703639e-2;
  const double thgr70 = 1.7321343856509374;
  const double fk5r = 5.07551419432269442e-15;
  const double c1p2p = c1 + kTwoPi;
  double g = std::fmod(thgr70 + c1 * ds70 + c1p2p * tfrac + ts70 * ts70 * fk5r, kTwoPi);
  return g < 0.0 ? g + kTwoPi : g;
}

// Lunar-solar coefficients of one body (sun or moon) at epoch.
struct BodyTerms {
  double s1, s2, s3, s4, s5, s6, s7;
  double z1, z2, z3, z11, z12, z13, z21, z22, z23, z31, z32, z33;
};

BodyTerms bodyTerms(double zcosg, double zsing, double zcosi, double zsini, double zcosh, double zsinh,
                    double cc, double xnoi, double em, double cosim, double sinim, double cosomm,
                    double sinomm) {
  const double emsq = em * em;
  const double betasq = 1.0 - emsq;
  const double rtemsq = std::sqrt(betasq);
  const double a1 = zcosg * zcosh + zsing * zcosi * zsinh;
  const double a3 = -zsing * zcosh + zcosg * zcosi * zsinh;
  const double a7 = -zcosg * zsinh + zsing * zcosi * zcosh;
  const double a8 = zsing * zsini;
  const double a9 = zsing * zsinh + zcosg * zcosi * zcosh;
  const double a10 = zcosg * zsini;
  const double a2 = cosim * a7 + sinim * a8;
  const double a4 = cosim * a9 + sinim * a10;
  const double a5 = -sinim * a7 + cosim * a8;
  const double a6 = -sinim * a9 + cosim * a10;
  const double x1 = a1 * cosomm + a2 * sinomm;
  const double x2 = a3 * cosomm + a4 * sinomm;
  const double x3 = -a1 * sinomm + a2 * cosomm;
  const double x4 = -a3 * sinomm + a4 * cosomm;
  const double x5 = a5 * sinomm;
  const double x6 = a6 * sinomm;
  const double x7 = a5 * cosomm;
  const double x8 = a6 * cosomm;
  BodyTerms b{};
  b.z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
  b.z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
  b.z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
  b.z1 = 3.0 * (a1 * a1 + a2 * a2) + b.z31 * emsq;
  b.z2 = 6.0 * (a1 * a3 + a2 * a4) + b.z32 * emsq;
  b.z3 = 3.0 * (a3 * a3 + a4 * a4) + b.z33 * emsq;
  b.z11 = -6.0 * a1 * a5 + emsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
  b.z12 = -6.0 * (a1 * a6 + a3 * a5) + emsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
  b.z13 = -6.0 * a3 * a6 + emsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
  b.z21 = 6.0 * a2 * a5 + emsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
  b.z22 = 6.0 * (a4 * a5 + a2 * a6) + emsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
  b.z23 = 6.0 * a4 * a6 + emsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
  b.z1 = b.z1 + b.z1 + betasq * b.z31;
  b.z2 = b.z2 + b.z2 + betasq * b.z32;
  b.z3 = b.z3 + b.z3 + betasq * b.z33;
  b.s3 = cc * xnoi;
  b.s2 = -0.5 * b.s3 / rtemsq;
  b.s4 = b.s3 * rtemsq;
  b.s1 = -15.0 * em * b.s4;
  b.s5 = x1 * x3 + x2 * x4;
  b.s6 = x2 * x3 + x1 * x4;
  b.s7 = x2 * x4 - x1 * x3;
  return b;
}

// Lunar-solar periodic terms of the set at epoch: the coefficients of the
// long-period perturbations kept in the set, and the sun's and moon's terms
// the secular rates need.
void deepCommon(Sgp4Set& s, BodyTerms& sun, BodyTerms& moon) {
  const double c1ss = 2.9864797e-6;
  const double c1l = 4.7968065e-7;
  const double zsinis = 0.39785416;
  const double zcosis = 0.91744867;
  const double zcosgs = 0.1945905;
  const double zsings = -0.98088458;

  const double em = s.ecco;
  const double snodm = std::sin(s.nodeo);
  const double cnodm = std::cos(s.nodeo);
  const double sinomm = std::sin(s.argpo);
  const double cosomm = std::cos(s.argpo);
  const double sinim = std::sin(s.inclo);
  const double cosim = std::cos(s.inclo);
  const double emsq = em * em;

  const double day = s.epochDs50 + 18261.5;
  const double xnodce = std::fmod(4.5236020 - 9.2422029e-4 * day, kTwoPi);
  const double stem = std::sin(xnodce);
  const double ctem = std::cos(xnodce);
  const double zcosil = 0.91375164 - 0.03568096 * ctem;
  const double zsinil = std::sqrt(1.0 - zcosil * zcosil);
  const double zsinhl = 0.089683511 * stem / zsinil;
  const double zcoshl = std::sqrt(1.0 - zsinhl * zsinhl);
  const double gam = 5.8351514 + 0.0019443680 * day;
  double zx = 0.39785416 * stem / zsinil;
  const double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
  zx = std::atan2(zx, zy);
  zx = gam + zx - xnodce;
  const double zcosgl = std::cos(zx);
  const double zsingl = std::sin(zx);
  const double xnoi = 1.0 / s.no;

  sun = bodyTerms(zcosgs, zsings, zcosis, zsinis, cnodm, snodm, c1ss, xnoi, em, cosim, sinim, cosomm,
                  sinomm);
  moon = bodyTerms(zcosgl, zsingl, zcosil, zsinil, zcoshl * cnodm + zsinhl * snodm,
                   snodm * zcoshl - cnodm * zsinhl, c1l, xnoi, em, cosim, sinim, cosomm, sinomm);

  s.zmol = std::fmod(4.7199672 + 0.22997150 * day - gam, kTwoPi);
  s.zmos = std::fmod(6.2565837 + 0.017201977 * day, kTwoPi);

  s.se2 = 2.0 * sun.s1 * sun.s6;
  s.se3 = 2.0 * sun.s1 * sun.s7;
  s.si2 = 2.0 * sun.s2 * sun.z12;
  s.si3 = 2.0 * sun.s2 * (sun.z13 - sun.z11);
  s.sl2 = -2.0 * sun.s3 * sun.z2;
  s.sl3 = -2.0 * sun.s3 * (sun.z3 - sun.z1);
  s.sl4 = -2.0 * sun.s3 * (-21.0 - 9.0 * emsq) * kZes;
  s.sgh2 = 2.0 * sun.s4 * sun.z32;
  s.sgh3 = 2.0 * sun.s4 * (sun.z33 - sun.z31);
  s.sgh4 = -18.0 * sun.s4 * kZes;
  s.sh2 = -2.0 * sun.s2 * sun.z22;
  s.sh3 = -2.0 * sun.s2 * (sun.z23 - sun.z21);

  s.ee2 = 2.0 * moon.s1 * moon.s6;
  s.e3 = 2.0 * moon.s1 * moon.s7;
  s.xi2 = 2.0 * moon.s2 * moon.z12;
  s.xi3 = 2.0 * moon.s2 * (moon.z13 - moon.z11);
  s.xl2 = -2.0 * moon.s3 * moon.z2;
  s.xl3 = -2.0 * moon.s3 * (moon.z3 - moon.z1);
  s.xl4 = -2.0 * moon.s3 * (-21.0 - 9.0 * emsq) * kZel;
  s.xgh2 = 2.0 * moon.s4 * moon.z32;
  s.xgh3 = 2.0 * moon.s4 * (moon.z33 - moon.z31);
  s.xgh4 = -18.0 * moon.s4 * kZel;
  s.xh2 = -2.0 * moon.s2 * moon.z22;
  s.xh3 = -2.0 * moon.s2 * (moon.z23 - moon.z21);
}

// Secular lunar-solar rates and the resonance coefficients.
void deepInit(Sgp4Set& s, const BodyTerms& sun, const BodyTerms& moon, double xpidot) {
  const double q22 = 1.7891679e-6, q31 = 2.1460748e-6, q33 = 2.2123015e-7;
  const double root22 = 1.7891679e-6, root44 = 7.3636953e-9, root54 = 2.1765803e-9;
  const double root32 = 3.7393792e-7, root52 = 1.1428639e-7;

  const double nm = s.no;
  const double em = s.ecco;
  const double emsq = em * em;
  const double inclm = s.inclo;
  const double sinim = std::sin(inclm);
  const double cosim = std::cos(inclm);

  s.irez = 0;
  if (nm < 0.0052359877 && nm > 0.0034906585) s.irez = 1;
  if (nm >= 8.26e-3 && nm <= 9.24e-3 && em >= 0.5) s.irez = 2;

  const double ses = sun.s1 * kZns * sun.s5;
  const double sis = sun.s2 * kZns * (sun.z11 + sun.z13);
  const double sls = -kZns * sun.s3 * (sun.z1 + sun.z3 - 14.0 - 6.0 * emsq);
  const double sghs = sun.s4 * kZns * (sun.z31 + sun.z33 - 6.0);
  double shs = -kZns * sun.s2 * (sun.z21 + sun.z23);
  const bool nearPolarEdge = inclm < 5.2359877e-2 || inclm > kPi - 5.2359877e-2;
  if (nearPolarEdge) shs = 0.0;
  if (sinim != 0.0) shs = shs / sinim;
  const double sgs = sghs - cosim * shs;

  s.dedt = ses + moon.s1 * kZnl * moon.s5;
  s.didt = sis + moon.s2 * kZnl * (moon.z11 + moon.z13);
  s.dmdt = sls - kZnl * moon.s3 * (moon.z1 + moon.z3 - 14.0 - 6.0 * emsq);
  const double sghl = moon.s4 * kZnl * (moon.z31 + moon.z33 - 6.0);
  double shll = -kZnl * moon.s2 * (moon.z21 + moon.z23);
  if (nearPolarEdge) shll = 0.0;
  s.domdt = sgs + sghl;
  s.dnodt = shs;
  if (sinim != 0.0) {
    s.domdt -= cosim / sinim * shll;
    s.dnodt += shll / sinim;
  }

  const double theta = std::fmod(s.gsto, kTwoPi);
  if (s.irez == 0) return;
  const double aonv = std::pow(nm / s.grav.xke, kX2o3);

  if (s.irez == 2) {
    const double cosisq = cosim * cosim;
    const double eoc = em * emsq;
    const double g201 = -0.306 - (em - 0.64) * 0.440;
    double g211, g310, g322, g410, g422, g520, g533, g521, g532;
    if (em <= 0.65) {
      g211 = 3.616 - 13.2470 * em + 16.2900 * emsq;
      g310 = -19.302 + 117.3900 * em - 228.4190 * emsq + 156.5910 * eoc;
      g322 = -18.9068 + 109.7927 * em - 214.6334 * emsq + 146.5816 * eoc;
      g410 = -41.122 + 242.6940 * em - 471.0940 * emsq + 313.9530 * eoc;
      g422 = -146.407 + 841.8800 * em - 1629.014 * emsq + 1083.4350 * eoc;
      g520 = -532.114 + 3017.977 * em - 5740.032 * emsq + 3708.2760 * eoc;
    } else {
      g211 = -72.099 + 331.819 * em - 508.738 * emsq + 266.724 * eoc;
      g310 = -346.844 + 1582.851 * em - 2415.925 * emsq + 1246.113 * eoc;
      g322 = -342.585 + 1554.908 * em - 2366.899 * emsq + 1215.972 * eoc;
      g410 = -1052.797 + 4758.686 * em - 7193.992 * emsq + 3651.957 * eoc;
      g422 = -3581.690 + 16178.110 * em - 24462.770 * emsq + 12422.520 * eoc;
      if (em > 0.715)
        g520 = -5149.66 + 29936.92 * em - 54087.36 * emsq + 31324.56 * eoc;
      else
        g520 = 1464.74 - 4664.75 * em + 3763.64 * emsq;
    }
    if (em < 0.7) {
      g533 = -919.22770 + 4988.6100 * em - 9064.7700 * emsq + 5542.21 * eoc;
      g521 = -822.71072 + 4568.6173 * em - 8491.4146 * emsq + 5337.524 * eoc;
      g532 = -853.66600 + 4690.2500 * em - 8624.7700 * emsq + 5341.4 * eoc;
    } else {
      g533 = -37995.780 + 161616.52 * em - 229838.20 * emsq + 109377.94 * eoc;
      g521 = -51752.104 + 218913.95 * em - 309468.16 * emsq + 146349.42 * eoc;
      g532 = -40023.880 + 170470.89 * em - 242699.48 * emsq + 115605.82 * eoc;
    }
    const double sini2 = sinim * sinim;
    const double f220 = 0.75 * (1.0 + 2.0 * cosim + cosisq);
    const double f221 = 1.5 * sini2;
    const double f321 = 1.875 * sinim * (1.0 - 2.0 * cosim - 3.0 * cosisq);
    const double f322 = -1.875 * sinim * (1.0 + 2.0 * cosim - 3.0 * cosisq);
    const double f441 = 35.0 * sini2 * f220;
    const double f442 = 39.3750 * sini2 * sini2;
    const double f522 = 9.84375 * sinim *
                        (sini2 * (1.0 - 2.0 * cosim - 5.0 * cosisq) +
                         0.33333333 * (-2.0 + 4.0 * cosim + 6.0 * cosisq));
    const double f523 = sinim * (4.92187512 * sini2 * (-2.0 - 4.0 * cosim + 10.0 * cosisq) +
                                 6.56250012 * (1.0 + 2.0 * cosim - 3.0 * cosisq));
    const double f542 = 29.53125 * sinim *
                        (2.0 - 8.0 * cosim + cosisq * (-12.0 + 8.0 * cosim + 10.0 * cosisq));
    const double f543 = 29.53125 * sinim *
                        (-2.0 - 8.0 * cosim + cosisq * (12.0 + 8.0 * cosim - 10.0 * cosisq));
    const double xno2 = nm * nm;
    const double ainv2 = aonv * aonv;
    double temp1 = 3.0 * xno2 * ainv2;
    double temp = temp1 * root22;
    s.d2201 = temp * f220 * g201;
    s.d2211 = temp * f221 * g211;
    temp1 *= aonv;
    temp = temp1 * root32;
    s.d3210 = temp * f321 * g310;
    s.d3222 = temp * f322 * g322;
    temp1 *= aonv;
    temp = 2.0 * temp1 * root44;
    s.d4410 = temp * f441 * g410;
    s.d4422 = temp * f442 * g422;
    temp1 *= aonv;
    temp = temp1 * root52;
    s.d5220 = temp * f522 * g520;
    s.d5232 = temp * f523 * g532;
    temp = 2.0 * temp1 * root54;
    s.d5421 = temp * f542 * g521;
    s.d5433 = temp * f543 * g533;
    s.xlamo = std::fmod(s.mo + s.nodeo + s.nodeo - theta - theta, kTwoPi);
    s.xfact = s.mdot + s.dmdt + 2.0 * (s.nodedot + s.dnodt - kRptim) - s.no;
  } else {
    const double g200 = 1.0 + emsq * (-2.5 + 0.8125 * emsq);
    const double g310 = 1.0 + 2.0 * emsq;
    const double g300 = 1.0 + emsq * (-6.0 + 6.60937 * emsq);
    const double f220 = 0.75 * (1.0 + cosim) * (1.0 + cosim);
    const double f311 = 0.9375 * sinim * sinim * (1.0 + 3.0 * cosim) - 0.75 * (1.0 + cosim);
    double f330 = 1.0 + cosim;
    f330 = 1.875 * f330 * f330 * f330;
    const double del1 = 3.0 * nm * nm * aonv * aonv;
    s.del2 = 2.0 * del1 * f220 * g200 * q22;
    s.del3 = 3.0 * del1 * f330 * g300 * q33 * aonv;
    s.del1 = del1 * f311 * g310 * q31 * aonv;
    s.xlamo = std::fmod(s.mo + s.nodeo + s.argpo - theta, kTwoPi);
    s.xfact = s.mdot + xpidot - kRptim + s.dmdt + s.domdt + s.dnodt - s.no;
  }
  s.xli = s.xlamo;
  s.xni = s.no;
  s.atime = 0.0;
}

}  // namespace

// WGS-72 and WGS-84 are ambit's geopotential sets, with their published xke.
GravConst GravConst::wgs72() {
  const ambit::geoconstants& g = ambit::wgs72;
  return makeGrav(g.mu, g.radiuskm, g.ke, g.j2, g.j3, g.j4);
}

// The first published constants: WGS-72's shape with an older mu and xke.
GravConst GravConst::wgs72old() {
  const ambit::geoconstants& g = ambit::wgs72;
  return makeGrav(398600.79964, g.radiuskm, 0.0743669161, g.j2, g.j3, g.j4);
}

GravConst GravConst::wgs84() {
  const ambit::geoconstants& g = ambit::wgs84;
  return makeGrav(g.mu, g.radiuskm, g.ke, g.j2, g.j3, g.j4);
}

std::string_view sgp4message(int32_t code) {
  switch (code) {
    case kSgp4Ok: return "no error";
    case kSgp4MeanElements: return "mean eccentricity is not in [-0.001, 1) or the mean motion is not positive";
    case kSgp4MeanMotion: return "mean motion is less than zero";
    case kSgp4PerturbedEcc: return "perturbed eccentricity is not in [0, 1]";
    case kSgp4SemiLatus: return "semi-latus rectum is less than zero";
    case kSgp4SubOrbital: return "epoch elements are sub-orbital";
    case kSgp4Decayed: return "satellite has decayed";
    case kSgp4BadInput: return "time or element value is not a finite number or out of range";
    default: return "unknown error";
  }
}

namespace {

struct Osc {
  double ep, inclp, nodep, argpp, mp;
  SinCos incl;  // of inclp, set by deepPeriodics
};

// Lunar-solar long-period periodics at t minutes, added to the elements.
void deepPeriodics(const Sgp4Set& s, double t, Osc& o) {
  double zm = s.zmos + kZns * t;
  SinCos zfsc = sinCos(zm + 2.0 * kZes * std::sin(zm));
  double sinzf = zfsc.s;
  double f2 = 0.5 * sinzf * sinzf - 0.25;
  double f3 = -0.5 * sinzf * zfsc.c;
  const double ses = s.se2 * f2 + s.se3 * f3;
  const double sis = s.si2 * f2 + s.si3 * f3;
  const double sls = s.sl2 * f2 + s.sl3 * f3 + s.sl4 * sinzf;
  const double sghs = s.sgh2 * f2 + s.sgh3 * f3 + s.sgh4 * sinzf;
  const double shs = s.sh2 * f2 + s.sh3 * f3;
  zm = s.zmol + kZnl * t;
  zfsc = sinCos(zm + 2.0 * kZel * std::sin(zm));
  sinzf = zfsc.s;
  f2 = 0.5 * sinzf * sinzf - 0.25;
  f3 = -0.5 * sinzf * zfsc.c;
  const double sel = s.ee2 * f2 + s.e3 * f3;
  const double sil = s.xi2 * f2 + s.xi3 * f3;
  const double sll = s.xl2 * f2 + s.xl3 * f3 + s.xl4 * sinzf;
  const double sghl = s.xgh2 * f2 + s.xgh3 * f3 + s.xgh4 * sinzf;
  const double shll = s.xh2 * f2 + s.xh3 * f3;

  const double pe = ses + sel - s.peo;
  const double pinc = sis + sil - s.pinco;
  const double pl = sls + sll - s.plo;
  double pgh = sghs + sghl - s.pgho;
  double ph = shs + shll - s.pho;

  o.inclp += pinc;
  o.ep += pe;
  o.incl = sinCos(o.inclp);
  const double sinip = o.incl.s;
  const double cosip = o.incl.c;
  if (o.inclp >= 0.2) {
    ph /= sinip;
    pgh -= cosip * ph;
    o.argpp += pgh;
    o.nodep += ph;
    o.mp += pl;
    return;
  }
  // Low inclination: apply the node and perigee terms through the
  // nonsingular variables sin(i) sin(node), sin(i) cos(node).
  const bool afspc = s.opsMode == OpsMode::afspc;
  const SinCos nodesc = sinCos(o.nodep);
  const double sinop = nodesc.s;
  const double cosop = nodesc.c;
  double alfdp = sinip * sinop;
  double betdp = sinip * cosop;
  alfdp += ph * cosop + pinc * cosip * sinop;
  betdp += -ph * sinop + pinc * cosip * cosop;
  o.nodep = turnRemainder(o.nodep);
  if (o.nodep < 0.0 && afspc) o.nodep += kTwoPi;
  double xls = o.mp + o.argpp + cosip * o.nodep;
  xls += pl + pgh - pinc * o.nodep * sinip;
  const double xnoh = o.nodep;
  o.nodep = std::atan2(alfdp, betdp);
  if (o.nodep < 0.0 && afspc) o.nodep += kTwoPi;
  if (std::fabs(xnoh - o.nodep) > kPi) o.nodep += o.nodep < xnoh ? kTwoPi : -kTwoPi;
  o.mp += pl;
  o.argpp = xls - o.mp - cosip * o.nodep;
}

struct Mean {
  double em, argpm, inclm, mm, nodem, nm;
};

// Lunar-solar secular rates and the resonance integration to t minutes. The
// integrator starts at the epoch on every call, with steps of 720 minutes.
void deepSecular(const Sgp4Set& s, double t, Mean& m) {
  const double fasx2 = 0.13130908, fasx4 = 2.8843198, fasx6 = 0.37448087;
  const double g22 = 5.7686396, g32 = 0.95240898, g44 = 1.8014998, g52 = 1.0508330, g54 = 4.4108898;
  const double stepp = 720.0, step2 = 259200.0;

  m.em += s.dedt * t;
  m.inclm += s.didt * t;
  m.argpm += s.domdt * t;
  m.nodem += s.dnodt * t;
  m.mm += s.dmdt * t;
  if (s.irez == 0) return;
  const double theta = turnRemainder(s.gsto + t * kRptim);

  double atime = 0.0, xni = s.no, xli = s.xlamo;
  const double delt = t > 0.0 ? stepp : -stepp;
  double ft = 0.0, xndt = 0.0, xldot = 0.0, xnddt = 0.0;
  for (;;) {
    if (s.irez != 2) {
      xndt = s.del1 * std::sin(xli - fasx2) + s.del2 * std::sin(2.0 * (xli - fasx4)) +
             s.del3 * std::sin(3.0 * (xli - fasx6));
      xldot = xni + s.xfact;
      xnddt = s.del1 * std::cos(xli - fasx2) + 2.0 * s.del2 * std::cos(2.0 * (xli - fasx4)) +
              3.0 * s.del3 * std::cos(3.0 * (xli - fasx6));
      xnddt *= xldot;
    } else {
      const double xomi = s.argpo + s.argpdot * atime;
      const double x2omi = xomi + xomi;
      const double x2li = xli + xli;
      xndt = s.d2201 * std::sin(x2omi + xli - g22) + s.d2211 * std::sin(xli - g22) +
             s.d3210 * std::sin(xomi + xli - g32) + s.d3222 * std::sin(-xomi + xli - g32) +
             s.d4410 * std::sin(x2omi + x2li - g44) + s.d4422 * std::sin(x2li - g44) +
             s.d5220 * std::sin(xomi + xli - g52) + s.d5232 * std::sin(-xomi + xli - g52) +
             s.d5421 * std::sin(xomi + x2li - g54) + s.d5433 * std::sin(-xomi + x2li - g54);
      xldot = xni + s.xfact;
      xnddt = s.d2201 * std::cos(x2omi + xli - g22) + s.d2211 * std::cos(xli - g22) +
              s.d3210 * std::cos(xomi + xli - g32) + s.d3222 * std::cos(-xomi + xli - g32) +
              s.d5220 * std::cos(xomi + xli - g52) + s.d5232 * std::cos(-xomi + xli - g52) +
              2.0 * (s.d4410 * std::cos(x2omi + x2li - g44) + s.d4422 * std::cos(x2li - g44) +
                     s.d5421 * std::cos(xomi + x2li - g54) + s.d5433 * std::cos(-xomi + x2li - g54));
      xnddt *= xldot;
    }
    if (std::fabs(t - atime) < stepp) {
      ft = t - atime;
      break;
    }
    xli += xldot * delt + xndt * step2;
    xni += xndt * delt + xnddt * step2;
    atime += delt;
  }
  m.nm = xni + xndt * ft + xnddt * ft * ft * 0.5;
  const double xl = xli + xldot * ft + xndt * ft * ft * 0.5;
  if (s.irez != 1)
    m.mm = xl - 2.0 * m.nodem + 2.0 * theta;
  else
    m.mm = xl - m.nodem - m.argpm + theta;
}

bool finite(const MeanElements& e) {
  const double v[] = {e.epochDs50, e.meanMotion, e.eccentricity, e.inclination, e.node,
                      e.argPerigee, e.meanAnomaly, e.bstar};
  for (double x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

int32_t fail(double r[3], double v[3], int32_t code) {
  for (int i = 0; i < 3; ++i) r[i] = v[i] = 0.0;
  return code;
}

}  // namespace

int32_t sgp4init(const MeanElements& el, const GravConst& grav, OpsMode mode, Sgp4Set& s) {
  s = Sgp4Set{};
  s.opsMode = mode;
  s.grav = grav;
  s.epochDs50 = el.epochDs50;
  s.ecco = el.eccentricity;
  s.inclo = el.inclination;
  s.nodeo = el.node;
  s.argpo = el.argPerigee;
  s.mo = el.meanAnomaly;
  s.bstar = el.bstar;
  if (!finite(el)) return s.error = kSgp4BadInput;
  if (el.meanMotion <= 0.0 || el.eccentricity >= 1.0 || el.eccentricity < 0.0)
    return s.error = kSgp4MeanElements;

  const double j2 = grav.j2, xke = grav.xke, radius = grav.radiusKm;
  // Brouwer mean motion and semi-major axis from the Kozai mean motion.
  const double eccsq = s.ecco * s.ecco;
  const double omeosq = 1.0 - eccsq;
  const double rteosq = std::sqrt(omeosq);
  const double cosio = std::cos(s.inclo);
  const double cosio2 = cosio * cosio;
  const double ak = std::pow(xke / el.meanMotion, kX2o3);
  const double d1 = 0.75 * j2 * (3.0 * cosio2 - 1.0) / (rteosq * omeosq);
  double del = d1 / (ak * ak);
  const double adel = ak * (1.0 - del * del - del * (1.0 / 3.0 + 134.0 * del * del / 81.0));
  del = d1 / (adel * adel);
  s.no = el.meanMotion / (1.0 + del);
  s.ao = std::pow(xke / s.no, kX2o3);
  s.sinio = std::sin(s.inclo);
  s.cosio = cosio;
  const double po = s.ao * omeosq;
  const double con42 = 1.0 - 5.0 * cosio2;
  s.con41 = -con42 - cosio2 - cosio2;
  const double posq = po * po;
  const double rp = s.ao * (1.0 - s.ecco);
  s.gsto = mode == OpsMode::afspc ? gstimeAfspc(el.epochDs50) : gstime(el.epochDs50 + 2433281.5);
  if (!std::isfinite(s.no) || !std::isfinite(s.ao)) return s.error = kSgp4MeanElements;

  // Drag: the density function's reference height, lowered for low perigees.
  const double ss = 78.0 / radius + 1.0;
  const double qzms2t = std::pow((120.0 - 78.0) / radius, 4);
  s.isimp = rp < 220.0 / radius + 1.0;
  double sfour = ss;
  double qzms24 = qzms2t;
  const double perige = (rp - 1.0) * radius;
  if (perige < 156.0) {
    sfour = perige - 78.0;
    if (perige < 98.0) sfour = 20.0;
    qzms24 = std::pow((120.0 - sfour) / radius, 4);
    sfour = sfour / radius + 1.0;
  }
  const double pinvsq = 1.0 / posq;
  const double tsi = 1.0 / (s.ao - sfour);
  s.eta = s.ao * s.ecco * tsi;
  const double etasq = s.eta * s.eta;
  const double eeta = s.ecco * s.eta;
  const double psisq = std::fabs(1.0 - etasq);
  const double coef = qzms24 * std::pow(tsi, 4);
  const double coef1 = coef / std::pow(psisq, 3.5);
  const double cc2 = coef1 * s.no *
                     (s.ao * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                      0.375 * j2 * tsi / psisq * s.con41 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
  s.cc1 = s.bstar * cc2;
  double cc3 = 0.0;
  if (s.ecco > 1.0e-4) cc3 = -2.0 * coef * tsi * grav.j3oj2 * s.no * s.sinio / s.ecco;
  s.x1mth2 = 1.0 - cosio2;
  s.cc4 = 2.0 * s.no * coef1 * s.ao * omeosq *
          (s.eta * (2.0 + 0.5 * etasq) + s.ecco * (0.5 + 2.0 * etasq) -
           j2 * tsi / (s.ao * psisq) *
               (-3.0 * s.con41 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                0.75 * s.x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * s.argpo)));
  s.cc5 = 2.0 * coef1 * s.ao * omeosq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

  // Secular rates of the mean anomaly, perigee and node.
  const double cosio4 = cosio2 * cosio2;
  const double temp1 = 1.5 * j2 * pinvsq * s.no;
  const double temp2 = 0.5 * temp1 * j2 * pinvsq;
  const double temp3 = -0.46875 * grav.j4 * pinvsq * pinvsq * s.no;
  s.mdot = s.no + 0.5 * temp1 * rteosq * s.con41 +
           0.0625 * temp2 * rteosq * (13.0 - 78.0 * cosio2 + 137.0 * cosio4);
  s.argpdot = -0.5 * temp1 * con42 + 0.0625 * temp2 * (7.0 - 114.0 * cosio2 + 395.0 * cosio4) +
              temp3 * (3.0 - 36.0 * cosio2 + 49.0 * cosio4);
  const double xhdot1 = -temp1 * cosio;
  s.nodedot = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * cosio2) + 2.0 * temp3 * (3.0 - 7.0 * cosio2)) * cosio;
  const double xpidot = s.argpdot + s.nodedot;
  s.omgcof = s.bstar * cc3 * std::cos(s.argpo);
  s.xmcof = 0.0;
  if (s.ecco > 1.0e-4) s.xmcof = -kX2o3 * coef * s.bstar / eeta;
  s.nodecf = 3.5 * omeosq * xhdot1 * s.cc1;
  s.t2cof = 1.5 * s.cc1;
  const double den = std::fabs(cosio + 1.0) > 1.5e-12 ? 1.0 + cosio : 1.5e-12;
  s.xlcof = -0.25 * grav.j3oj2 * s.sinio * (3.0 + 5.0 * cosio) / den;
  s.aycof = -0.5 * grav.j3oj2 * s.sinio;
  const double delmotemp = 1.0 + s.eta * std::cos(s.mo);
  s.delmo = delmotemp * delmotemp * delmotemp;
  s.sinmao = std::sin(s.mo);
  s.x7thm1 = 7.0 * cosio2 - 1.0;

  if (kTwoPi / s.no >= 225.0) {
    s.deepSpace = true;
    s.isimp = true;
    BodyTerms sun{}, moon{};
    deepCommon(s, sun, moon);
    deepInit(s, sun, moon, xpidot);
  }
  if (!s.isimp) {
    const double cc1sq = s.cc1 * s.cc1;
    s.d2 = 4.0 * s.ao * tsi * cc1sq;
    const double temp = s.d2 * tsi * s.cc1 / 3.0;
    s.d3 = (17.0 * s.ao + sfour) * temp;
    s.d4 = 0.5 * temp * s.ao * tsi * (221.0 * s.ao + 31.0 * sfour) * s.cc1;
    s.t3cof = s.d2 + 2.0 * cc1sq;
    s.t4cof = 0.25 * (3.0 * s.d3 + s.cc1 * (12.0 * s.d2 + 10.0 * cc1sq));
    s.t5cof = 0.2 * (3.0 * s.d4 + 12.0 * s.cc1 * s.d3 + 6.0 * s.d2 * s.d2 +
                     15.0 * cc1sq * (2.0 * s.d2 + cc1sq));
  }
  double r[3], v[3];
  s.error = sgp4(s, 0.0, r, v);
  return s.error;
}

int32_t sgp4(const Sgp4Set& s, double t, double r[3], double v[3]) {
  if (s.error != kSgp4Ok) return fail(r, v, s.error);
  if (!std::isfinite(t) || std::fabs(t) > kMaxMinutes) return fail(r, v, kSgp4BadInput);
  const GravConst& g = s.grav;
  const double xke = g.xke;
  const double vkmpersec = g.radiusKm * xke / 60.0;

  // Secular gravity and drag.
  const double xmdf = s.mo + s.mdot * t;
  const double argpdf = s.argpo + s.argpdot * t;
  const double nodedf = s.nodeo + s.nodedot * t;
  const double t2 = t * t;
  Mean m{s.ecco, argpdf, s.inclo, xmdf, nodedf + s.nodecf * t2, s.no};
  double tempa = 1.0 - s.cc1 * t;
  double tempe = s.bstar * s.cc4 * t;
  double templ = s.t2cof * t2;
  if (!s.isimp) {
    const double delomg = s.omgcof * t;
    const double delmtemp = 1.0 + s.eta * std::cos(xmdf);
    const double delm = s.xmcof * (delmtemp * delmtemp * delmtemp - s.delmo);
    const double temp = delomg + delm;
    m.mm = xmdf + temp;
    m.argpm = argpdf - temp;
    const double t3 = t2 * t;
    const double t4 = t3 * t;
    tempa = tempa - s.d2 * t2 - s.d3 * t3 - s.d4 * t4;
    tempe = tempe + s.bstar * s.cc5 * (std::sin(m.mm) - s.sinmao);
    templ = templ + s.t3cof * t3 + t4 * (s.t4cof + t * s.t5cof);
  }
  if (s.deepSpace) deepSecular(s, t, m);
  if (m.nm <= 0.0) return fail(r, v, kSgp4MeanMotion);
  // Without resonance the mean motion stays that of the epoch, whose
  // semi-major axis the set keeps.
  const double am = (m.nm == s.no ? s.ao : std::pow(xke / m.nm, kX2o3)) * tempa * tempa;
  const double nm = xke / (am * std::sqrt(am));
  double em = m.em - tempe;
  if (!(em < 1.0 && em >= -0.001)) return fail(r, v, kSgp4MeanElements);
  if (em < 1.0e-6) em = 1.0e-6;
  m.mm += s.no * templ;
  double xlm = m.mm + m.argpm + m.nodem;
  m.nodem = turnRemainder(m.nodem);
  m.argpm = turnRemainder(m.argpm);
  xlm = turnRemainder(xlm);
  m.mm = turnRemainder(xlm - m.argpm - m.nodem);

  // Lunar-solar periodics.
  Osc o{em, m.inclm, m.nodem, m.argpm, m.mm, {s.sinio, s.cosio}};
  double aycof = s.aycof, xlcof = s.xlcof;
  double con41 = s.con41, x1mth2 = s.x1mth2, x7thm1 = s.x7thm1;
  if (s.deepSpace) {
    // The inclination moves with time here: its sine and cosine come from
    // the periodics.
    deepPeriodics(s, t, o);
    if (o.inclp < 0.0) {
      o.inclp = -o.inclp;
      o.incl.s = -o.incl.s;
      o.nodep += kPi;
      o.argpp -= kPi;
    }
    if (!(o.ep >= 0.0 && o.ep <= 1.0)) return fail(r, v, kSgp4PerturbedEcc);
    const double sinip = o.incl.s, cosip = o.incl.c;
    aycof = -0.5 * g.j3oj2 * sinip;
    const double den = std::fabs(cosip + 1.0) > 1.5e-12 ? 1.0 + cosip : 1.5e-12;
    xlcof = -0.25 * g.j3oj2 * sinip * (3.0 + 5.0 * cosip) / den;
    const double cosisq = cosip * cosip;
    con41 = 3.0 * cosisq - 1.0;
    x1mth2 = 1.0 - cosisq;
    x7thm1 = 7.0 * cosisq - 1.0;
  }

  const double sinip = o.incl.s, cosip = o.incl.c;

  // Long-period periodics.
  const SinCos argpsc = sinCos(o.argpp);
  const double axnl = o.ep * argpsc.c;
  double temp = 1.0 / (am * (1.0 - o.ep * o.ep));
  const double aynl = o.ep * argpsc.s + temp * aycof;
  const double xl = o.mp + o.argpp + o.nodep + temp * xlcof * axnl;

  // Kepler's equation in the nonsingular variables. After the first step the
  // sine and cosine follow from the last ones and the step taken.
  const double u = turnRemainder(xl - o.nodep);
  double eo1 = u, tem5 = 9999.9, sineo1 = 0.0, coseo1 = 0.0;
  SinCos e = sinCos(eo1);
  for (int ktr = 1; std::fabs(tem5) >= 1.0e-12 && ktr <= 10; ++ktr) {
    if (ktr > 1) e = detail::sinCosNear(e, tem5, eo1);
    sineo1 = e.s;
    coseo1 = e.c;
    tem5 = 1.0 - coseo1 * axnl - sineo1 * aynl;
    tem5 = (u - aynl * coseo1 + axnl * sineo1 - eo1) / tem5;
    if (std::fabs(tem5) >= 0.95) tem5 = tem5 > 0.0 ? 0.95 : -0.95;
    eo1 += tem5;
  }

  // Short-period periodics.
  const double ecose = axnl * coseo1 + aynl * sineo1;
  const double esine = axnl * sineo1 - aynl * coseo1;
  const double el2 = axnl * axnl + aynl * aynl;
  const double pl = am * (1.0 - el2);
  if (!(pl >= 0.0)) return fail(r, v, kSgp4SemiLatus);
  const double rl = am * (1.0 - ecose);
  const double rdotl = std::sqrt(am) * esine / rl;
  const double rvdotl = std::sqrt(pl) / rl;
  const double betal = std::sqrt(1.0 - el2);
  temp = esine / (1.0 + betal);
  const double sinu = am / rl * (sineo1 - aynl - axnl * temp);
  const double cosu = am / rl * (coseo1 - axnl + aynl * temp);
  const double sin2u = (cosu + cosu) * sinu;
  const double cos2u = 1.0 - 2.0 * sinu * sinu;
  temp = 1.0 / pl;
  const double temp1 = 0.5 * g.j2 * temp;
  const double temp2 = temp1 * temp;
  const double mrt = rl * (1.0 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
  const double dsu = -0.25 * temp2 * x7thm1 * sin2u;
  const double xnode = o.nodep + 1.5 * temp2 * cosip * sin2u;
  const double dinc = 1.5 * temp2 * cosip * sinip * cos2u;
  const double mvt = rdotl - nm * temp1 * x1mth2 * sin2u / xke;
  const double rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / xke;
  if (mrt < 1.0) return fail(r, v, kSgp4Decayed);

  // Orientation vectors and the state.
  // The argument of latitude and the inclination move by small short-period
  // terms: their sines and cosines follow from those of the unperturbed
  // angles, unless a term is large (a nearly degenerate orbit).
  SinCos lat, inc;
  if (std::fabs(dsu) <= detail::kSmallShift && std::fabs(dinc) <= detail::kSmallShift) {
    const double norm = 1.0 / std::sqrt(sinu * sinu + cosu * cosu);
    lat = detail::shifted({sinu * norm, cosu * norm}, dsu);
    inc = detail::shifted(o.incl, dinc);
  } else {
    lat = sinCos(std::atan2(sinu, cosu) + dsu);
    inc = sinCos(o.inclp + dinc);
  }
  const SinCos nod = sinCos(xnode);
  const double sinsu = lat.s, cossu = lat.c;
  const double snod = nod.s, cnod = nod.c;
  const double sini = inc.s, cosi = inc.c;
  const double xmx = -snod * cosi;
  const double xmy = cnod * cosi;
  const double ux = xmx * sinsu + cnod * cossu;
  const double uy = xmy * sinsu + snod * cossu;
  const double uz = sini * sinsu;
  const double vx = xmx * cossu - cnod * sinsu;
  const double vy = xmy * cossu - snod * sinsu;
  const double vz = sini * cossu;
  r[0] = mrt * ux * g.radiusKm;
  r[1] = mrt * uy * g.radiusKm;
  r[2] = mrt * uz * g.radiusKm;
  v[0] = (mvt * ux + rvdot * vx) * vkmpersec;
  v[1] = (mvt * uy + rvdot * vy) * vkmpersec;
  v[2] = (mvt * uz + rvdot * vz) * vkmpersec;
  for (int i = 0; i < 3; ++i)
    if (!std::isfinite(r[i]) || !std::isfinite(v[i])) return fail(r, v, kSgp4BadInput);
  return kSgp4Ok;
}

}  // namespace vx::orbix
