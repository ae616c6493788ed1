#include "Ambit/AmbitTypes.h"

#include <gtest/gtest.h>

#include <string>

namespace vx::ambit {
namespace {

TEST(GeoStr2Idx, NamesCaseAndLength) {
  struct Case {
    std::string text;
    int32_t idx;  // 0: not a name, geostr2idx gives 72
  };
  const Case cases[] = {
      // The whole name table.
      {"2", 2}, {"5", 5}, {"68", 68}, {"72", 72}, {"8", 8}, {"84", 84}, {"9", 9}, {"96", 96},
      {"EGM-08", 8}, {"EGM-96", 96}, {"EGM08", 8}, {"EGM96", 96}, {"GEM5", 5}, {"GEM9", 9},
      {"JGM-2", 2}, {"JGM2", 2}, {"SEM68R", 68}, {"WGS-72", 72}, {"WGS-84", 84}, {"WGS72", 72}, {"WGS84", 84},
      // Any case; only the first six characters count.
      {"wgs84", 84}, {"wGs-84", 84}, {"WGS-84 and more", 84}, {"sem68r", 68}, {"8     ", 8},
      // Not names.
      {"WGS", 0}, {"08", 0}, {"SPECTR", 0}, {"", 0}, {"      ", 0}, {" WGS84", 0}, {"WGS846", 0}, {"EGM-9", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(geostr2idx(c.text), c.idx != 0 ? c.idx : 72) << '"' << c.text << '"';
    EXPECT_EQ(isvalidgeostr(c.text), c.idx != 0) << '"' << c.text << '"';
  }
}

TEST(SetIndexes, ValidityAndNames) {
  const std::pair<int32_t, std::string_view> sets[] = {{2, "JGM2    "},   {5, "GEM5    "},   {8, "EGM-08  "},
                                                       {9, "GEM9    "},   {68, "SEM68R  "}, {72, "WGS-72  "},
                                                       {84, "WGS-84  "}, {96, "EGM-96  "}};
  for (const auto& [idx, name] : sets) {
    EXPECT_TRUE(isvalidgeoidx(idx)) << idx;
    EXPECT_EQ(getgeostr(idx), name);
    EXPECT_EQ(geostr2idx(name), idx) << "the saved name reads back";
  }
  for (int32_t bad : {0, 1, 3, 73, 100, -72}) EXPECT_FALSE(isvalidgeoidx(bad)) << bad;

  EXPECT_TRUE(isvalidfkidx(4));
  EXPECT_TRUE(isvalidfkidx(5));
  for (int32_t bad : {0, 3, 6}) EXPECT_FALSE(isvalidfkidx(bad)) << bad;
  EXPECT_EQ(getfkstring(4), "FK4 ");
  for (int32_t other : {5, 0, 6}) EXPECT_EQ(getfkstring(other), "FK5 ") << other;
}

}  // namespace
}  // namespace vx::ambit
