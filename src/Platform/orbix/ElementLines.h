// Mean elements from the two lines of a set, in the model's units: a small
// reader for the model's tests and benchmarks, which take element sets from
// files without the store. It reads the fixed columns and checks nothing.
#pragma once

#include <charconv>
#include <cmath>
#include <string_view>

#include "Platform/orbix/Sgp4.h"

namespace vx::orbix::lines {

inline double column(std::string_view line, size_t pos, size_t len) {
  if (pos >= line.size()) return 0.0;
  std::string_view f = line.substr(pos, len);
  while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
  if (!f.empty() && f.front() == '+') f.remove_prefix(1);
  double v = 0.0;
  std::from_chars(f.data(), f.data() + f.size(), v);
  return v;
}

// A field with an implied leading point and a power of ten: "-11606-4".
inline double impliedPoint(std::string_view line, size_t pos) {
  const double sign = line[pos] == '-' ? -1.0 : 1.0;
  return sign * column(line, pos + 1, 5) * 1.0e-5 * std::pow(10.0, column(line, pos + 6, 2));
}

inline MeanElements fromLines(std::string_view l1, std::string_view l2) {
  constexpr double kDeg = 3.14159265358979323846 / 180.0;
  constexpr double kRevPerDay = 2.0 * 3.14159265358979323846 / 1440.0;
  MeanElements e;
  const int yy = static_cast<int>(column(l1, 18, 2));
  const int year = yy < 57 ? 2000 + yy : 1900 + yy;
  // Days from 1950 Jan 0.0 to Jan 0.0 of the year, then the day of year.
  e.epochDs50 = 365.0 * (year - 1950) + ((year - 1) / 4 - 487) + column(l1, 20, 12);
  e.ndot = column(l1, 33, 10) * kRevPerDay / 1440.0 * 2.0;
  e.nddot = impliedPoint(l1, 44) * kRevPerDay / (1440.0 * 1440.0) * 6.0;
  e.bstar = impliedPoint(l1, 53);
  e.inclination = column(l2, 8, 8) * kDeg;
  e.node = column(l2, 17, 8) * kDeg;
  e.eccentricity = column(l2, 26, 7) * 1.0e-7;
  e.argPerigee = column(l2, 34, 8) * kDeg;
  e.meanAnomaly = column(l2, 43, 8) * kDeg;
  e.meanMotion = column(l2, 52, 11) * kRevPerDay;
  return e;
}

}  // namespace vx::orbix::lines
