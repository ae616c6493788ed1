#include "Ambit/AmbitTypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vx::ambit {
namespace {

TEST(GeoStr2Idx, NamesCaseAndLength) {
  struct Case {
    std::string text;
    int32_t idx;
    bool valid;
  };
  const Case cases[] = {
      // Every entry of the name table.
      {"2", 2, true}, {"5", 5, true}, {"68", 68, true}, {"72", 72, true}, {"8", 8, true},
      {"84", 84, true}, {"9", 9, true}, {"96", 96, true}, {"EGM-08", 8, true}, {"EGM-96", 96, true},
      {"EGM08", 8, true}, {"EGM96", 96, true}, {"GEM5", 5, true}, {"GEM9", 9, true}, {"JGM-2", 2, true},
      {"JGM2", 2, true}, {"SEM68R", 68, true}, {"WGS-72", 72, true}, {"WGS-84", 84, true},
      {"WGS72", 72, true}, {"WGS84", 84, true},
      // Case does not matter; only the first six characters count.
      {"wgs84", 84, true}, {"wGs-84", 84, true}, {"WGS-84 and more", 84, true}, {"sem68r", 68, true},
      {"8     ", 8, true}, {"EGM-9", 72, false},
      // Unknown names give WGS-72.
      {"WGS", 72, false}, {"08", 72, false}, {"SPECTR", 72, false}, {"", 72, false},
      {"      ", 72, false}, {" WGS84", 72, false}, {"WGS846", 72, false}, {"84x", 72, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(geostr2idx(c.text), c.idx) << '"' << c.text << '"';
    EXPECT_EQ(isvalidgeostr(c.text), c.valid) << '"' << c.text << '"';
  }
}

TEST(GeoIdx, ValidIndexesAndNames) {
  struct Case {
    int32_t idx;
    std::string_view name;
  };
  const Case sets[] = {{2, "JGM2    "},   {5, "GEM5    "},   {8, "EGM-08  "},  {9, "GEM9    "},
                       {68, "SEM68R  "}, {72, "WGS-72  "}, {84, "WGS-84  "}, {96, "EGM-96  "}};
  for (const Case& c : sets) {
    EXPECT_TRUE(isvalidgeoidx(c.idx)) << c.idx;
    EXPECT_EQ(getgeostr(c.idx), c.name);
    // The stored name and the index round-trip through the name table.
    EXPECT_EQ(geostr2idx(getgeostr(c.idx)), c.idx);
    const int slot = geoslot(c.idx);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(std::string_view(geoset(static_cast<size_t>(slot), true).name.data(), 8), c.name);
  }
  for (int32_t bad : {0, 1, 3, 73, 100, -72})
    EXPECT_FALSE(isvalidgeoidx(bad)) << bad;
}

TEST(FkIdx, ValidIndexesAndNames) {
  EXPECT_TRUE(isvalidfkidx(4));
  EXPECT_TRUE(isvalidfkidx(5));
  for (int32_t bad : {0, 3, 6, -4}) EXPECT_FALSE(isvalidfkidx(bad)) << bad;
  EXPECT_EQ(getfkstring(4), "FK4 ");
  for (int32_t other : {5, 0, 6, -4}) EXPECT_EQ(getfkstring(other), "FK5 ") << other;
}

TEST(GeoSets, SphericalCopiesDifferOnlyInFlattening) {
  for (size_t slot = 0; slot < kGeoSetCount; ++slot) {
    const geoconstants& o = geoset(slot, true);
    const geoconstants& s = geoset(slot, false);
    EXPECT_EQ(o.flattening, o.modelflattening);
    EXPECT_EQ(s.flattening, 0.0);
    geoconstants t = s;
    t.flattening = o.flattening;
    EXPECT_EQ(std::memcmp(&t, &o, sizeof t), 0) << "slot " << slot;
  }
}

}  // namespace
}  // namespace vx::ambit
