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

namespace detail {
// An 8-character blank-padded name.
constexpr std::array<char, 8> name8(std::string_view s) {
  std::array<char, 8> out{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  for (size_t i = 0; i < s.size() && i < out.size(); ++i) out[i] = s[i];
  return out;
}
}  // namespace detail

// The sets as the models give them (flattening equal to modelflattening).
// They are defined in this header so that every library computing with them
// (the orbit model of orbix too) takes the very same numbers without linking
// ambit. The derived fields (ke, ck2, ck4, velocityscale, earthratecanon) are
// kept as the models publish them and are never recomputed: a fresh
// computation differs in the last digits for some sets. Every literal is the shortest decimal that gives the stored double.
//
//                        flattening             modelflattening        j2                   j3                     j4                     j5                     ke                   radiuskm   ck2                   ck4                    velocityscale        earthratecanon       mu
inline constexpr geoconstants jgm2{0.0033528106647474805, 0.0033528106647474805, 0.00108262692563881, -2.53230781819177e-06, -1.6204299e-06, 0.0, 0.07436685995417885, 6378.1363, 0.000541313462819405, 6.076612125e-07, 0.12649635463367767, 0.05883358650220168, 398600.4415, detail::name8("JGM2")};
inline constexpr geoconstants gem5{0.003352835660760088, 0.003352835660760088, 0.001082629, -2.5412e-06, -1.6089e-06, 0.0, 0.0743666129867, 6378.155, 0.0005413145, 6.033375e-07, 0.12649640384753477, 0.05883378188534402, 398601.299998451, detail::name8("GEM5")};
inline constexpr geoconstants egm08{0.003352819752990295, 0.003352819752990295, 0.00108262617385222, -2.53241051856772e-06, -1.61989759991697e-06, -2.27753590730836e-07, 0.07436685995417885, 6378.1363, 0.00054131308692611, 6.074615999688638e-07, 0.12649635463367764, 0.05883358650220168, 398600.4415, detail::name8("EGM-08")};
inline constexpr geoconstants gem9{0.003352835660760088, 0.003352835660760088, 0.00108262708, -2.5359e-06, -1.62462e-06, 0.0, 0.0743668137601, 6378.14, 0.00054131354, 6.092325e-07, 0.126496359827421, 0.05883362304757988, 398600.639998969, detail::name8("GEM9")};
inline constexpr geoconstants stem68{0.003352891869237217, 0.003352891869237217, 0.001082621, -2.627e-06, -1.583e-06, 0.0, 0.0743667785, 6378.145, 0.0005413105, 5.93625e-07, 0.126496320640168, 0.05883365094282389, 398601.199437963, detail::name8("SEM68R")};
inline constexpr geoconstants wgs72{0.003352779454167505, 0.003352779454167505, 0.001082616, -2.53881e-06, -1.65597e-06, -2.184827e-07, 0.07436691613317341, 6378.135, 0.000541308, 6.209887499999999e-07, 0.1264962848571814, 0.05883354205754931, 398600.8, detail::name8("WGS-72")};
inline constexpr geoconstants wgs84{0.0033528106647474805, 0.0033528106647474805, 0.00108263, -2.5321531e-06, -1.6109876e-06, -2.3578565e-07, 0.07436685316871385, 6378.137, 0.000541315, 6.0412035e-07, 0.12649635229263637, 0.0588335918703627, 398600.5, detail::name8("WGS-84")};
inline constexpr geoconstants egm96{0.003352819752990295, 0.003352819752990295, 0.00108262668355315, -2.53265648533224e-06, -1.619621591367e-06, -2.27296082868698e-07, 0.07436685995417885, 6378.1363, 0.00054131334177655, 6.07358096762625e-07, 0.12649635463367767, 0.05883358650220168, 398600.4415, detail::name8("EGM-96")};

//                      siderealrate          siderealquad           siderealangle1970
inline constexpr fkconstants fk4{0.017202791524949017, 5.06494548928754e-15, 1.73213060363866};
inline constexpr fkconstants fk5{0.017202791694070362, 5.075514194322695e-15, 1.7321343856509375};

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
