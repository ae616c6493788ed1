// The batch propagation kernel: SGP4 near-Earth sets computed a vector of
// lanes at a time. The arithmetic follows the scalar sgp4 step by step, so
// the two paths agree to rounding; this file is compiled once per SIMD
// target and the best one for the machine is chosen at the first call.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Platform/orbix/Sgp4Batch.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "Platform/orbix/Sgp4Batch.h"

HWY_BEFORE_NAMESPACE();
namespace vx::orbix {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;

// 2 pi as a double, split so that k times the first part is exact for any
// whole-turn count k below 2^26, with or without fused multiply-add; and the
// rest of the true 2 pi beyond that double.
constexpr double kTwoPiA = 6.283185243606567;
constexpr double kTwoPiB = 6.357301884918343e-08;
constexpr double kTwoPiLo = 2.4492935982947064e-16;
constexpr double kInvTwoPi = 0.15915494309189533577;

// x minus the whole turns toward zero, as fmod(x, 2 pi) with 2 pi rounded
// to a double does.
HWY_INLINE V turnRemainder(D d, V x) {
  const V k = hn::Trunc(x * hn::Set(d, kInvTwoPi));
  return (x - k * hn::Set(d, kTwoPiA)) - k * hn::Set(d, kTwoPiB);
}

// x reduced to about [-pi, pi] by the true 2 pi, so the sine and cosine of
// angles that grow with time keep their accuracy.
HWY_INLINE V reduceAngle(D d, V x) {
  const V k = hn::Round(x * hn::Set(d, kInvTwoPi));
  return ((x - k * hn::Set(d, kTwoPiA)) - k * hn::Set(d, kTwoPiB)) - k * hn::Set(d, kTwoPiLo);
}

// Sine and cosine together: the angle less its nearest multiple of pi/2
// (pi/2 in three parts, the first two short enough that their products with
// the multiple are exact), then the Taylor series of both on [-pi/4, pi/4],
// carried to the 15th and 16th power where the next term is below a
// tenth of a unit in the last place.
struct SinCos {
  V s, c;
};

HWY_INLINE SinCos sinCos(D d, V x) {
  const V q = hn::Round(x * hn::Set(d, 0.6366197723675814));
  V r = x - q * hn::Set(d, 1.570796325802803);
  r = r - q * hn::Set(d, 9.920935791635221e-10);
  r = r - q * hn::Set(d, 5.170182981794105e-19);
  const V z = r * r;
  auto poly = [&](std::initializer_list<double> coef) {
    V p = hn::Zero(d);
    for (double k : coef) p = hn::MulAdd(p, z, hn::Set(d, k));
    return p;
  };
  // Coefficients from the highest power down.
  const V ps = poly({-1.0 / 1307674368000.0, 1.0 / 6227020800.0,
                     -1.0 / 39916800.0, 1.0 / 362880.0, -1.0 / 5040.0, 1.0 / 120.0, -1.0 / 6.0});
  const V pc = poly({-1.0 / 20922789888000.0, 1.0 / 87178291200.0,
                     -1.0 / 479001600.0, 1.0 / 3628800.0, -1.0 / 40320.0, 1.0 / 720.0,
                     -1.0 / 24.0});
  const V sr = r + r * z * ps;
  const V cr = hn::Set(d, 1.0) - (hn::Set(d, 0.5) * z + z * z * pc);
  // Quadrant 0..3 of the angle.
  const V quad = q - hn::Set(d, 4.0) * hn::Floor(q * hn::Set(d, 0.25));
  const auto odd = hn::Or(quad == hn::Set(d, 1.0), quad == hn::Set(d, 3.0));
  const auto sinNeg = quad >= hn::Set(d, 2.0);
  const auto cosNeg = hn::Or(quad == hn::Set(d, 1.0), quad == hn::Set(d, 2.0));
  V sv = hn::IfThenElse(odd, cr, sr);
  V cv = hn::IfThenElse(odd, sr, cr);
  sv = hn::IfThenElse(sinNeg, hn::Neg(sv), sv);
  cv = hn::IfThenElse(cosNeg, hn::Neg(cv), cv);
  return {sv, cv};
}

// Sine and cosine of a + delta from those of a, for |delta| up to
// kSmallShift: the series of sin(delta) to the 7th power and of
// cos(delta) - 1 to the 8th then err by less than 1e-17.
constexpr double kSmallShift = 0.05;

HWY_INLINE SinCos shifted(D d, SinCos a, V dl) {
  const V z = dl * dl;
  const V sd = dl * (hn::Set(d, 1.0) -
                     z * (hn::Set(d, 1.0 / 6.0) - z * (hn::Set(d, 1.0 / 120.0) - z * hn::Set(d, 1.0 / 5040.0))));
  const V cm1 = hn::Neg(z) * (hn::Set(d, 0.5) -
                              z * (hn::Set(d, 1.0 / 24.0) -
                                   z * (hn::Set(d, 1.0 / 720.0) - z * hn::Set(d, 1.0 / 40320.0))));
  return {a.s + (a.s * cm1 + a.c * sd), a.c + (a.c * cm1 - a.s * sd)};
}

// atan2 from the arctangent of a ratio in [0, 1], put in its quadrant.
HWY_INLINE V atan2v(D d, V y, V x) {
  const V ax = hn::Abs(x);
  const V ay = hn::Abs(y);
  const auto swap = ay > ax;
  const V num = hn::Min(ax, ay);
  const V den = hn::Max(ax, ay);
  const V q = hn::IfThenZeroElse(den == hn::Zero(d), num / den);
  V a = hn::Atan(d, q);
  a = hn::IfThenElse(swap, hn::Set(d, 1.57079632679489661923) - a, a);
  a = hn::IfThenElse(x < hn::Zero(d), hn::Set(d, 3.14159265358979323846) - a, a);
  return hn::CopySign(a, y);
}

// The first failure wins, as the scalar path returns at its first check.
HWY_INLINE V flag(D d, V err, hn::Mask<D> bad, double code) {
  return hn::IfThenElse(hn::And(bad, err == hn::Zero(d)), hn::Set(d, code), err);
}

// Sine and cosine of a + delta from those of a, for |delta| up to
// kWideShift: the series of sin(delta) to the 13th power and of
// cos(delta) - 1 to the 14th then err by less than 1e-20.
[[maybe_unused]] constexpr double kWideShift = 0.125;

HWY_INLINE SinCos shiftedWide(D d, SinCos a, V dl) {
  const V z = dl * dl;
  auto poly = [&](std::initializer_list<double> coef) {
    V p = hn::Zero(d);
    for (double k : coef) p = hn::MulAdd(p, z, hn::Set(d, k));
    return p;
  };
  const V sd = dl + dl * z * poly({1.0 / 6227020800.0, -1.0 / 39916800.0, 1.0 / 362880.0,
                                   -1.0 / 5040.0, 1.0 / 120.0, -1.0 / 6.0});
  const V cm1 = z * poly({1.0 / 87178291200.0, -1.0 / 479001600.0, 1.0 / 3628800.0,
                          -1.0 / 40320.0, 1.0 / 720.0, -1.0 / 24.0, 0.5}) * hn::Set(d, -1.0);
  return {a.s + (a.s * cm1 + a.c * sd), a.c + (a.c * cm1 - a.s * sd)};
}

struct Lane {
  V x, y, z, vx, vy, vz, err;
};

// A lane's elements after the secular terms (and, for deep-space lanes, the
// lunar-solar periodics): what the periodics and Kepler's equation take.
struct Elements {
  V em, argpm, mm, nodem, inclp, sinip, cosip;
  V am, sqrtam, nmxke;  // semi-major axis, its root, mean motion over xke
  V aycof, xlcof, con41, x1mth2, x7thm1;
  V err;
};

HWY_INLINE Lane finishLanes(D d, const Sgp4Batch& b, size_t i, const Elements& e);

// The end of the secular terms, alike for both kinds of lane: semi-major
// axis and mean motion with drag, the eccentricity (e.em, before drag)
// checked, the angles reduced by whole turns.
HWY_INLINE void secularEnd(D d, const Sgp4Batch& b, size_t i, V tempa, V tempe, V templ, Elements& e) {
  const V one = hn::Set(d, 1.0);
  e.am = hn::LoadU(d, b.field(Sgp4Batch::fAo) + i) * tempa * tempa;
  e.sqrtam = hn::Sqrt(e.am);
  e.nmxke = one / (e.am * e.sqrtam);
  e.em = e.em - tempe;
  e.err = flag(d, e.err, hn::Not(hn::And(e.em < one, e.em >= hn::Set(d, -0.001))), kSgp4MeanElements);
  e.em = hn::IfThenElse(e.em < hn::Set(d, 1.0e-6), hn::Set(d, 1.0e-6), e.em);
  e.mm = e.mm + hn::LoadU(d, b.field(Sgp4Batch::fNo) + i) * templ;
  const V xlm = turnRemainder(d, e.mm + e.argpm + e.nodem);
  e.nodem = turnRemainder(d, e.nodem);
  e.argpm = turnRemainder(d, e.argpm);
  e.mm = turnRemainder(d, xlm - e.argpm - e.nodem);
}

HWY_INLINE Lane propagateLanes(D d, const Sgp4Batch& b, size_t i, V t) {
  auto f = [&](Sgp4Batch::Field k) { return hn::LoadU(d, b.field(k) + i); };
  const V one = hn::Set(d, 1.0);
  V err = hn::Zero(d);
  // NaN compares false: a NaN time is flagged with the far ones.
  err = flag(d, err, hn::Not(hn::Abs(t) <= hn::Set(d, kMaxTsinceMinutes)), kSgp4BadInput);

  // Secular gravity and drag; the simplified-drag lanes carry zero
  // coefficients for the terms they leave out.
  const V xmdf = f(Sgp4Batch::fMo) + f(Sgp4Batch::fMdot) * t;
  const V argpdf = f(Sgp4Batch::fArgpo) + f(Sgp4Batch::fArgpdot) * t;
  const V nodedf = f(Sgp4Batch::fNodeo) + f(Sgp4Batch::fNodedot) * t;
  const V t2 = t * t;
  const V t3 = t2 * t;
  const V t4 = t3 * t;
  V nodem = nodedf + f(Sgp4Batch::fNodecf) * t2;
  const V delomg = f(Sgp4Batch::fOmgcof) * t;
  const V delmtemp = one + f(Sgp4Batch::fEta) * sinCos(d, reduceAngle(d, xmdf)).c;
  const V delm = f(Sgp4Batch::fXmcof) * (delmtemp * delmtemp * delmtemp - f(Sgp4Batch::fDelmo));
  const V dtemp = delomg + delm;
  V mm = xmdf + dtemp;
  V argpm = argpdf - dtemp;
  // Sums in the scalar path's order: at times far from the epoch these
  // terms are large and the order decides the last bits of the angles.
  const V tempa = one - f(Sgp4Batch::fCc1) * t - f(Sgp4Batch::fD2) * t2 - f(Sgp4Batch::fD3) * t3 -
                  f(Sgp4Batch::fD4) * t4;
  const V tempe = f(Sgp4Batch::fBcc4) * t +
                  f(Sgp4Batch::fBcc5) * (sinCos(d, reduceAngle(d, mm)).s - f(Sgp4Batch::fSinmao));
  const V templ = f(Sgp4Batch::fT2cof) * t2 + f(Sgp4Batch::fT3cof) * t3 +
                  t4 * (f(Sgp4Batch::fT4cof) + t * f(Sgp4Batch::fT5cof));

  Elements e{};
  e.em = f(Sgp4Batch::fEcco);
  e.argpm = argpm;
  e.mm = mm;
  e.nodem = nodem;
  e.err = err;
  secularEnd(d, b, i, tempa, tempe, templ, e);
  e.inclp = f(Sgp4Batch::fInclo);
  e.sinip = f(Sgp4Batch::fSinio);
  e.cosip = f(Sgp4Batch::fCosio);
  e.aycof = f(Sgp4Batch::fAycof);
  e.xlcof = f(Sgp4Batch::fXlcof);
  e.con41 = f(Sgp4Batch::fCon41);
  e.x1mth2 = f(Sgp4Batch::fX1mth2);
  e.x7thm1 = f(Sgp4Batch::fX7thm1);
  return finishLanes(d, b, i, e);
}

HWY_INLINE Lane finishLanes(D d, const Sgp4Batch& b, size_t i, const Elements& el) {
  auto f = [&](Sgp4Batch::Field k) { return hn::LoadU(d, b.field(k) + i); };
  const V one = hn::Set(d, 1.0);
  const V inf = hn::Set(d, HUGE_VAL);
  const V em = el.em, argpm = el.argpm, mm = el.mm, nodem = el.nodem;
  const V am = el.am, sqrtam = el.sqrtam, nmxke = el.nmxke;
  V err = el.err;

  // Long-period periodics.
  const SinCos argpsc = sinCos(d, argpm);
  const V axnl = em * argpsc.c;
  V temp = one / (am * (one - em * em));
  const V aynl = em * argpsc.s + temp * el.aycof;
  const V xl = mm + argpm + nodem + temp * el.xlcof * axnl;

  // Kepler's equation: each lane stops where the scalar loop stops, at a
  // step below 1e-12 or after ten steps, each step clamped to 0.95.
  const V u = turnRemainder(d, xl - nodem);
  V eo1 = u, tem5 = hn::Set(d, 9999.9), sineo1 = hn::Zero(d), coseo1 = hn::Zero(d);
  const V tol = hn::Set(d, 1.0e-12), clamp = hn::Set(d, 0.95);
  for (int ktr = 1; ktr <= 10; ++ktr) {
    const auto active = hn::Abs(tem5) >= tol;
    if (hn::AllFalse(d, active)) break;
    const SinCos e = sinCos(d, eo1);
    const V s = e.s, c = e.c;
    V step = one - c * axnl - s * aynl;
    step = (u - aynl * c + axnl * s - eo1) / step;
    step = hn::IfThenElse(hn::Abs(step) >= clamp, hn::CopySign(clamp, step), step);
    sineo1 = hn::IfThenElse(active, s, sineo1);
    coseo1 = hn::IfThenElse(active, c, coseo1);
    tem5 = hn::IfThenElse(active, step, tem5);
    eo1 = hn::IfThenElse(active, eo1 + step, eo1);
  }

  // Short-period periodics.
  const V ecose = axnl * coseo1 + aynl * sineo1;
  const V esine = axnl * sineo1 - aynl * coseo1;
  const V el2 = axnl * axnl + aynl * aynl;
  const V pl = am * (one - el2);
  err = flag(d, err, hn::Not(pl >= hn::Zero(d)), kSgp4SemiLatus);
  const V rl = am * (one - ecose);
  const V rinv = one / rl;
  const V rdotl = sqrtam * esine * rinv;
  const V rvdotl = hn::Sqrt(pl) * rinv;
  const V betal = hn::Sqrt(one - el2);
  temp = esine / (one + betal);
  const V amrl = am * rinv;
  const V sinu = amrl * (sineo1 - aynl - axnl * temp);
  const V cosu = amrl * (coseo1 - axnl + aynl * temp);
  const V sin2u = (cosu + cosu) * sinu;
  const V cos2u = one - hn::Set(d, 2.0) * sinu * sinu;
  temp = one / pl;
  const V temp1 = hn::Set(d, 0.5) * f(Sgp4Batch::fJ2) * temp;
  const V temp2 = temp1 * temp;
  const V con41 = el.con41, x1mth2 = el.x1mth2;
  const V cosip = el.cosip, sinip = el.sinip;
  const V mrt = rl * (one - hn::Set(d, 1.5) * temp2 * betal * con41) +
                hn::Set(d, 0.5) * temp1 * x1mth2 * cos2u;
  const V dsu = hn::Set(d, 0.25) * temp2 * el.x7thm1 * sin2u;
  const V xnode = nodem + hn::Set(d, 1.5) * temp2 * cosip * sin2u;
  const V dinc = hn::Set(d, 1.5) * temp2 * cosip * sinip * cos2u;
  const V mvt = rdotl - nmxke * temp1 * x1mth2 * sin2u;
  const V rvdot = rvdotl + nmxke * temp1 * (x1mth2 * cos2u + hn::Set(d, 1.5) * con41);
  err = flag(d, err, mrt < one, kSgp4Decayed);

  // Orientation: ux.. along the position, wx.. normal to it in the plane.
  // The argument of latitude and the inclination move by small short-period
  // terms: their sines and cosines follow from those of the unperturbed
  // angles, unless a lane's term is large (a nearly degenerate orbit).
  const SinCos nod = sinCos(d, xnode);
  SinCos lat, inc;
  const V big = hn::Set(d, kSmallShift);
  if (hn::AllFalse(d, hn::Or(hn::Abs(dsu) > big, hn::Abs(dinc) > big))) {
    const V norm = one / hn::Sqrt(sinu * sinu + cosu * cosu);
    lat = shifted(d, {sinu * norm, cosu * norm}, hn::Neg(dsu));
    inc = shifted(d, {sinip, cosip}, dinc);
  } else {
    lat = sinCos(d, atan2v(d, sinu, cosu) - dsu);
    inc = sinCos(d, el.inclp + dinc);
  }
  const V mx = hn::Neg(nod.s) * inc.c, my = nod.c * inc.c;
  const V ux = mx * lat.s + nod.c * lat.c, wx = mx * lat.c - nod.c * lat.s;
  const V uy = my * lat.s + nod.s * lat.c, wy = my * lat.c - nod.s * lat.s;
  const V uz = inc.s * lat.s, wz = inc.s * lat.c;
  const V rk = mrt * f(Sgp4Batch::fRadius);
  const V vk = f(Sgp4Batch::fVkms);
  Lane out{rk * ux,
           rk * uy,
           rk * uz,
           (mvt * ux + rvdot * wx) * vk,
           (mvt * uy + rvdot * wy) * vk,
           (mvt * uz + rvdot * wz) * vk,
           err};
  auto finite = hn::And(hn::Abs(out.x) < inf, hn::Abs(out.y) < inf);
  finite = hn::And(finite, hn::And(hn::Abs(out.z) < inf, hn::Abs(out.vx) < inf));
  finite = hn::And(finite, hn::And(hn::Abs(out.vy) < inf, hn::Abs(out.vz) < inf));
  out.err = flag(d, out.err, hn::Not(finite), kSgp4BadInput);
  const auto failed = out.err != hn::Zero(d);
  for (V* c : {&out.x, &out.y, &out.z, &out.vx, &out.vy, &out.vz}) *c = hn::IfThenZeroElse(failed, *c);
  return out;
}

// Deep-space lanes without resonance: the secular terms with the
// lunar-solar rates, then the sun's and the moon's long-period periodics, in
// the scalar path's order.
HWY_INLINE Lane propagateDeepLanes(D d, const Sgp4Batch& b, size_t i, V t) {
  using F = Sgp4Batch;
  auto f = [&](Sgp4Batch::Field k) { return hn::LoadU(d, b.field(k) + i); };
  const V one = hn::Set(d, 1.0);
  const V zero = hn::Zero(d);
  const V pi = hn::Set(d, 3.14159265358979323846);
  const V twoPi = hn::Set(d, 6.283185307179586);
  // NaN compares false: a NaN time is flagged with the far ones.
  V err = flag(d, zero, hn::Not(hn::Abs(t) <= hn::Set(d, kMaxTsinceMinutes)), kSgp4BadInput);

  const V t2 = t * t;
  V mm = f(F::fMo) + f(F::fMdot) * t;
  V argpm = f(F::fArgpo) + f(F::fArgpdot) * t;
  V nodem = (f(F::fNodeo) + f(F::fNodedot) * t) + f(F::fNodecf) * t2;
  const V tempa = one - f(F::fCc1) * t;
  const V tempe = f(F::fBcc4) * t;
  const V templ = f(F::fT2cof) * t2;
  const V inclo = f(F::fInclo);
  const V inclm = inclo + f(F::fDidt) * t;
  Elements sec{};
  sec.em = f(F::fEcco) + f(F::fDedt) * t;
  sec.argpm = argpm + f(F::fDomdt) * t;
  sec.nodem = nodem + f(F::fDnodt) * t;
  sec.mm = mm + f(F::fDmdt) * t;
  sec.err = err;
  secularEnd(d, b, i, tempa, tempe, templ, sec);
  const V em = sec.em;
  mm = sec.mm;
  argpm = sec.argpm;
  nodem = sec.nodem;
  err = sec.err;

  // The sun's and the moon's terms: true anomaly zf = zm + 2 e sin(zm).
  struct Body {
    V f2, f3, sinzf;
  };
  auto body = [&](F::Field zmo, double zn, double ze) {
    const V zm = f(zmo) + hn::Set(d, zn) * t;
    const SinCos zmsc = sinCos(d, reduceAngle(d, zm));
    const SinCos zf = shiftedWide(d, zmsc, hn::Set(d, 2.0 * ze) * zmsc.s);
    return Body{hn::Set(d, 0.5) * zf.s * zf.s - hn::Set(d, 0.25), hn::Set(d, -0.5) * zf.s * zf.c, zf.s};
  };
  const Body sun = body(F::fZmos, 1.19459e-5, 0.01675);
  const Body moon = body(F::fZmol, 1.5835218e-4, 0.05490);
  auto terms2 = [&](const Body& k, F::Field a, F::Field c) { return f(a) * k.f2 + f(c) * k.f3; };
  auto terms3 = [&](const Body& k, F::Field a, F::Field c, F::Field e) {
    return f(a) * k.f2 + f(c) * k.f3 + f(e) * k.sinzf;
  };
  const V pe = terms2(sun, F::fSe2, F::fSe3) + terms2(moon, F::fEe2, F::fE3) - f(F::fPeo);
  const V pinc = terms2(sun, F::fSi2, F::fSi3) + terms2(moon, F::fXi2, F::fXi3) - f(F::fPinco);
  const V pl = terms3(sun, F::fSl2, F::fSl3, F::fSl4) + terms3(moon, F::fXl2, F::fXl3, F::fXl4) - f(F::fPlo);
  const V pgh = terms3(sun, F::fSgh2, F::fSgh3, F::fSgh4) + terms3(moon, F::fXgh2, F::fXgh3, F::fXgh4) -
                f(F::fPgho);
  const V ph = terms2(sun, F::fSh2, F::fSh3) + terms2(moon, F::fXh2, F::fXh3) - f(F::fPho);

  V inclp = inclm + pinc;
  V ep = em + pe;
  const V dincl = inclp - inclo;
  SinCos incl = shifted(d, {f(F::fSinio), f(F::fCosio)}, dincl);
  if (!hn::AllTrue(d, hn::Abs(dincl) <= hn::Set(d, kSmallShift))) {
    const SinCos full = sinCos(d, inclp);
    const auto big = hn::Abs(dincl) > hn::Set(d, kSmallShift);
    incl = {hn::IfThenElse(big, full.s, incl.s), hn::IfThenElse(big, full.c, incl.c)};
  }
  V sinip = incl.s;
  const V cosip = incl.c;

  // Inclination of 0.2 or more: the node and perigee terms directly.
  const V phh = ph / sinip;
  V argpp = argpm + (pgh - cosip * phh);
  V nodep = nodem + phh;
  const V mp = mm + pl;
  const auto low = inclp < hn::Set(d, 0.2);
  if (!hn::AllFalse(d, low)) {
    // Below: through sin(i) sin(node) and sin(i) cos(node).
    const auto afspc = f(F::fAfspc) > zero;
    const SinCos nod = sinCos(d, nodem);
    const V alfdp = sinip * nod.s + (ph * nod.c + pinc * cosip * nod.s);
    const V betdp = sinip * nod.c + (hn::Neg(ph) * nod.s + pinc * cosip * nod.c);
    V xnoh = turnRemainder(d, nodem);
    xnoh = hn::IfThenElse(hn::And(xnoh < zero, afspc), xnoh + twoPi, xnoh);
    const V xls = (mm + argpm + cosip * xnoh) + ((pl + pgh) - pinc * xnoh * sinip);
    V nodel = atan2v(d, alfdp, betdp);
    nodel = hn::IfThenElse(hn::And(nodel < zero, afspc), nodel + twoPi, nodel);
    const V wrap = hn::IfThenElse(nodel < xnoh, twoPi, hn::Neg(twoPi));
    nodel = hn::IfThenElse(hn::Abs(xnoh - nodel) > pi, nodel + wrap, nodel);
    nodep = hn::IfThenElse(low, nodel, nodep);
    argpp = hn::IfThenElse(low, xls - mp - cosip * nodel, argpp);
  }
  const auto neg = inclp < zero;
  inclp = hn::IfThenElse(neg, hn::Neg(inclp), inclp);
  sinip = hn::IfThenElse(neg, hn::Neg(sinip), sinip);
  nodep = hn::IfThenElse(neg, nodep + pi, nodep);
  argpp = hn::IfThenElse(neg, argpp - pi, argpp);
  err = flag(d, err, hn::Not(hn::And(ep >= zero, ep <= one)), kSgp4PerturbedEcc);

  const V j3oj2 = f(F::fJ3oj2);
  const V den = hn::IfThenElse(hn::Abs(cosip + one) > hn::Set(d, 1.5e-12), one + cosip, hn::Set(d, 1.5e-12));
  const V cosisq = cosip * cosip;
  const Elements e{ep, argpp, mp, nodep, inclp, sinip, cosip, sec.am, sec.sqrtam, sec.nmxke,
                   hn::Set(d, -0.5) * j3oj2 * sinip,
                   hn::Set(d, -0.25) * j3oj2 * sinip * (hn::Set(d, 3.0) + hn::Set(d, 5.0) * cosip) / den,
                   hn::Set(d, 3.0) * cosisq - one, one - cosisq, hn::Set(d, 7.0) * cosisq - one, err};
  return finishLanes(d, b, i, e);
}

// Sets first .. first+count-1, set first+j at times[j * tstride]; lanes the
// kernel does not compute are left for the scalar pass.
void propagateNear(const Sgp4Batch& b, size_t first, size_t count, const double* times,
                   size_t tstride, double* pos, double* vel, int32_t* err) {
  const D d;
  const size_t n = hn::Lanes(d);
  HWY_ALIGN double tbuf[HWY_LANES(double)];
  HWY_ALIGN double ebuf[HWY_LANES(double)];
  HWY_ALIGN double pbuf[3 * HWY_LANES(double)];
  HWY_ALIGN double vbuf[3 * HWY_LANES(double)];
  for (size_t j = 0; j < count; j += n) {
    const size_t i = first + j;
    const size_t m = std::min(n, count - j);
    const auto nearLanes = hn::LoadU(d, b.field(Sgp4Batch::fNear) + i) > hn::Zero(d);
    const auto deepLanes = hn::LoadU(d, b.field(Sgp4Batch::fDeep) + i) > hn::Zero(d);
    const bool anyNear = !hn::AllFalse(d, nearLanes), anyDeep = !hn::AllFalse(d, deepLanes);
    if (!anyNear && !anyDeep) continue;
    V t;
    if (tstride == 0) {
      t = hn::Set(d, times[0]);
    } else if (m == n) {
      t = hn::LoadU(d, times + j);
    } else {
      for (size_t k = 0; k < n; ++k) tbuf[k] = k < m ? times[j + k] : 0.0;
      t = hn::Load(d, tbuf);
    }
    Lane s;
    if (!anyDeep) {
      s = propagateLanes(d, b, i, t);
    } else if (!anyNear) {
      s = propagateDeepLanes(d, b, i, t);
    } else {
      const Lane ne = propagateLanes(d, b, i, t);
      const Lane ds = propagateDeepLanes(d, b, i, t);
      s = Lane{hn::IfThenElse(deepLanes, ds.x, ne.x),   hn::IfThenElse(deepLanes, ds.y, ne.y),
               hn::IfThenElse(deepLanes, ds.z, ne.z),   hn::IfThenElse(deepLanes, ds.vx, ne.vx),
               hn::IfThenElse(deepLanes, ds.vy, ne.vy), hn::IfThenElse(deepLanes, ds.vz, ne.vz),
               hn::IfThenElse(deepLanes, ds.err, ne.err)};
    }
    hn::Store(s.err, d, ebuf);
    if (m == n) {
      hn::StoreInterleaved3(s.x, s.y, s.z, d, pos + 3 * j);
      hn::StoreInterleaved3(s.vx, s.vy, s.vz, d, vel + 3 * j);
    } else {
      hn::StoreInterleaved3(s.x, s.y, s.z, d, pbuf);
      hn::StoreInterleaved3(s.vx, s.vy, s.vz, d, vbuf);
      std::memcpy(pos + 3 * j, pbuf, 3 * m * sizeof(double));
      std::memcpy(vel + 3 * j, vbuf, 3 * m * sizeof(double));
    }
    for (size_t k = 0; k < m; ++k) err[j + k] = static_cast<int32_t>(ebuf[k]);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace vx::orbix
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vx::orbix {

HWY_EXPORT(propagateNear);

Sgp4Batch Sgp4Batch::sized(size_t n) {
  Sgp4Batch b;
  b.size = n;
  // One vector of slack past the last set: a range may start anywhere and
  // its last vector still loads whole.
  b.stride = (b.size + kPad - 1) / kPad * kPad + kPad;
  const size_t total = b.stride * kFields;
  b.data.reset(static_cast<double*>(::operator new[](total * sizeof(double), std::align_val_t{kAlign})));
  std::fill_n(b.data.get(), total, 0.0);
  return b;
}

void Sgp4Batch::put(size_t i, const Sgp4Set& s) {
  // Resonant deep-space sets and failed ones go through the scalar model.
  if (s.error != kSgp4Ok || (s.deepSpace && s.irez != 0)) {
    scalarIndex.push_back(i);
    scalarSets.push_back(s);
    return;
  }
  auto set = [this, i](size_t f, double v) { data[f * stride + i] = v; };
  // The terms the simplified drag leaves out are zero for those sets.
  const double full = s.isimp ? 0.0 : 1.0;
  const double vals[] = {
      s.mo, s.mdot, s.argpo, s.argpdot, s.nodeo, s.nodedot, s.nodecf, s.cc1,
      s.bstar * s.cc4, full * s.bstar * s.cc5, s.t2cof, full * s.t3cof, full * s.t4cof,
      full * s.t5cof, full * s.d2, full * s.d3, full * s.d4, full * s.omgcof,
      full * s.xmcof, s.eta, s.delmo, s.sinmao, s.no, s.ao, s.ecco, s.inclo,
      std::sin(s.inclo), std::cos(s.inclo), s.aycof, s.xlcof, s.con41, s.x1mth2,
      s.x7thm1, s.grav.j2, s.grav.radiusKm,
      s.grav.radiusKm * s.grav.xke / 60.0, 1.0};
  static_assert(sizeof(vals) / sizeof(vals[0]) == fNear + 1);
  for (size_t f = 0; f <= fNear; ++f) set(f, vals[f]);
  if (!s.deepSpace) return;
  set(fNear, 0.0);
  const double deep[] = {s.dedt, s.didt, s.domdt, s.dnodt, s.dmdt, s.zmos, s.zmol,
                         s.se2, s.se3, s.si2, s.si3, s.sl2, s.sl3, s.sl4, s.sgh2, s.sgh3,
                         s.sgh4, s.sh2, s.sh3, s.ee2, s.e3, s.xi2, s.xi3, s.xl2, s.xl3,
                         s.xl4, s.xgh2, s.xgh3, s.xgh4, s.xh2, s.xh3, s.peo, s.pinco,
                         s.plo, s.pgho, s.pho, s.grav.j3oj2,
                         s.opsMode == OpsMode::afspc ? 1.0 : 0.0, 1.0};
  static_assert(sizeof(deep) / sizeof(deep[0]) == kFields - fDedt);
  for (size_t f = fDedt; f < kFields; ++f) set(f, deep[f - fDedt]);
}

Sgp4Batch Sgp4Batch::build(std::span<const Sgp4Set> sets) {
  Sgp4Batch b = sized(sets.size());
  for (size_t i = 0; i < sets.size(); ++i) b.put(i, sets[i]);
  return b;
}

namespace {

void propagateRange(const Sgp4Batch& b, size_t first, size_t count, const double* times,
                    size_t tstride, double* pos, double* vel, int32_t* err) {
  if (first >= b.size) return;
  count = std::min(count, b.size - first);
  HWY_DYNAMIC_DISPATCH(propagateNear)(b, first, count, times, tstride, pos, vel, err);
  auto it = std::lower_bound(b.scalarIndex.begin(), b.scalarIndex.end(), first);
  for (; it != b.scalarIndex.end() && *it < first + count; ++it) {
    const size_t j = *it - first;
    const auto k = static_cast<size_t>(it - b.scalarIndex.begin());
    err[j] = sgp4(b.scalarSets[k], times[j * tstride], pos + 3 * j, vel + 3 * j);
  }
}

}  // namespace

void propagateBatch(const Sgp4Batch& b, size_t first, size_t count, const double* tsince,
                    double* pos, double* vel, int32_t* err) {
  propagateRange(b, first, count, tsince, 1, pos, vel, err);
}

void propagateBatchAt(const Sgp4Batch& b, size_t first, size_t count, double tsince,
                      double* pos, double* vel, int32_t* err) {
  propagateRange(b, first, count, &tsince, 0, pos, vel, err);
}

}  // namespace vx::orbix
#endif  // HWY_ONCE
