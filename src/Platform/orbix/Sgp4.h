// The SGP4/SDP4 analytic orbit model: initialisation of a mean element set
// and its propagation to a time in minutes from the set's epoch. Positions in
// km, velocities in km/s, in the true-equator mean-equinox frame.
//
// sgp4init computes everything once; sgp4 never changes the set, so one set
// may be shared by any number of threads. The deep-space resonance
// integrator restarts at the epoch on each call and steps the same grid, so
// a result depends only on the set and the time. sgp4init keeps the
// integrator's states on that grid near the epoch, so a call there does not
// step at all.
#pragma once

#include <cstdint>
#include <string_view>

namespace vx::orbix {

// Earth constants of the model. radiusKm in km, mu in km^3/s^2, xke in
// earth radii^1.5 per minute, j2..j4 unitless.
struct GravConst {
  double mu;
  double radiusKm;
  double xke;
  double tumin;  // minutes per canonical time unit, 1 / xke
  double j2;
  double j3;
  double j4;
  double j3oj2;

  static GravConst wgs72();     // the default
  static GravConst wgs72old();  // xke as first published
  static GravConst wgs84();
};

// afspc: as the operational model computes; improved: the revised sidereal
// time and the corrected resonance and lunar-solar choices.
enum class OpsMode { afspc, improved };

// The mean elements of a two-line set, in the units the model takes.
struct MeanElements {
  double epochDs50 = 0.0;     // days since 1950 Jan 0.0 UTC
  double meanMotion = 0.0;    // rad/min, Kozai mean motion
  double eccentricity = 0.0;
  double inclination = 0.0;   // rad
  double node = 0.0;          // right ascension of the ascending node, rad
  double argPerigee = 0.0;    // rad
  double meanAnomaly = 0.0;   // rad
  double bstar = 0.0;         // earth radii^-1
  double ndot = 0.0;          // rad/min^2 (not used by the model, kept for hosts)
  double nddot = 0.0;         // rad/min^3 (not used by the model, kept for hosts)
};

// Failure codes of initialisation and propagation.
enum Sgp4Error : int32_t {
  kSgp4Ok = 0,
  kSgp4MeanElements = 1,    // mean eccentricity >= 1 or < -0.001, or semi-major axis < 0.95 radii
  kSgp4MeanMotion = 2,      // mean motion below zero
  kSgp4PerturbedEcc = 3,    // perturbed eccentricity outside [0, 1]
  kSgp4SemiLatus = 4,       // semi-latus rectum below zero
  kSgp4SubOrbital = 5,      // elements at epoch are sub-orbital
  kSgp4Decayed = 6,         // satellite has decayed (radius below one Earth radius)
  kSgp4BadInput = 7,        // NaN or infinite time or element value, or a time over 1e9 minutes from the epoch
  // Codes a snapshot entry gets from its builder, not from the model.
  kSgp4NoSet = 8,           // the entry's key held no element set when the snapshot was made
  kSgp4NotMeanSet = 9,      // the set is not a mean element set of the model (ephemeris type 4 or 6)
};

// The farthest a time may lie from a set's epoch, in minutes (about 1900
// years); a time farther off gives kSgp4BadInput.
inline constexpr double kMaxTsinceMinutes = 1.0e9;

// A state of the deep-space resonance integrator on its grid of 720-minute
// steps from the epoch: mean longitude and mean motion terms and the rates
// of the mean motion (that of the longitude is xni + xfact).
struct ResonanceState {
  double xli = 0, xni = 0, xndt = 0, xnddt = 0;
};

// Everything the initialisation computes.
struct Sgp4Set {
  int32_t error = kSgp4Ok;
  OpsMode opsMode = OpsMode::afspc;
  GravConst grav{};
  bool isimp = false;     // simplified drag (perigee below 220 km)
  bool deepSpace = false; // period of 225 minutes or more
  double epochDs50 = 0.0;

  // Elements at epoch (Brouwer mean motion).
  double ecco = 0, inclo = 0, nodeo = 0, argpo = 0, mo = 0, no = 0, bstar = 0;
  double ao = 0, con41 = 0, x1mth2 = 0, x7thm1 = 0, cosio = 0, sinio = 0;
  double eta = 0, cc1 = 0, cc4 = 0, cc5 = 0, d2 = 0, d3 = 0, d4 = 0;
  double delmo = 0, mdot = 0, argpdot = 0, nodedot = 0, nodecf = 0, omgcof = 0;
  double sinmao = 0, xmcof = 0, t2cof = 0, t3cof = 0, t4cof = 0, t5cof = 0;
  double aycof = 0, xlcof = 0, gsto = 0;

  // Deep space: lunar-solar secular and long-period terms.
  double e3 = 0, ee2 = 0, peo = 0, pgho = 0, pho = 0, pinco = 0, plo = 0;
  double se2 = 0, se3 = 0, sgh2 = 0, sgh3 = 0, sgh4 = 0, sh2 = 0, sh3 = 0;
  double si2 = 0, si3 = 0, sl2 = 0, sl3 = 0, sl4 = 0;
  double xgh2 = 0, xgh3 = 0, xgh4 = 0, xh2 = 0, xh3 = 0, xi2 = 0, xi3 = 0;
  double xl2 = 0, xl3 = 0, xl4 = 0, zmol = 0, zmos = 0;
  double dedt = 0, didt = 0, dmdt = 0, dnodt = 0, domdt = 0;

  // Deep space: resonance (irez 1 one-day, 2 half-day).
  int32_t irez = 0;
  double d2201 = 0, d2211 = 0, d3210 = 0, d3222 = 0, d4410 = 0, d4422 = 0;
  double d5220 = 0, d5232 = 0, d5421 = 0, d5433 = 0;
  double del1 = 0, del2 = 0, del3 = 0, xfact = 0, xlamo = 0, xli = 0, xni = 0;
  double atime = 0;
  // The integrator's states at epoch + k * 720 minutes for |k| up to
  // kResonanceSteps (at index k + kResonanceSteps), exactly as stepping from
  // the epoch reaches them; a propagation starts from the last of them on its
  // way to the time. Zero for a set without resonance.
  static constexpr int kResonanceSteps = 4;
  ResonanceState resonance[2 * kResonanceSteps + 1]{};
};

// Initialises set from el. Returns 0 or a failure code (also kept in
// set.error); a failed set propagates to that code.
int32_t sgp4init(const MeanElements& el, const GravConst& grav, OpsMode mode, Sgp4Set& set);

// Position r (km) and velocity v (km/s) at tsinceMinutes from the epoch.
// Returns 0 or a failure code; on failure r and v are zero, never NaN.
int32_t sgp4(const Sgp4Set& set, double tsinceMinutes, double r[3], double v[3]);

// One message per code; "unknown error" for any other.
std::string_view sgp4message(int32_t code);

}  // namespace vx::orbix
