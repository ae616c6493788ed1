// Deep-space terms of the orbit model: lunar-solar coefficients and rates
// at epoch, the resonance coefficients and the integrator's states on its
// grid, and their values at a time.
#include "Platform/orbix/Sgp4Deep.h"

#include <cmath>

namespace vx::orbix::detail {
namespace {

// Lunar-solar constants.
constexpr double kZes = 0.01675;
constexpr double kZel = 0.05490;
constexpr double kZns = 1.19459e-5;
constexpr double kZnl = 1.5835218e-4;

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

void deepSpaceInit(Sgp4Set& s, double xpidot) {
  BodyTerms sun{}, moon{};
  deepCommon(s, sun, moon);
  deepInit(s, sun, moon, xpidot);
  if (s.irez != 0) resonanceGrid(s);
}

// Lunar-solar long-period periodics at t minutes, added to the elements.
void deepPeriodics(const Sgp4Set& s, double t, Osc& o) {
  // The sun's and the moon's true anomalies: zf = zm + 2 e sin(zm), a shift
  // of at most 2 e from zm, so their sines and cosines follow from zm's.
  static_assert(2.0 * kZel <= kWideShift);
  double zm = s.zmos + kZns * t;
  SinCos zmsc = sinCos(zm);
  SinCos zfsc = shiftedWide(zmsc, 2.0 * kZes * zmsc.s);
  double sinzf = zfsc.s;
  double f2 = 0.5 * sinzf * sinzf - 0.25;
  double f3 = -0.5 * sinzf * zfsc.c;
  const double ses = s.se2 * f2 + s.se3 * f3;
  const double sis = s.si2 * f2 + s.si3 * f3;
  const double sls = s.sl2 * f2 + s.sl3 * f3 + s.sl4 * sinzf;
  const double sghs = s.sgh2 * f2 + s.sgh3 * f3 + s.sgh4 * sinzf;
  const double shs = s.sh2 * f2 + s.sh3 * f3;
  zm = s.zmol + kZnl * t;
  zmsc = sinCos(zm);
  zfsc = shiftedWide(zmsc, 2.0 * kZel * zmsc.s);
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
  // The inclination drifts slowly from its value at epoch.
  o.incl = sinCosNear({s.sinio, s.cosio}, o.inclp - s.inclo, o.inclp);
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


namespace {

constexpr double kStep = 720.0;       // integrator step, minutes
constexpr double kHalfStep2 = 259200.0;  // half its square

// The resonance rates at the integrator's state (xli, xni) at atime minutes.
ResonanceState resonanceAt(const Sgp4Set& s, double xli, double xni, double atime) {
  const double fasx2 = 0.13130908, fasx4 = 2.8843198, fasx6 = 0.37448087;
  const double g22 = 5.7686396, g32 = 0.95240898, g44 = 1.8014998, g52 = 1.0508330, g54 = 4.4108898;
  ResonanceState r;
  r.xli = xli;
  r.xni = xni;
  const double xldot = xni + s.xfact;
  if (s.irez != 2) {
    r.xndt = s.del1 * std::sin(xli - fasx2) + s.del2 * std::sin(2.0 * (xli - fasx4)) +
             s.del3 * std::sin(3.0 * (xli - fasx6));
    r.xnddt = s.del1 * std::cos(xli - fasx2) + 2.0 * s.del2 * std::cos(2.0 * (xli - fasx4)) +
              3.0 * s.del3 * std::cos(3.0 * (xli - fasx6));
  } else {
    const double xomi = s.argpo + s.argpdot * atime;
    const double x2omi = xomi + xomi;
    const double x2li = xli + xli;
    r.xndt = s.d2201 * std::sin(x2omi + xli - g22) + s.d2211 * std::sin(xli - g22) +
             s.d3210 * std::sin(xomi + xli - g32) + s.d3222 * std::sin(-xomi + xli - g32) +
             s.d4410 * std::sin(x2omi + x2li - g44) + s.d4422 * std::sin(x2li - g44) +
             s.d5220 * std::sin(xomi + xli - g52) + s.d5232 * std::sin(-xomi + xli - g52) +
             s.d5421 * std::sin(xomi + x2li - g54) + s.d5433 * std::sin(-xomi + x2li - g54);
    r.xnddt = s.d2201 * std::cos(x2omi + xli - g22) + s.d2211 * std::cos(xli - g22) +
              s.d3210 * std::cos(xomi + xli - g32) + s.d3222 * std::cos(-xomi + xli - g32) +
              s.d5220 * std::cos(xomi + xli - g52) + s.d5232 * std::cos(-xomi + xli - g52) +
              2.0 * (s.d4410 * std::cos(x2omi + x2li - g44) + s.d4422 * std::cos(x2li - g44) +
                     s.d5421 * std::cos(xomi + x2li - g54) + s.d5433 * std::cos(-xomi + x2li - g54));
  }
  r.xnddt *= xldot;
  return r;
}

// One integrator step of delt minutes from a, arriving at atime.
ResonanceState resonanceStep(const Sgp4Set& s, const ResonanceState& a, double delt, double atime) {
  const double xli = a.xli + ((a.xni + s.xfact) * delt + a.xndt * kHalfStep2);
  const double xni = a.xni + (a.xndt * delt + a.xnddt * kHalfStep2);
  return resonanceAt(s, xli, xni, atime);
}

}  // namespace

void resonanceGrid(Sgp4Set& s) {
  constexpr int k = Sgp4Set::kResonanceSteps;
  s.resonance[k] = resonanceAt(s, s.xlamo, s.no, 0.0);
  for (int i = 1; i <= k; ++i) {
    const double atime = kStep * i;
    s.resonance[k + i] = resonanceStep(s, s.resonance[k + i - 1], kStep, atime);
    s.resonance[k - i] = resonanceStep(s, s.resonance[k - i + 1], -kStep, -atime);
  }
}

// Lunar-solar secular rates and the resonance integration to t minutes. The
// integrator steps from the epoch toward t on a fixed grid; the states on
// the grid near the epoch are kept in the set, so only the steps beyond
// them are computed.
void deepSecular(const Sgp4Set& s, double t, Mean& m) {
  m.em += s.dedt * t;
  m.inclm += s.didt * t;
  m.argpm += s.domdt * t;
  m.nodem += s.dnodt * t;
  m.mm += s.dmdt * t;
  if (s.irez == 0) return;
  const double theta = turnRemainder(s.gsto + t * kRptim);

  constexpr int kGrid = Sgp4Set::kResonanceSteps;
  const double delt = t > 0.0 ? kStep : -kStep;
  const int dir = t > 0.0 ? 1 : -1;
  int k = 0;
  double atime = 0.0;
  ResonanceState st = s.resonance[kGrid];
  while (!(std::fabs(t - atime) < kStep)) {
    atime += delt;
    k += dir;
    st = k >= -kGrid && k <= kGrid ? s.resonance[k + kGrid] : resonanceStep(s, st, delt, atime);
  }
  const double ft = t - atime;
  m.nm = st.xni + st.xndt * ft + st.xnddt * ft * ft * 0.5;
  const double xl = st.xli + (st.xni + s.xfact) * ft + st.xndt * ft * ft * 0.5;
  if (s.irez != 1)
    m.mm = xl - 2.0 * m.nodem + 2.0 * theta;
  else
    m.mm = xl - m.nodem - m.argpm + theta;
}

}  // namespace vx::orbix::detail
