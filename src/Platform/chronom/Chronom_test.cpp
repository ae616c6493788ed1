#include "Services/chronom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Platform/kernix/core/Text.h"
#include "support/LogCapture.h"

namespace vx {
namespace {

constexpr double kHalfMs = 0.5 / 86400000.0;

std::string text15(double ds50) {
  char buf[15];
  ds50todate15(ds50, buf);
  return std::string(buf, 15);
}

TEST(ChronomYears, WideningAndLeapYears) {
  struct Case {
    int32_t in, wide;
    bool leap;
  };
  const Case cases[] = {{0, 2000, true},    {56, 2056, true},    {57, 1957, false},   {99, 1999, false},
                        {18, 2018, false},  {1999, 1999, false}, {1900, 1900, false}, {2000, 2000, true},
                        {2016, 2016, true}, {2018, 2018, false}};
  for (const Case& c : cases) {
    int32_t a = c.in, b = c.in;
    to4digyr(a);
    fixyr(b);
    EXPECT_EQ(a, c.wide) << c.in;
    EXPECT_EQ(b, c.wide) << c.in;
    EXPECT_EQ(hleap(c.in), c.leap) << c.in;
  }
}

TEST(ChronomYears, DayCountsFromCalendar) {
  struct Case {
    int32_t year;
    double day, ds50;
  };
  const Case cases[] = {{1950, 1.0, 1.0},     {1957, 1.0, 2558.0},    {57, 1.0, 2558.0},
                        {2000, 1.0, 18263.0}, {18, 20.5, 24857.5},    {2018, 20.5, 24857.5},
                        {50, 1.0, 36526.0},   {2016, 366.5, 24472.5}, {2149, 365.0, 73049.0}};
  for (const Case& c : cases) EXPECT_EQ(yrdays2ds50(c.year, c.day), c.ds50) << c.year << " " << c.day;
}

TEST(ChronomYears, FyklokInvertsYrdays2ds50) {
  const double days[] = {1.0, 1.5, 100.123456789, 365.25, 365.999999, 366.5};
  for (int32_t year = 1957; year <= 2056; ++year) {
    for (double d : days) {
      if (d >= 366.0 && !hleap(year)) continue;
      const double ds50 = yrdays2ds50(year, d);
      double back = 0;
      int32_t y = 0;
      fyklok(ds50, back, y);
      EXPECT_EQ(y, year) << d;
      EXPECT_NEAR(back, d, 1e-9) << year;
      EXPECT_EQ(yrdays2ds50(y, back), ds50) << year << " " << d;
    }
  }
  double day = 0;
  int32_t year = 0;
  fyklok(std::nextafter(24473.0, 0.0), day, year);  // just before 2017 Jan 1
  EXPECT_EQ(year, 2016);
  EXPECT_LT(day, 367.0);
  EXPECT_GT(day, 366.99);
}

// Each row holds texts of one instant in every form the reader takes.
TEST(ChronomRead, EveryFormGivesTheSameInstant) {
  struct Case {
    double ds50;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {yrdays2ds50(2018, 20.75),
       {"18020180000.000", "18020180000", "18020180000.", "18020180000.000000", "18020.75", "18020.75000000",
        "2018/020.75", "2018/020.75000000", "2018/020 1800 00.000", "2018/020 1800 00", "2018Jan20180000.000",
        "2018JAN20180000", "2018jan20180000.0", "   18020180000.000  ", "  18020.75000000   ",
        "2018/020 1800 00.000   "}},
      {yrdays2ds50(2016, 366.5),
       {"16366120000.000", "16366.5", "2016/366.5", "2016/366 1200 00.000", "2016Dec31120000.000"}},
      {yrdays2ds50(2016, 60.25), {"16060060000.000", "16060.25", "2016/060.25", "2016Feb29060000"}},
      {yrdays2ds50(1999, 1.125), {"99001030000.000", "99001.125", "1999/001.125", "1999Jan01030000.000"}},
      {yrdays2ds50(2056, 365.0), {"56365000000.000", "56365.", "56365", "2056/365", "2056Dec30000000.000"}},
      // A leap second runs into the next day.
      {yrdays2ds50(2018, 21.0), {"18020235960.000", "2018/020 2359 60", "18021000000"}},
  };
  for (const Case& c : cases) {
    for (const std::string& t : c.texts) {
      bool ok = false;
      EXPECT_EQ(dtg2ds50utc(t, &ok), c.ds50) << "'" << t << "'";
      EXPECT_TRUE(ok) << "'" << t << "'";
      EXPECT_EQ(dtgtods50(t), c.ds50) << "'" << t << "'";
    }
  }
}

TEST(ChronomRead, BadTextsAreRejected) {
  // Day 0, day 366 of a common year, hour 24, minute 60, second 61, a digit
  // short, stray characters and blanks, signs, exponents, bad month dates.
  // clang-format off
  const char* bad[] = {"",                    "                 ", "1802",                "18000.5",
                       "18366.5",             "16367.0",           "18020240000.000",     "18020236000.000",
                       "18020235961.000",     "1802022150",        "18020221500.1.2",     "18020221500.1x",
                       "18020 221500",        "18 20.5",           "+8020.5",             "-8020.5",
                       "18020.-5",            "18020.5e1",         "18020,5",             "2018/20.5",
                       "2018/020.5.5",        "2018/020  1800 00", "2018/020 180 000.0",  "2018/020 1800",
                       "2018Foo20180000.000", "2018Feb29120000",   "2018Apr31120000.000", "2018Jan00120000.000",
                       "2018Jan2018000",      "20180120180000.000", "18020.7\t"};
  // clang-format on
  for (const char* t : bad) {
    bool ok = true;
    EXPECT_EQ(dtg2ds50utc(t, &ok), 0.0) << "'" << t << "'";
    EXPECT_FALSE(ok) << "'" << t << "'";
  }
}

TEST(ChronomWrite, RoundsTheWholeTimeToTheMillisecond) {
  struct Case {
    double ds50;
    const char* text;
  };
  const Case cases[] = {
      {yrdays2ds50(2016, 366.0 + 86399.9996 / 86400.0), "17001000000.000"},  // carries into 2017
      {yrdays2ds50(2016, 366.0 + 86399.9994 / 86400.0), "16366235959.999"},
      {yrdays2ds50(1999, 365.0 + 86399.9996 / 86400.0), "00001000000.000"},
      {yrdays2ds50(2018, 20.0 + 3599.9997 / 86400.0), "18020010000.000"},
      {yrdays2ds50(2018, 20.92263222), "18020220835.424"},
      {yrdays2ds50(2018, 1.0), "18001000000.000"},
      {std::numeric_limits<double>::quiet_NaN(), "00000000000.000"},
  };
  for (const Case& c : cases) EXPECT_EQ(text15(c.ds50), c.text) << c.ds50;

  char buf[20];
  date15(yrdays2ds50(2018, 20.5), buf, sizeof buf);
  EXPECT_EQ(std::string(buf, sizeof buf), "18020120000.000     ");
}

TEST(ChronomWrite, RoundTripsThroughTheReader) {
  // An irregular walk over 1957..2056 that lands on all times of day.
  for (double ds50 = 2558.0; ds50 < 36891.0; ds50 += 3.7218374129) {
    const std::string t = text15(ds50);
    bool ok = false;
    const double back = dtg2ds50utc(t, &ok);
    ASSERT_TRUE(ok) << t;
    EXPECT_LE(std::fabs(back - ds50), kHalfMs * 1.01) << t;
    EXPECT_EQ(text15(back), t);
  }
}

TEST(ChronomKey, SameEpochInEveryFormGivesTheSameKey) {
  const int64_t key = createsatkey(25544, 1, {}, yrdays2ds50(18, 20.92263222));
  ASSERT_GT(key, kTreeKeyBase);
  const char* texts[] = {"18020.92263222",    "  18020220835.424",    "18020220835.424     ",
                         "2018/020.92263222", "2018/020 2208 35.424", "2018Jan20220835.424"};
  for (const char* t : texts) EXPECT_EQ(createsatkey(25544, 1, t, -5.0), key) << "'" << t << "'";
}

TEST(ChronomKey, KeysOrderBySatelliteThenTypeThenEpoch) {
  struct Case {
    int32_t sat, type;
    double ds50;
  };
  const Case ascending[] = {{0, 0, 0.0},       {0, 0, 73049.9}, {1, 0, 0.0},     {1, 1, 1.0},
                            {1, 1, 1.0001},    {1, 2, 10.0},    {1, 7, 2.0},     {2, 0, 0.5},
                            {25544, 1, 24857}, {25544, 4, 1.0}, {25545, 1, 1.0}, {999999999, 7, 73049.9999}};
  int64_t previous = -1;
  for (const Case& c : ascending) {
    const int64_t key = createsatkey(c.sat, c.type, {}, c.ds50);
    EXPECT_GE(key, kTreeKeyBase);
    EXPECT_GT(key, previous) << c.sat << " " << c.type << " " << c.ds50;
    previous = key;
  }
  EXPECT_EQ(createsatkey(0, 0, {}, 0.0), kTreeKeyBase);
}

// Each refusal is -1 and one error line naming the reason; the rows sit at
// each bound and one past it.
TEST(ChronomKey, NoKeyWithoutAUsableSatelliteTypeOrEpoch) {
  struct Case {
    int32_t sat, type;
    const char* text;
    double ds50;
    std::string message;  // empty: a key is made
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::string badEpoch = "CreateSatKey: Invalid epoch in days since 1950 = ";
  const std::string years = " (valid=years 1950-2149)";
  const Case cases[] = {
      {-1, 1, "", 1.0, "CreateSatKey: Invalid satellite number = -1 (valid=0-999999999)"},
      {0, 1, "", 1.0, ""},
      {999999999, 1, "", 1.0, ""},
      {1000000000, 1, "", 1.0, "CreateSatKey: Invalid satellite number = 1000000000 (valid=0-999999999)"},
      {1, -1, "", 1.0, "CreateSatKey: Invalid element set type = -1 (valid=0-7)"},
      {1, 0, "", 1.0, ""},
      {1, 7, "", 1.0, ""},
      {1, 8, "", 1.0, "CreateSatKey: Invalid element set type = 8 (valid=0-7)"},
      {1, 1, "", nan, badEpoch + "NaN" + years},
      {1, 1, "", inf, badEpoch + "Infinity" + years},
      {1, 1, "", 0.0, ""},
      {1, 1, "", -0.001, badEpoch + "-1.0000000000000000E-003" + years},
      {1, 1, "", 73049.99995, ""},
      {1, 1, "", 73049.99996, badEpoch + "73049.999960000001" + years},
      {1, 1, "", 73050.0, badEpoch + "73050.000000000000" + years},
      {1, 1, "18020.9226322x", 1.0, "CreateSatKey: Unreadable epoch '18020.9226322x'."},
      {1, 1, "   ", 1.0, "CreateSatKey: Unreadable epoch '   '."},
      {1, 1, "2150/001.5", 1.0, badEpoch + "73050.500000000000" + years},
  };
  for (const Case& c : cases) {
    testing::LogCapture log;
    const int64_t key = createsatkey(c.sat, c.type, c.text, c.ds50);
    SCOPED_TRACE(std::to_string(c.sat) + " " + std::to_string(c.type) + " '" + c.text + "' " + std::to_string(c.ds50));
    if (c.message.empty()) {
      EXPECT_GE(key, kTreeKeyBase);
      EXPECT_EQ(log.errors(), std::vector<std::string>{});
    } else {
      EXPECT_EQ(key, -1);
      EXPECT_EQ(log.errors(), std::vector<std::string>{c.message});
    }
  }
}

// The day of a TLE epoch text counts from January 0.0 like ds50 itself, so
// days the calendar reader refuses (day 0, day 366 of a common year) still
// make the key the same day makes from the fields.
TEST(ChronomKey, EpochTextDaysCountFromJanuaryZero) {
  struct Case {
    const char* text;
    int32_t year;
    double day;
  };
  const Case cases[] = {{"18000.50000000", 18, 0.5},   {"18000.00000000", 18, 0.0}, {"17366.50000000", 17, 366.5},
                        {"00000.00000000", 0, 0.0},    {"2018/000.5", 2018, 0.5},   {"18001.50000000", 18, 1.5}};
  for (const Case& c : cases) {
    EXPECT_EQ(createsatkey(5, 1, c.text, -1.0), createsatkey(5, 1, {}, yrdays2ds50(c.year, c.day))) << c.text;
    EXPECT_GT(createsatkey(5, 1, c.text, -1.0), kTreeKeyBase) << c.text;
  }
  // Noon of day 366 of 2017 is noon of 2018 January 1.
  EXPECT_EQ(createsatkey(5, 1, "17366.50000000", -1.0), createsatkey(5, 1, "18001.50000000", -1.0));
  // The date-time reader keeps to the calendar.
  bool ok = true;
  dtg2ds50utc("18000.5", &ok);
  EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace vx
