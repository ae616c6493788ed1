#include "Platform/orbix/Snapshot.h"

#include <algorithm>
#include <cstring>

namespace vx::orbix {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg2Rad = kPi / 180.0;
constexpr double kMinPerDay = 1440.0;
constexpr double kRevPerDayToRadPerMin = 2.0 * kPi / kMinPerDay;

}  // namespace

MeanElements gpToMeanElements(const double* v) {
  MeanElements e;
  e.epochDs50 = v[0];
  e.meanMotion = v[1] * kRevPerDayToRadPerMin;
  e.eccentricity = v[2];
  e.inclination = v[3] * kDeg2Rad;
  e.node = v[4] * kDeg2Rad;
  e.argPerigee = v[5] * kDeg2Rad;
  e.meanAnomaly = v[6] * kDeg2Rad;
  e.bstar = v[7];
  e.ndot = v[8] * 2.0 * kRevPerDayToRadPerMin / kMinPerDay;
  e.nddot = v[9] * 6.0 * kRevPerDayToRadPerMin / (kMinPerDay * kMinPerDay);
  return e;
}

Snapshot::Snapshot(std::span<const MeanElements> elements, const GravConst& grav, OpsMode mode,
                   std::span<const int64_t> ids, std::span<const int32_t> codes, bool keepScalar)
    : errors_(elements.size()),
      epochs_(elements.size()),
      ids_(ids.begin(), ids.end()),
      batch_(Sgp4Batch::sized(elements.size())) {
  if (keepScalar) sets_.reserve(elements.size());
  for (size_t i = 0; i < elements.size(); ++i) {
    Sgp4Set s{};
    if (!codes.empty() && codes[i] != kSgp4Ok) {
      s.opsMode = mode;
      s.grav = grav;
      s.error = codes[i];
    } else {
      sgp4init(elements[i], grav, mode, s);
    }
    errors_[i] = s.error;
    epochs_[i] = s.epochDs50;
    batch_.put(i, s);
    if (keepScalar) sets_.push_back(s);
  }
}

void Snapshot::propagateScalar(size_t first, size_t count, std::span<const double> times,
                               TimeMode timeMode, Layout layout, double* pos, double* vel,
                               int32_t* errors) const {
  const auto one = [&](const Sgp4Set& s, double t, size_t at) {
    const double tsince = timeMode == TimeMode::ds50 ? (t - s.epochDs50) * kMinPerDay : t;
    errors[at] = sgp4(s, tsince, pos + 3 * at, vel + 3 * at);
  };
  if (layout == Layout::zipped) {
    for (size_t i = 0; i < count; ++i) one(sets_[first + i], times[i], i);
    return;
  }
  const size_t n = times.size();
  for (size_t i = 0; i < count; ++i) {
    const Sgp4Set& s = sets_[first + i];
    for (size_t j = 0; j < n; ++j) one(s, times[j], i * n + j);
  }
}

void Snapshot::propagate(size_t first, size_t count, std::span<const double> times,
                         TimeMode timeMode, Layout layout, double* pos, double* vel,
                         int32_t* errors, Path path) const {
  if (path == Path::scalar && sets_.size() == size()) {
    propagateScalar(first, count, times, timeMode, layout, pos, vel, errors);
    return;
  }
  const bool ds50 = timeMode == TimeMode::ds50;
  // Minutes since each set's epoch of sets [at, at + m) at ds50 time t.
  double tsince[kOuterBlock];
  const auto since = [&](size_t at, size_t m, double t) {
    for (size_t k = 0; k < m; ++k) tsince[k] = (t - epochs_[at + k]) * kMinPerDay;
  };
  if (layout == Layout::zipped) {
    if (!ds50) {
      propagateBatch(batch_, first, count, times.data(), pos, vel, errors);
      return;
    }
    for (size_t b = 0; b < count; b += kOuterBlock) {
      const size_t m = std::min(kOuterBlock, count - b);
      for (size_t k = 0; k < m; ++k) tsince[k] = (times[b + k] - epochs_[first + b + k]) * kMinPerDay;
      propagateBatch(batch_, first + b, m, tsince, pos + 3 * b, vel + 3 * b, errors + b);
    }
    return;
  }
  const size_t n = times.size();
  // Results of one block at one time, before they go to their places in
  // the set-major output; with one time the output is the block's own.
  double bpos[3 * kOuterBlock], bvel[3 * kOuterBlock];
  int32_t berr[kOuterBlock];
  for (size_t b = 0; b < count; b += kOuterBlock) {
    const size_t m = std::min(kOuterBlock, count - b);
    const size_t at = first + b;
    for (size_t j = 0; j < n; ++j) {
      const bool direct = n == 1;
      double* p = direct ? pos + 3 * b : bpos;
      double* v = direct ? vel + 3 * b : bvel;
      int32_t* e = direct ? errors + b : berr;
      if (ds50) {
        since(at, m, times[j]);
        propagateBatch(batch_, at, m, tsince, p, v, e);
      } else {
        propagateBatchAt(batch_, at, m, times[j], p, v, e);
      }
      if (direct) continue;
      for (size_t k = 0; k < m; ++k) {
        const size_t o = (b + k) * n + j;
        std::memcpy(pos + 3 * o, bpos + 3 * k, 3 * sizeof(double));
        std::memcpy(vel + 3 * o, bvel + 3 * k, 3 * sizeof(double));
        errors[o] = berr[k];
      }
    }
  }
}

}  // namespace vx::orbix
