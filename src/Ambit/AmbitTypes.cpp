#include "Ambit/AmbitTypes.h"

#include <cstring>

#include "Platform/kernix/core/Text.h"

namespace vx::ambit {
namespace {

constexpr std::array<char, 8> name8(std::string_view s) {
  std::array<char, 8> out{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  for (size_t i = 0; i < s.size() && i < out.size(); ++i) out[i] = s[i];
  return out;
}

// The same set with its active flattening at 0 (spherical Earth).
constexpr geoconstants spherical(geoconstants g) {
  g.flattening = 0.0;
  return g;
}

}  // namespace

// The stored values of each model. The derived fields (ke, ck2, ck4,
// velocityscale, earthratecanon) are kept as the models publish them and are
// never recomputed: a fresh computation differs in the last digits for some
// sets. Every literal is the shortest decimal that gives the stored double.
//
//                        flattening             modelflattening        j2                   j3                     j4                     j5                     ke                   radiuskm   ck2                   ck4                    velocityscale        earthratecanon       mu
constexpr geoconstants jgm2{0.0033528106647474805, 0.0033528106647474805, 0.00108262692563881, -2.53230781819177e-06, -1.6204299e-06, 0.0, 0.07436685995417885, 6378.1363, 0.000541313462819405, 6.076612125e-07, 0.12649635463367767, 0.05883358650220168, 398600.4415, name8("JGM2")};
constexpr geoconstants gem5{0.003352835660760088, 0.003352835660760088, 0.001082629, -2.5412e-06, -1.6089e-06, 0.0, 0.0743666129867, 6378.155, 0.0005413145, 6.033375e-07, 0.12649640384753477, 0.05883378188534402, 398601.299998451, name8("GEM5")};
constexpr geoconstants egm08{0.003352819752990295, 0.003352819752990295, 0.00108262617385222, -2.53241051856772e-06, -1.61989759991697e-06, -2.27753590730836e-07, 0.07436685995417885, 6378.1363, 0.00054131308692611, 6.074615999688638e-07, 0.12649635463367764, 0.05883358650220168, 398600.4415, name8("EGM-08")};
constexpr geoconstants gem9{0.003352835660760088, 0.003352835660760088, 0.00108262708, -2.5359e-06, -1.62462e-06, 0.0, 0.0743668137601, 6378.14, 0.00054131354, 6.092325e-07, 0.126496359827421, 0.05883362304757988, 398600.639998969, name8("GEM9")};
constexpr geoconstants stem68{0.003352891869237217, 0.003352891869237217, 0.001082621, -2.627e-06, -1.583e-06, 0.0, 0.0743667785, 6378.145, 0.0005413105, 5.93625e-07, 0.126496320640168, 0.05883365094282389, 398601.199437963, name8("SEM68R")};
constexpr geoconstants wgs72{0.003352779454167505, 0.003352779454167505, 0.001082616, -2.53881e-06, -1.65597e-06, -2.184827e-07, 0.07436691613317341, 6378.135, 0.000541308, 6.209887499999999e-07, 0.1264962848571814, 0.05883354205754931, 398600.8, name8("WGS-72")};
constexpr geoconstants wgs84{0.0033528106647474805, 0.0033528106647474805, 0.00108263, -2.5321531e-06, -1.6109876e-06, -2.3578565e-07, 0.07436685316871385, 6378.137, 0.000541315, 6.0412035e-07, 0.12649635229263637, 0.0588335918703627, 398600.5, name8("WGS-84")};
constexpr geoconstants egm96{0.003352819752990295, 0.003352819752990295, 0.00108262668355315, -2.53265648533224e-06, -1.619621591367e-06, -2.27296082868698e-07, 0.07436685995417885, 6378.1363, 0.00054131334177655, 6.07358096762625e-07, 0.12649635463367767, 0.05883358650220168, 398600.4415, name8("EGM-96")};

//                      siderealrate          siderealquad           siderealangle1970
constexpr fkconstants fk4{0.017202791524949017, 5.06494548928754e-15, 1.73213060363866};
constexpr fkconstants fk5{0.017202791694070362, 5.075514194322695e-15, 1.7321343856509375};

namespace {

// [slot][0] spherical, [slot][1] oblate; slots in the order of kGeoIndexes.
constexpr geoconstants kGeoSets[kGeoSetCount][2] = {
    {spherical(jgm2), jgm2},   {spherical(gem5), gem5},     {spherical(egm08), egm08},
    {spherical(gem9), gem9},   {spherical(stem68), stem68}, {spherical(wgs72), wgs72},
    {spherical(wgs84), wgs84}, {spherical(egm96), egm96},
};
static_assert(kGeoIndexes[kWgs72Slot] == 72);

// Names accepted for a geopotential set: exactly six characters, upper case,
// blank padded.
struct GeoName {
  std::string_view name6;
  int32_t idx;
};
constexpr GeoName kGeoNames[] = {
    {"2     ", 2},  {"5     ", 5},  {"68    ", 68}, {"72    ", 72}, {"8     ", 8},  {"84    ", 84},
    {"9     ", 9},  {"96    ", 96}, {"EGM-08", 8},  {"EGM-96", 96}, {"EGM08 ", 8},  {"EGM96 ", 96},
    {"GEM5  ", 5},  {"GEM9  ", 9},  {"JGM-2 ", 2},  {"JGM2  ", 2},  {"SEM68R", 68}, {"WGS-72", 72},
    {"WGS-84", 84}, {"WGS72 ", 72}, {"WGS84 ", 84},
};
static_assert(std::size(kGeoNames) == 21);

constexpr size_t kGeoNameLen = 6;

// Index of the first six characters of text, upper-cased and blank padded;
// 0 when the name table does not hold them.
int32_t lookupgeoname(std::string_view text) {
  char key[kGeoNameLen];
  std::memset(key, ' ', kGeoNameLen);
  const size_t n = text.size() < kGeoNameLen ? text.size() : kGeoNameLen;
  std::memcpy(key, text.data(), n);
  touppercase(key, kGeoNameLen);
  const std::string_view k(key, kGeoNameLen);
  for (const GeoName& g : kGeoNames)
    if (g.name6 == k) return g.idx;
  return 0;
}

}  // namespace

int geoslot(int32_t idx) {
  for (size_t i = 0; i < kGeoSetCount; ++i)
    if (kGeoIndexes[i] == idx) return static_cast<int>(i);
  return -1;
}

const geoconstants& geoset(size_t slot, bool oblate) { return kGeoSets[slot][oblate ? 1 : 0]; }

bool isvalidgeoidx(int32_t idx) { return geoslot(idx) >= 0; }

bool isvalidfkidx(int32_t idx) { return idx == 4 || idx == 5; }

bool isvalidgeostr(std::string_view text) { return lookupgeoname(text) != 0; }

int32_t geostr2idx(std::string_view text) {
  const int32_t idx = lookupgeoname(text);
  return idx != 0 ? idx : 72;
}

std::string_view getgeostr(int32_t idx) {
  const int slot = geoslot(idx);
  const geoconstants& g = geoset(slot >= 0 ? static_cast<size_t>(slot) : kWgs72Slot, true);
  return {g.name.data(), g.name.size()};
}

std::string_view getfkstring(int32_t idx) { return idx == 4 ? "FK4 " : "FK5 "; }

}  // namespace vx::ambit
