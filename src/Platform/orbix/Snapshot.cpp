#include "Platform/orbix/Snapshot.h"

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

Snapshot::Snapshot(std::span<const MeanElements> elements, const GravConst& grav, OpsMode mode)
    : sets_(elements.size()) {
  for (size_t i = 0; i < elements.size(); ++i) sgp4init(elements[i], grav, mode, sets_[i]);
}

void Snapshot::propagate(size_t first, size_t count, std::span<const double> times,
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

}  // namespace vx::orbix
