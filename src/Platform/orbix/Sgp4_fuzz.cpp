// Fuzzes initialisation and propagation with arbitrary element values and
// times: every result is a code 0-7, a failed state is all zeros, no state
// is ever NaN or infinite, the snapshot's scalar path gives exactly what the
// scalar model gives for the same set and time, and its batch path the same
// codes and states within 1e-7 km and 1e-10 km/s (or one part in 1e10 of a
// state far out) for element values in the ranges sets have (states 1e7 km
// or more out by code only).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Platform/orbix/Sgp4.h"
#include "Platform/orbix/Snapshot.h"

namespace {

namespace orb = vx::orbix;

constexpr size_t kMaxTimes = 8;
// Beyond this distance from the Earth's centre (about 26 times the Moon's)
// a state is no orbit worth comparing to the last bits.
constexpr double kFarKm = 1.0e7;

void check(bool ok) {
  if (!ok) std::abort();
}

// Field ranges of the GP element values that initialise without failing in
// most cases; a field outside its range keeps its raw bits instead.
struct Range {
  double lo, hi;
};
constexpr Range kRanges[orb::kGpValueCount] = {
    {-20000.0, 60000.0}, {0.0, 17.0}, {0.0, 1.0}, {0.0, 180.0}, {0.0, 360.0},
    {0.0, 360.0},        {0.0, 360.0}, {-0.1, 0.1}, {-1e-3, 1e-3}, {-1e-6, 1e-6},
};

double take(const uint8_t*& p, const uint8_t* end) {
  uint64_t bits = 0;
  const size_t n = end - p < 8 ? static_cast<size_t>(end - p) : 8;
  std::memcpy(&bits, p, n);
  p += n;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// Raw bits when selected, else a value spread over [lo, hi].
double field(double raw, bool keepRaw, Range r) {
  if (keepRaw) return raw;
  uint64_t bits;
  std::memcpy(&bits, &raw, sizeof bits);
  return r.lo + (r.hi - r.lo) * static_cast<double>(bits >> 11) * 0x1.0p-53;
}

void checkState(int32_t code, const double r[3], const double v[3]) {
  check(code >= 0 && code <= orb::kSgp4BadInput);
  for (int i = 0; i < 3; ++i) {
    check(std::isfinite(r[i]) && std::isfinite(v[i]));
    if (code != 0) check(r[i] == 0.0 && v[i] == 0.0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  const uint16_t rawMask = static_cast<uint16_t>(p[0] | (p[1] << 8));
  const uint8_t flags = p[2];
  p += 3;
  double values[orb::kGpValueCount];
  for (size_t i = 0; i < orb::kGpValueCount; ++i)
    values[i] = field(take(p, end), (rawMask >> i) & 1u, kRanges[i]);
  const bool sane = (rawMask & ((1u << orb::kGpValueCount) - 1)) == 0;
  double times[kMaxTimes];
  size_t nt = 0;
  while (p < end && nt < kMaxTimes) {
    const double t = take(p, end);
    // Times within a few years of the epoch, or raw bits for the low flags.
    times[nt] = (flags >> (nt % 6)) & 1u ? t : field(t, false, {-3.0e6, 3.0e6});
    ++nt;
  }

  const orb::MeanElements el = orb::gpToMeanElements(values);
  const orb::GravConst grav = flags & 0x80u ? orb::GravConst::wgs84() : orb::GravConst::wgs72();
  const orb::OpsMode mode = flags & 0x40u ? orb::OpsMode::afspc : orb::OpsMode::improved;
  orb::Sgp4Set set;
  const int32_t init = orb::sgp4init(el, grav, mode, set);
  check(init >= 0 && init <= orb::kSgp4BadInput && init == set.error);

  const orb::Snapshot snap(std::span<const orb::MeanElements>(&el, 1), grav, mode, {}, {}, true);
  check(snap.initError(0) == init);
  double pos[3 * kMaxTimes], vel[3 * kMaxTimes], bpos[3 * kMaxTimes], bvel[3 * kMaxTimes];
  int32_t errors[kMaxTimes], berrors[kMaxTimes];
  const std::span<const double> ts(times, nt);
  snap.propagate(0, 1, ts, orb::TimeMode::sinceEpoch, orb::Layout::outer, pos, vel, errors, orb::Path::scalar);
  snap.propagate(0, 1, ts, orb::TimeMode::sinceEpoch, orb::Layout::outer, bpos, bvel, berrors);
  for (size_t j = 0; j < nt; ++j) {
    double r[3], v[3];
    const int32_t code = orb::sgp4(set, times[j], r, v);
    checkState(code, r, v);
    if (init != 0) check(code == init);
    check(errors[j] == code);
    check(std::memcmp(r, pos + 3 * j, sizeof r) == 0 && std::memcmp(v, vel + 3 * j, sizeof v) == 0);
    checkState(berrors[j], bpos + 3 * j, bvel + 3 * j);
    // Element values outside every range a set can have (raw bits: a mean
    // motion of 1e-115 rev/day, an inclination of 1e168 rad) and states
    // blown far past any orbit (a drag term no set has, years from the
    // epoch) amplify the last bits of either path: there each path is only
    // checked for itself.
    if (sane) check(berrors[j] == code);
    if (!sane || !(std::fabs(r[0]) + std::fabs(r[1]) + std::fabs(r[2]) < kFarKm)) continue;
    for (int k = 0; k < 3; ++k) {
      check(std::fabs(bpos[3 * j + k] - r[k]) <= 1e-7 + 1e-10 * std::fabs(r[k]));
      check(std::fabs(bvel[3 * j + k] - v[k]) <= 1e-10 + 1e-10 * std::fabs(v[k]));
    }
  }
  return 0;
}
