// SGP4 (near-Earth) and SDP4 (deep-space) propagation of mean elements.
#include "Platform/orbix/Sgp4.h"

#include <cmath>

#include "Ambit/AmbitTypes.h"
#include "Platform/orbix/Sgp4Deep.h"

namespace vx::orbix {
namespace {

using detail::kPi;
using detail::kTwoPi;
using detail::kX2o3;
using detail::Mean;
using detail::Osc;
using detail::SinCos;
using detail::sinCos;
using detail::turnRemainder;

constexpr double kDeg2Rad = kPi / 180.0;
// Farthest time from the epoch, minutes (about 1900 years). The resonance
// integrator steps 720 minutes at a time from the epoch; beyond this it would
// take too long, and far beyond it a step no longer changes the time at all.
constexpr double kMaxMinutes = kMaxTsinceMinutes;

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
    case kSgp4NoSet: return "no element set for this key";
    case kSgp4NotMeanSet: return "not a mean element set of the SGP4 model (ephemeris type 4 or 6)";
    default: return "unknown error";
  }
}

namespace {


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
  s.bstar = el.bstar;
  if (!finite(el)) return s.error = kSgp4BadInput;
  // Angles many turns out (element values no set has, but a host may pass)
  // are brought within a turn exactly, so that the scalar and batch paths
  // reduce the same angles; angles within eight turns are kept as given.
  auto turns = [](double a) { return std::fabs(a) <= 16.0 * kPi ? a : std::fmod(a, kTwoPi); };
  s.inclo = turns(el.inclination);
  s.nodeo = turns(el.node);
  s.argpo = turns(el.argPerigee);
  s.mo = turns(el.meanAnomaly);
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
    detail::deepSpaceInit(s, xpidot);
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
  if (s.deepSpace) detail::deepSecular(s, t, m);
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
    detail::deepPeriodics(s, t, o);
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
