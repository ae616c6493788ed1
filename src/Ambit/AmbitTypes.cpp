#include "Ambit/AmbitTypes.h"

#include <cstring>

#include "Platform/kernix/core/Text.h"

namespace vx::ambit {
namespace {

// The same set with its active flattening at 0 (spherical Earth).
constexpr geoconstants spherical(geoconstants g) {
  g.flattening = 0.0;
  return g;
}

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
