// The Earth constant records of ambit and the fixed data compiled into the
// library: eight geopotential sets, the FK4 and FK5 sidereal-time sets, and
// the names that select them.
//
// Every record here is immutable. A geopotential set exists twice, once as
// the model gives it and once with its active flattening at 0, so that
// switching the earth shape means choosing the other record, never writing
// into one that another thread may be reading.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vx::ambit {

// One geopotential constant set, fields in their fixed order.
struct geoconstants {
  double flattening;       // active flattening: modelflattening, or 0 for a spherical Earth
  double modelflattening;  // flattening of the model
  double j2;
  double j3;
  double j4;
  double j5;              // 0 where the model has none
  double ke;              // sqrt(mu / radiuskm^3) per minute, earth radii^1.5 per minute
  double radiuskm;        // equatorial radius, km
  double ck2;             // j2 / 2
  double ck4;             // -3/8 j4
  double velocityscale;   // km/s to earth radii per canonical minute
  double earthratecanon;  // Earth rotation per canonical minute, rad
  double mu;              // gravitational parameter, km^3/s^2
  std::array<char, 8> name;  // blank padded
};

// One sidereal-time constant set. Hosts read it by address as three doubles
// in this order, so its layout is fixed.
struct fkconstants {
  double siderealrate;       // daily advance of the Greenwich angle beyond whole turns, rad/day
  double siderealquad;       // quadratic coefficient, rad/day^2
  double siderealangle1970;  // Greenwich sidereal angle at the 1970 reference epoch, rad
};
static_assert(sizeof(fkconstants) == 3 * sizeof(double), "fkconstants is read by hosts as three doubles");

// Earth rotation rate, rad/min; the same for every set.
inline constexpr double kEarthRotationRate = 0.0043752690880113;

// The sets as the models give them (flattening equal to modelflattening).
extern const geoconstants jgm2;
extern const geoconstants gem5;
extern const geoconstants egm08;
extern const geoconstants gem9;
extern const geoconstants stem68;
extern const geoconstants wgs72;
extern const geoconstants wgs84;
extern const geoconstants egm96;
extern const fkconstants fk4;
extern const fkconstants fk5;

// The eight geopotential sets are kept in slots 0..7, in the order of their
// indexes.
inline constexpr size_t kGeoSetCount = 8;
inline constexpr std::array<int32_t, kGeoSetCount> kGeoIndexes = {2, 5, 8, 9, 68, 72, 84, 96};
inline constexpr size_t kWgs72Slot = 5;

// Slot of a geopotential index, or -1 when no set has that index.
int geoslot(int32_t idx);
// The set of a slot: as the model gives it (oblate) or with flattening 0.
const geoconstants& geoset(size_t slot, bool oblate);

// True for 2, 5, 8, 9, 68, 72, 84 and 96.
bool isvalidgeoidx(int32_t idx);
// True for 4 and 5.
bool isvalidfkidx(int32_t idx);

// The first six characters of text, upper-cased and blank padded, name a
// set of the name table.
bool isvalidgeostr(std::string_view text);
// Index named by the first six characters of text (upper-cased, blank
// padded); 72 when the name table has no such name.
int32_t geostr2idx(std::string_view text);

// The 8-character blank-padded name of a set; WGS-72 for an index that
// names no set.
std::string_view getgeostr(int32_t idx);
// "FK4 " for 4, "FK5 " for anything else.
std::string_view getfkstring(int32_t idx);

}  // namespace vx::ambit
