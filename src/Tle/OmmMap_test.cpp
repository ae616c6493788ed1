// The mapping between OMM values and the element-set record: epochs,
// designators, and the refusals of records that cannot be element sets.
#include "Tle/OmmMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vx::tle::omm {
namespace {

struct EpochCase {
  const char* text;
  bool ok;
  int32_t year;
  double days;
};

TEST(OmmEpoch, ReadsBothFormsToTheMicrosecond) {
  const EpochCase cases[] = {
      {"2026-07-14T21:45:20.933856", true, 2026, 195 + 78320933856.0 / 86400e6},
      {"2007-064T10:34:41.4264", true, 2007, 64 + 38081426400.0 / 86400e6},
      {"2007-064T10:34:41.4264Z", true, 2007, 64 + 38081426400.0 / 86400e6},
      {"2020-02-29T00:00:00", true, 2020, 60},
      {"2020-12-31", true, 2020, 366},
      {"2021-12-31T23:59:59.9999996", true, 2022, 1},  // rounded into the next year
      {"2021-12-31T23:59:59.9999994", true, 2021, 365 + 86399999999.0 / 86400e6},
      {"2021-02-29T00:00:00", false, 0, 0},
      {"2021-366T00:00:00", false, 0, 0},
      {"2021-13-01T00:00:00", false, 0, 0},
      {"2021-01-01T24:00:00", false, 0, 0},
      {"2021-01-01T10:00:00.", false, 0, 0},
      {"2021-01-01T10:00", false, 0, 0},
      {"2021-01-01 10:00:00", false, 0, 0},
      {"21-001T00:00:00", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const auto& c : cases) {
    int32_t y = 0;
    double d = 0;
    EXPECT_EQ(readommepoch(c.text, y, d), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(std::make_pair(y, d), std::make_pair(c.year, c.days)) << c.text;
    }
  }
}

TEST(OmmEpoch, WritesWhatItReads) {
  for (const char* t : {"2026-07-14T21:45:20.933856", "2000-01-01T00:00:00.000000", "2024-12-31T23:59:59.999999",
                        "1957-10-04T19:28:34.000001"}) {
    int32_t y = 0;
    double d = 0;
    ASSERT_TRUE(readommepoch(t, y, d));
    char out[26];
    writeommepoch(y, d, out);
    EXPECT_EQ(std::string(out, 26), t);
  }
  // Day 0 is the last day of the year before; a day past the end is the
  // next year's first.
  char out[26];
  writeommepoch(2021, 0.5, out);
  EXPECT_EQ(std::string(out, 26), "2020-12-31T12:00:00.000000");
  writeommepoch(2021, 366.25, out);
  EXPECT_EQ(std::string(out, 26), "2022-01-01T06:00:00.000000");
}

TEST(OmmDesignator, ShortFormForEveryLaunchYearAndBack) {
  const std::pair<const char*, const char*> cases[] = {
      {"1998-067A", "98067A  "}, {"2026-123ABC", "26123ABC"}, {"1957-001B", "57001B  "},
      {"UNKNOWN", "UNKNOWN "},   {"", "        "},
  };
  for (const auto& [id, name] : cases) {
    ShortName n{};
    ASSERT_TRUE(objectidtoname(id, n)) << id;
    EXPECT_EQ(std::string(n.data(), 8), name);
    char back[12];
    EXPECT_EQ(std::string(back, nametoobjectid(n, back)), id);
  }
  ShortName n{};
  EXPECT_FALSE(objectidtoname("NOT-A-DESIGNATOR", n));
}

OmmText textOf(const std::vector<std::pair<Key, std::string_view>>& values) {
  OmmText t;
  for (const auto& [k, v] : values) t.set(k, v);
  return t;
}

const std::vector<std::pair<Key, std::string_view>> kGood = {
    {Key::NORAD_CAT_ID, "799500001"}, {Key::EPOCH, "2026-07-14T21:45:20.933856"},
    {Key::MEAN_MOTION, "15.5"},       {Key::ECCENTRICITY, ".0001"},
    {Key::INCLINATION, "51.6"},       {Key::RA_OF_ASC_NODE, "10"},
    {Key::ARG_OF_PERICENTER, "20"},   {Key::MEAN_ANOMALY, "30"},
};

TEST(OmmMapping, RefusesWhatCannotBeAnElementSet) {
  struct Case {
    const char* name;
    std::vector<std::pair<Key, std::string_view>> extra;
    Key drop;
    std::string why;
  };
  const Case cases[] = {
      {"no mean motion", {}, Key::MEAN_MOTION, "no MEAN_MOTION"},
      {"semi-major axis", {{Key::SEMI_MAJOR_AXIS, "6800"}}, Key::MEAN_MOTION,
       "SEMI_MAJOR_AXIS in place of MEAN_MOTION (only mean motion is taken)"},
      {"text for number", {{Key::BSTAR, "abc"}}, Key::kCount, "a text where a number belongs in BSTAR: 'abc'"},
      {"nan", {{Key::BSTAR, "nan"}}, Key::kCount, "BSTAR is not a finite number: 'nan'"},
      {"twice", {{Key::EPOCH, "2020-01-01"}}, Key::kCount, "EPOCH given twice"},
      {"no number", {}, Key::NORAD_CAT_ID, "no NORAD_CAT_ID"},
      {"frame", {{Key::REF_FRAME, "GCRF"}}, Key::kCount, "REF_FRAME is not TEME"},
      {"time system", {{Key::TIME_SYSTEM, "TAI"}}, Key::kCount, "TIME_SYSTEM is not UTC"},
      {"class", {{Key::CLASSIFICATION_TYPE, "UU"}}, Key::kCount, "CLASSIFICATION_TYPE is not one character: 'UU'"},
      {"fraction satnum", {{Key::ELEMENT_SET_NO, "1.5"}}, Key::kCount, "not a whole number in ELEMENT_SET_NO: '1.5'"},
  };
  for (const auto& c : cases) {
    auto values = kGood;
    std::erase_if(values, [&](const auto& kv) { return kv.first == c.drop; });
    values.insert(values.end(), c.extra.begin(), c.extra.end());
    Tlerecord rec;
    std::string why;
    EXPECT_FALSE(ommtorecord(textOf(values), rec, why)) << c.name;
    EXPECT_EQ(why, c.why) << c.name;
  }
  Tlerecord rec;
  std::string why;
  auto big = kGood;
  big[0].second = "1000000000";
  EXPECT_FALSE(ommtorecord(textOf(big), rec, why));
  EXPECT_EQ(why, "NORAD_CAT_ID out of range: 1000000000");
}

TEST(OmmMapping, CoefficientSlotsOfEachEphemerisType) {
  struct Case {
    std::string_view type;
    bool withXp;  // BTERM and AGOM given
    double nDotO2, n2DotO6, bStar, aux1, aux2, aux3;
  };
  const Case cases[] = {
      {"0", false, 1e-5, 2e-11, 3e-4, 0, 0, 0},  {"2", true, 1e-5, 2e-11, 3e-4, 0, 0, 0},
      {"4", true, 1e-5, 0, 0, 0.02, 0.01, 0},    {"4", false, 1e-5, 0, 0, 2e-11, 3e-4, 0},
      {"6", false, 1e-5, 0, 0, 3e-4, 1e-5, 2e-11},
  };
  for (const auto& c : cases) {
    auto values = kGood;
    values.insert(values.end(), {{Key::EPHEMERIS_TYPE, c.type},
                                 {Key::MEAN_MOTION_DOT, "1e-5"},
                                 {Key::MEAN_MOTION_DDOT, "2e-11"},
                                 {Key::BSTAR, "3e-4"}});
    if (c.withXp) values.insert(values.end(), {{Key::BTERM, "0.01"}, {Key::AGOM, "0.02"}});
    Tlerecord rec;
    std::string why;
    ASSERT_TRUE(ommtorecord(textOf(values), rec, why)) << why;
    EXPECT_EQ((std::vector<double>{rec.nDotO2, rec.n2DotO6, rec.bStar, rec.auxCoef1, rec.auxCoef2, rec.auxCoef3}),
              (std::vector<double>{c.nDotO2, c.n2DotO6, c.bStar, c.aux1, c.aux2, c.aux3}))
        << c.type << c.withXp;
    // Formatting gives back the texts that read as the same values.
    OmmFormatted f;
    f.format(rec, false, "2026-12-07T00:00:00");
    OmmText again;
    for (size_t k = 0; k < kKeyCount; ++k)
      if (f.values().present[k]) again.set(static_cast<Key>(k), f.values().value[k]);
    Tlerecord back;
    ASSERT_TRUE(ommtorecord(again, back, why)) << why;
    EXPECT_EQ((std::vector<double>{back.nDotO2, back.n2DotO6, back.bStar, back.auxCoef1, back.auxCoef2, back.auxCoef3}),
              (std::vector<double>{c.nDotO2, c.n2DotO6, c.bStar, c.aux1, c.aux2, c.aux3}))
        << c.type << c.withXp;
  }
}

}  // namespace
}  // namespace vx::tle::omm
