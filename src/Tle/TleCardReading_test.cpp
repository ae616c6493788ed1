#include "Tle/TleCardReading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "Tle/TleCsv.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"
#include "support/DecimalText.h"
#include "support/LogCapture.h"
#include "veltrix/tle.h"

namespace vx::tle {
namespace {

using vx::testing::LogCapture;

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";

std::string pad(std::string s, size_t n = kLineLen) {
  s.resize(n, ' ');
  return s;
}

std::string withCol(std::string line, int col, char c) {
  line.replace(static_cast<size_t>(col - 1), 1, 1, c);
  return line;
}

struct Pair {
  std::string name, l1, l2;
};

std::vector<Pair> loadCatalog() {
  std::ifstream in(std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle");
  std::vector<std::string> lines;
  for (std::string s; std::getline(in, s);) lines.push_back(s);
  std::vector<Pair> out;
  for (size_t i = 0; i + 1 < lines.size(); ++i)
    if (lines[i].rfind("1 ", 0) == 0 && lines[i + 1].rfind("2 ", 0) == 0) {
      out.push_back({i > 0 ? lines[i - 1] : "", lines[i], lines[i + 1]});
      ++i;
    }
  return out;
}

// Columns where written and input differ, except where the writer's form
// differs from the input's by design: a fixed-point number that the input
// pads with leading zeros (" 82.5471" for "082.5471"), the element set and
// revolution numbers, which the writer fills with zeros ("0999" for " 999"),
// and a zero exponent, written " 0" for "-0" or "+0".
std::vector<int> unexpectedDiffs(const std::string& in, std::string_view out, bool line1,
                                 bool* leadingZero = nullptr) {
  std::vector<int> cols;
  const int zeroFilledFrom = line1 ? 65 : 64;
  for (int c = 1; c <= 68; ++c) {
    const char a = in[static_cast<size_t>(c - 1)], b = out[static_cast<size_t>(c - 1)];
    if (a == b) continue;
    if (a == ' ' && b == '0' && c >= zeroFilledFrom) continue;
    if (a == '0' && b == ' ') {
      if (leadingZero) *leadingZero = true;
      continue;
    }
    // An exponent of zero is written " 0", whatever sign the input gave it.
    if (line1 && (c == 51 || c == 60) && (a == '-' || a == '+') && b == ' ' && out[static_cast<size_t>(c)] == '0')
      continue;
    cols.push_back(c);
  }
  return cols;
}

TEST(TleCatalog, EveryPairParsesChecksumsAndWritesBack) {
  const auto pairs = loadCatalog();
  ASSERT_EQ(pairs.size(), 979u);
  int leadingZeroPairs = 0;
  for (const auto& p : pairs) {
    SCOPED_TRACE(p.l1);
    const std::string l1 = pad(p.l1), l2 = pad(p.l2);
    Tlerecord rec;
    ASSERT_EQ(lines2tle(l1, l2, rec), 0);

    int32_t s1 = -1, s2 = -1, err = -1;
    GetCheckSums(l1.c_str(), l2.c_str(), &s1, &s2, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(s1, p.l1[68] - '0');
    EXPECT_EQ(s2, p.l2[68] - '0');

    char o1[kLineLen], o2[kLineLen];
    tle2lines(rec, o1, o2);
    EXPECT_EQ(unexpectedDiffs(p.l1, std::string_view(o1, kLineLen), true), std::vector<int>{});
    bool padded = false;
    EXPECT_EQ(unexpectedDiffs(p.l2, std::string_view(o2, kLineLen), false, &padded), std::vector<int>{});
    EXPECT_TRUE(isblankornull(std::string_view(o1 + 68, kLineLen - 68)));
    if (padded) ++leadingZeroPairs;

    // Lines to CSV and back give the same written lines.
    char csv[kLineLen], b1[kLineLen], b2[kLineLen];
    ASSERT_EQ(lines2csv(l1, l2, csv), 0);
    ASSERT_EQ(csv2lines(std::string_view(csv, kLineLen), 0, b1, b2), 0);
    EXPECT_EQ(std::string_view(b1, kLineLen), std::string_view(o1, kLineLen));
    EXPECT_EQ(std::string_view(b2, kLineLen), std::string_view(o2, kLineLen));
  }
  EXPECT_EQ(leadingZeroPairs, 21);
}

TEST(TleLines, ParsesEveryField) {
  Tlerecord r;
  ASSERT_EQ(lines2tle(pad(kL1), pad(kL2), r), 0);
  EXPECT_EQ(r.satNum, 25544);
  EXPECT_EQ(r.secClass, 'U');
  EXPECT_EQ(r.name(), "98067A  ");
  EXPECT_EQ(r.epochYr, 2018);
  EXPECT_DOUBLE_EQ(r.epochDays, 20.59659722);
  EXPECT_DOUBLE_EQ(r.nDotO2, 0.00001558);
  EXPECT_DOUBLE_EQ(r.n2DotO6, 0.0);
  EXPECT_DOUBLE_EQ(r.bStar, 0.30975e-4);
  EXPECT_EQ(r.ephType, 0);
  EXPECT_EQ(r.elsetNum, 999);
  EXPECT_DOUBLE_EQ(r.incli, 51.6421);
  EXPECT_DOUBLE_EQ(r.raNode, 313.2312);
  EXPECT_DOUBLE_EQ(r.eccen, 0.000337);
  EXPECT_DOUBLE_EQ(r.argPer, 277.6394);
  EXPECT_DOUBLE_EQ(r.mnAnomaly, 199.7473);
  EXPECT_DOUBLE_EQ(r.mnMotion, 15.54148547);
  EXPECT_EQ(r.revNum, 9635);
}

TEST(TleLines, NameIsColumnsTenToSeventeen) {
  const std::string l1 = pad(kL1).replace(9, 8, "ABCDEFGH");
  Tlerecord r;
  ASSERT_EQ(lines2tle(l1, pad(kL2), r), 0);
  EXPECT_EQ(r.name(), "ABCDEFGH");
  // Columns 9 and 18 are not part of it.
  ASSERT_EQ(lines2tle(pad(l1).replace(8, 1, "Z").replace(17, 1, "Z"), pad(kL2), r), 0);
  EXPECT_EQ(r.name(), "ABCDEFGH");
}

TEST(TleLines, CoefficientSlotsFollowEphemerisType) {
  struct Case {
    char type;
    double nDot, n2Dot, bStar, aux1, aux2, aux3;
  };
  const Case cases[] = {
      {'0', 0.00001558, 0.12345e-3, 0.30975e-4, 0, 0, 0},
      {'2', 0.00001558, 0.12345e-3, 0.30975e-4, 0, 0, 0},
      {'4', 0.00001558, 0, 0, 0.12345e-3, 0.30975e-4, 0},
      {'6', 0.00001558, 0, 0, 0.30975e-4, 0.00001558, 0.12345e-3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    std::string l1 = kL1;
    l1.replace(44, 8, " 12345-3");
    l1[62] = c.type;
    Tlerecord r;
    ASSERT_EQ(lines2tle(pad(l1), pad(kL2), r), 0);
    EXPECT_DOUBLE_EQ(r.nDotO2, c.nDot);
    EXPECT_DOUBLE_EQ(r.n2DotO6, c.n2Dot);
    EXPECT_DOUBLE_EQ(r.bStar, c.bStar);
    EXPECT_DOUBLE_EQ(r.auxCoef1, c.aux1);
    EXPECT_DOUBLE_EQ(r.auxCoef2, c.aux2);
    EXPECT_DOUBLE_EQ(r.auxCoef3, c.aux3);
    char o1[kLineLen], o2[kLineLen];
    tle2lines(r, o1, o2);
    EXPECT_EQ(std::string_view(o1 + 33, 28), l1.substr(33, 28));
  }
}

// Each case breaks one column of a good pair and pins the whole message.
TEST(TleLines, BrokenColumnsGiveTheirMessages) {
  struct Case {
    std::string l1, l2;
    std::vector<std::string> errors;
  };
  const std::string p1 = pad(kL1), p2 = pad(kL2);
  const std::string quoted1 = "Lines2Tle: Line1 = '" + p1 + "'.";
  const std::vector<Case> cases = {
      {withCol(p1, 24, ' '), p2,
       {"Lines2Tle: Line1 = '" + withCol(p1, 24, ' ') + "'.", "Lines2Tle: Invalid TLE's first line."}},
      {p1, withCol(p2, 55, ' '),
       {"Lines2Tle: Line2 = '" + withCol(p2, 55, ' ') + "'.", "Lines2Tle: Invalid TLE's second line."}},
      {withCol(p1, 8, 'X'), p2,
       {"Lines2Tle: Line1 = '" + withCol(p1, 8, 'X') + "'.", "Lines2Tle: Unknown TLE's classify level 'X'."}},
      {withCol(p1, 40, 'x'), p2,
       {"Lines2Tle: Line1 = '" + withCol(p1, 40, 'x') + "'.", "Lines2Tle: Cannot read TLE's first line."}},
      {p1, withCol(p2, 30, '?'),
       {"Lines2Tle: Line2 = '" + withCol(p2, 30, '?') + "'.", "Lines2Tle: Cannot read TLE's second line."}},
      {p1, withCol(withCol(p2, 9, '1'), 10, '8'),
       {"ValidateTleValues: Invalid Orbit Inclination = 181.64210000000000 (valid=0-180)"}},
      {withCol(p1, 63, '3'), p2, {"ValidateTleValues: Invalid Ephemeris type = 3 (valid=0, 2, 4, 6)"}},
      {p1, withCol(withCol(p2, 53, '-'), 54, '0'),
       {"ValidateTleValues: Invalid Mean Motion = -0.54148547000000002 (> 0)"}},
  };
  for (const auto& c : cases) {
    LogCapture log;
    Tlerecord r;
    EXPECT_EQ(lines2tle(c.l1, c.l2, r), 2);
    EXPECT_EQ(log.errors(), c.errors);
  }
}

// Every value check at its bound and one past it, with the whole message of
// each refusal. The record starts from the parsed pair with epoch year 18.
TEST(TleLines, ValueChecksAtTheirBounds) {
  using R = Tlerecord&;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double belowZero = std::nextafter(0.0, -1.0);
  struct Case {
    const char* what;
    std::function<void(Tlerecord&)> change;
    std::string message;  // empty: the record passes
  };
  const std::string v = "ValidateTleValues: Invalid ";
  const std::vector<Case> cases = {
      {"satNum -1", [](R r) { r.satNum = -1; }, v + "satellite number = -1 (valid=1-999999999)"},
      {"satNum 0", [](R r) { r.satNum = 0; }, ""},
      {"satNum max", [](R r) { r.satNum = 999999999; }, ""},
      {"satNum max+1", [](R r) { r.satNum = 1000000000; }, v + "satellite number = 1000000000 (valid=1-999999999)"},
      {"year 1955", [](R r) { r.epochYr = 1955; }, v + "Year of Epoch = 1955 (valid=>=1956)"},
      {"year 1956", [](R r) { r.epochYr = 1956; }, ""},
      {"year 57", [](R r) { r.epochYr = 57; }, ""},
      {"day 0", [](R r) { r.epochDays = 0; }, ""},
      {"day below 0", [=](R r) { r.epochDays = belowZero; },
       v + "Day of Epoch = -4.9406564584124654E-324 (valid=0-365)"},
      {"day below 366", [](R r) { r.epochDays = std::nextafter(366.0, 0.0); }, ""},
      {"day 366", [](R r) { r.epochDays = 366; }, v + "Day of Epoch = 366.00000000000000 (valid=0-365)"},
      {"leap day below 367", [](R r) { r.epochYr = 16, r.epochDays = std::nextafter(367.0, 0.0); }, ""},
      {"leap day 367", [](R r) { r.epochYr = 16, r.epochDays = 367; },
       v + "Day of Epoch = 367.00000000000000 (valid=0-366)"},
      {"day NaN", [=](R r) { r.epochDays = nan; }, v + "Day of Epoch = NaN (valid=0-365)"},
      {"type 1", [](R r) { r.ephType = 1; }, v + "Ephemeris type = 1 (valid=0, 2, 4, 6)"},
      {"type 2", [](R r) { r.ephType = 2; }, ""},
      {"type 4", [](R r) { r.ephType = 4; }, ""},
      {"type 6", [](R r) { r.ephType = 6; }, ""},
      {"type 7", [](R r) { r.ephType = 7; }, v + "Ephemeris type = 7 (valid=0, 2, 4, 6)"},
      {"type -1", [](R r) { r.ephType = -1; }, v + "Ephemeris type = -1 (valid=0, 2, 4, 6)"},
      {"elset -1", [](R r) { r.elsetNum = -1; }, v + "Element Set Number = -1 (valid=0-9999)"},
      {"elset 0", [](R r) { r.elsetNum = 0; }, ""},
      {"elset 9999", [](R r) { r.elsetNum = 9999; }, ""},
      {"elset 10000", [](R r) { r.elsetNum = 10000; }, v + "Element Set Number = 10000 (valid=0-9999)"},
      {"incli below 0", [=](R r) { r.incli = belowZero; },
       v + "Orbit Inclination = -4.9406564584124654E-324 (valid=0-180)"},
      {"incli 0", [](R r) { r.incli = 0; }, ""},
      {"incli 180", [](R r) { r.incli = 180; }, ""},
      {"incli above 180", [](R r) { r.incli = std::nextafter(180.0, 181.0); },
       v + "Orbit Inclination = 180.00000000000003 (valid=0-180)"},
      {"eccen below 0", [=](R r) { r.eccen = belowZero; },
       v + "Eccentricity = -4.9406564584124654E-324 (valid=0-1)"},
      {"eccen 0", [](R r) { r.eccen = 0; }, ""},
      {"eccen below 1", [](R r) { r.eccen = std::nextafter(1.0, 0.0); }, ""},
      {"eccen 1", [](R r) { r.eccen = 1; }, v + "Eccentricity = 1.0000000000000000 (valid=0-1)"},
      {"mnMotion 0", [](R r) { r.mnMotion = 0; }, v + "Mean Motion = 0.0000000000000000 (> 0)"},
      {"mnMotion above 0", [](R r) { r.mnMotion = std::nextafter(0.0, 1.0); }, ""},
      {"mnMotion infinite", [=](R r) { r.mnMotion = inf; }, v + "Mean Motion = Infinity (> 0)"},
      {"revNum -1", [](R r) { r.revNum = -1; }, v + "Epoch Revolution = -1 (valid=0-99999)"},
      {"revNum 0", [](R r) { r.revNum = 0; }, ""},
      {"revNum 99999", [](R r) { r.revNum = 99999; }, ""},
      {"revNum 100000", [](R r) { r.revNum = 100000; }, v + "Epoch Revolution = 100000 (valid=0-99999)"},
      // Angles are reduced, not refused, unless they are not numbers.
      {"raNode NaN", [=](R r) { r.raNode = nan; }, v + "Right Ascension of Node = NaN (finite)"},
      {"raNode -inf", [=](R r) { r.raNode = -inf; }, v + "Right Ascension of Node = -Infinity (finite)"},
      {"argPer inf", [=](R r) { r.argPer = inf; }, v + "Argument of Perigee = Infinity (finite)"},
      {"mnAnomaly NaN", [=](R r) { r.mnAnomaly = nan; }, v + "Mean Anomaly = NaN (finite)"},
      {"raNode huge", [](R r) { r.raNode = 1e300; }, ""},
      // Reals without a range must still be numbers, in every slot.
      {"nDotO2 NaN", [=](R r) { r.nDotO2 = nan; }, v + "First Derivative of Mean Motion = NaN (finite)"},
      {"n2DotO6 inf", [=](R r) { r.n2DotO6 = inf; }, v + "Second Derivative of Mean Motion = Infinity (finite)"},
      {"bStar NaN", [=](R r) { r.bStar = nan; }, v + "Drag Term = NaN (finite)"},
      {"bStar max", [](R r) { r.bStar = std::numeric_limits<double>::max(); }, ""},
      {"auxCoef1 -inf", [=](R r) { r.auxCoef1 = -inf; }, v + "Extra Coefficient 1 = -Infinity (finite)"},
      {"auxCoef2 NaN", [=](R r) { r.auxCoef2 = nan; }, v + "Extra Coefficient 2 = NaN (finite)"},
      {"auxCoef3 inf", [=](R r) { r.auxCoef3 = inf; }, v + "Extra Coefficient 3 = Infinity (finite)"},
      {"csvVal1 NaN", [=](R r) { r.csvExt->csvVal1 = nan; }, v + "CSV Value 1 = NaN (finite)"},
      {"csvVal5 inf", [=](R r) { r.csvExt->csvVal5 = inf; }, v + "CSV Value 5 = Infinity (finite)"},
      // Texts hold printable ASCII only: 32 to 126.
      {"class 31", [](R r) { r.secClass = '\x1f'; }, v + "character code in Classification = 31 (valid=32-126)"},
      {"class 32", [](R r) { r.secClass = ' '; }, ""},
      {"name 126", [](R r) { r.satName[7] = '~'; }, ""},
      {"name 127", [](R r) { r.satName[7] = '\x7f'; }, v + "character code in Satellite Name = 127 (valid=32-126)"},
      {"name 128", [](R r) { r.satName[0] = '\x80'; }, v + "character code in Satellite Name = 128 (valid=32-126)"},
      {"name tab", [](R r) { r.satName[3] = '\t'; }, v + "character code in Satellite Name = 9 (valid=32-126)"},
      {"long name 233", [](R r) { r.csvExt->satNameLong[11] = '\xe9'; },
       v + "character code in Long Satellite Name = 233 (valid=32-126)"},
      {"csv text 10", [](R r) { r.csvExt->csvText[0] = '\n'; }, v + "character code in CSV Text = 10 (valid=32-126)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Tlerecord r;
    ASSERT_EQ(lines2tle(pad(kL1), pad(kL2), r), 0);
    r.csvExt = std::make_unique<Csvtledata>();
    r.epochYr = 18;
    c.change(r);
    LogCapture log;
    EXPECT_EQ(validatetlevalues(r), c.message.empty() ? 0 : 2);
    EXPECT_EQ(log.errors(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_GE(r.epochYr, 1955);  // the widened year stays
  }
}

TEST(TleLines, AnglesAreReducedWithoutMessage) {
  Tlerecord r;
  ASSERT_EQ(lines2tle(pad(kL1), pad(kL2), r), 0);
  r.raNode = -10;
  r.argPer = 360;
  r.mnAnomaly = 725;
  LogCapture log;
  EXPECT_EQ(validatetlevalues(r), 0);
  EXPECT_NEAR(r.raNode, 350, 1e-9);
  EXPECT_EQ(r.argPer, 360);
  EXPECT_NEAR(r.mnAnomaly, 5, 1e-9);
  EXPECT_TRUE(log.errors().empty());
}

TEST(TleLines, WriterForms) {
  Tlerecord r;
  ASSERT_EQ(lines2tle(pad(kL1), pad(kL2), r), 0);
  struct Case {
    void (*change)(Tlerecord&);
    Cols cols;
    bool line1;
    std::string text;
  };
  const Case cases[] = {
      {[](Tlerecord& x) { x.elsetNum = 292; }, line1::kElsetNum, true, "0292"},
      {[](Tlerecord& x) { x.revNum = 5635; }, line2::kRevNum, false, "05635"},
      {[](Tlerecord& x) { x.bStar = -0.12345e-4; }, {54, 61}, true, "-12345-4"},
      {[](Tlerecord& x) { x.bStar = 5e-11; }, {54, 61}, true, " 00000 0"},
      {[](Tlerecord& x) { x.bStar = 0.5; }, {54, 61}, true, " 50000 0"},
      {[](Tlerecord& x) { x.nDotO2 = -0.00000036; }, line1::kCoef1, true, "-.00000036"},
      {[](Tlerecord& x) { x.eccen = 0.0011425; }, line2::kEccen, false, "0011425"},
      // The nearest 1e-7 unit, not the one below.
      {[](Tlerecord& x) { x.eccen = 0.00033706; }, line2::kEccen, false, "0003371"},
      {[](Tlerecord& x) { x.eccen = 0.00033704; }, line2::kEccen, false, "0003370"},
      // The name takes all of columns 10-17, and only those.
      {[](Tlerecord& x) { x.satName = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}; }, {9, 18}, true, " ABCDEFGH "},
      {[](Tlerecord& x) { x.satNum = 339999; }, line1::kSatNum, true, "Z9999"},
      {[](Tlerecord& x) { x.satNum = 100000; }, line1::kSatNum, true, "A0000"},
      {[](Tlerecord& x) { x.epochDays = 20.999999999; }, line1::kEpochDays, true, "021.00000000"},
      {[](Tlerecord& x) { x.epochDays = 5.5; }, line1::kEpochDays, true, "005.50000000"},
      {[](Tlerecord& x) { x.eccen = 0.99999996; }, line2::kEccen, false, "9999999"},
      {[](Tlerecord& x) { x.mnMotion = 100.5; }, line2::kMnMotion, false, "***********"},
      {[](Tlerecord& x) { x.satNum = 340000; }, line1::kSatNum, true, "*****"},
  };
  for (const auto& c : cases) {
    Tlerecord x = r;
    c.change(x);
    char o1[kLineLen], o2[kLineLen];
    tle2lines(x, o1, o2);
    std::string_view line(c.line1 ? o1 : o2, kLineLen);
    EXPECT_EQ(colText(line, c.cols), c.text);
  }
}

TEST(TleLines, EpochOfLastDayCarriesIntoNextYear) {
  Tlerecord r;
  ASSERT_EQ(lines2tle(pad(kL1), pad(kL2), r), 0);
  r.epochYr = 2017;
  r.epochDays = 365.999999999;
  char o1[kLineLen], o2[kLineLen];
  tle2lines(r, o1, o2);
  EXPECT_EQ(colText(std::string_view(o1, kLineLen), line1::kEpochText), "18001.00000000");
}

TEST(TleLines, CsvBranchAndSatelliteNumbers) {
  Tlerecord r;
  // Line 2 is ignored when line 1 is a CSV line; its result is unvalidated.
  const std::string csv =
      "U,25544,1998-067A,2018,20.5,0.1,0,0,0,999,51.6,313.2,0.0003,277.6,199.7,15.5,9635,0,0,0,0,0,0,0,0,X";
  EXPECT_EQ(lines2tle(pad(csv), pad("garbage"), r), 0);
  EXPECT_EQ(r.epochYr, 2018);
}

// Lines of two satellites are accepted as line 1's, and one information line
// names both numbers (an alpha-5 number by its value); a blank line 2
// number names no satellite and says nothing.
TEST(TleLines, SatelliteNumbersThatDifferAreWarned) {
  struct Case {
    std::string l2;
    std::vector<std::string> infos;
  };
  const std::string warned =
      "Warning-Lines2Tle: Line 1 is of satellite 25544, line 2 of satellite 25549; line 1's number is used.";
  const Case cases[] = {
      {withCol(kL2, 7, '9'), {warned}},
      {kL2, {}},
      {pad(kL2).replace(2, 5, "     "), {}},
      {pad(kL2).replace(2, 5, "A0001"),
       {"Warning-Lines2Tle: Line 1 is of satellite 25544, line 2 of satellite 100001; line 1's number is used."}},
  };
  for (const Case& c : cases) {
    LogCapture log;
    Tlerecord r;
    EXPECT_EQ(lines2tle(pad(kL1), pad(c.l2), r), 0) << c.l2;
    EXPECT_EQ(r.satNum, 25544);
    EXPECT_EQ(log.infos(), c.infos) << c.l2;
    EXPECT_TRUE(log.errors().empty()) << c.l2;
  }
  // A pair refused for its values is not warned about as well.
  LogCapture log;
  Tlerecord r;
  EXPECT_NE(lines2tle(pad(kL1), pad(withCol(kL2, 7, '9')).replace(8, 8, "181.0000"), r), 0);
  EXPECT_TRUE(log.infos().empty());
}

TEST(TleClassify, Table) {
  const std::string commas25 = std::string(25, ',') + "X";
  struct Case {
    std::string line;
    int32_t type;
  };
  const Case cases[] = {
      {kL1, kCardLine1},
      {withCol(kL1, 63, '6'), kCardLine1},
      {withCol(kL1, 63, '3'), kCardOther},
      {withCol(kL1, 63, ' '), kCardLine1},
      {kL2, kCardLine2},
      {withCol(kL2, 55, ' '), kCardOther},
      {"VECFILE = a.txt", kCardFile},
      {"VECFIL=a", kCardFile},
      {"ELSETFILE=a", kCardFile},
      {"SATFIL=a", kCardFile},
      {"vecfil=a", kCardOther},
      {"X" + commas25, kCardOther},
      {"U" + commas25, kCardCsv},
      {" " + commas25, kCardCsv},
      {commas25, kCardCsv},
      {"U" + std::string(24, ','), kCardOther},
      {"U" + std::string(26, ','), kCardOther},
      {"VX_DMA_ON", kCardDma},
      {" VX_DMA_ON", kCardOther},
      {"", kCardOther},
  };
  for (const auto& c : cases) EXPECT_EQ(tlecardtype(pad(c.line)), c.type) << c.line;
  // The line 1 test comes first, even with 25 commas.
  std::string both = pad(kL1);
  for (int i = 70; i < 95; ++i) both[static_cast<size_t>(i)] = ',';
  EXPECT_EQ(tlecardtype(both), kCardLine1);
}

TEST(TleKey, Line1ToSatKey) {
  EXPECT_GT(line1tosatkey(pad(kL1)), 0);
  EXPECT_EQ(line1tosatkey(pad(kL1)), line1tosatkey(pad(withCol(kL1, 63, ' '))));
  struct Case {
    std::string line;
  };
  for (const std::string& bad : {withCol(kL1, 63, '5'), pad(kL1).replace(2, 5, "00000"),
                                 pad(kL1).replace(18, 14, std::string(14, ' ')),
                                 pad(kL1).replace(18, 14, std::string(14, '0'))}) {
    LogCapture log;
    EXPECT_EQ(line1tosatkey(pad(bad)), -1);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Line1ToSatKey: Invalid TLE's 1st line."});
  }
  // The key of line 1 equals the key from the parsed fields, for every day
  // the value checks let through: days count from January 0.0.
  for (const char* day : {"020.59659722", "000.50000000", "000.00000000", "365.99999999"}) {
    const std::string l1 = pad(kL1).replace(20, 12, day);
    Tlerecord r;
    ASSERT_EQ(lines2tle(l1, pad(kL2), r), 0) << day;
    LogCapture log;
    EXPECT_EQ(line1tosatkey(l1), tlefields2satkey(r.satNum, r.epochYr, r.epochDays, r.ephType)) << day;
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << day;
  }
  // Day 366.5 of a common year makes a key; the value checks refuse it.
  const std::string late = pad(kL1).replace(20, 12, "366.50000000");
  EXPECT_EQ(line1tosatkey(late), line1tosatkey(pad(kL1).replace(18, 14, "19001.50000000")));
  // A negative satellite number makes no key, and says so.
  LogCapture log;
  EXPECT_EQ(line1tosatkey(pad(kL1).replace(2, 5, "-1234")), -1);
  EXPECT_EQ(log.errors(), std::vector<std::string>{"CreateSatKey: Invalid satellite number = -1234 (valid=0-999999999)"});
}

// The launch years 1957-1999 change the form of a designator, at both ends
// of the window; others keep their form.
TEST(TleDesignators, YearWindowInBothDirections) {
  struct Case {
    std::string longName;  // 12 characters
    std::string shortName;
  };
  const Case toShort[] = {{"1957-001A   ", "57001A  "}, {"1956-001A   ", "1956-001"}, {"1999-123ABC ", "99123ABC"},
                          {"2000-001A   ", "2000-001"}, {"2056-001A   ", "2056-001"}, {"UNKNOWNNAME ", "UNKNOWNN"}};
  for (const Case& c : toShort) {
    LongName l;
    std::memcpy(l.data(), c.longName.data(), l.size());
    const ShortName got = shortnameoflong(l);
    EXPECT_EQ(std::string(got.data(), got.size()), c.shortName) << c.longName;
  }
  const Case toLong[] = {{"1957-001A   ", "57001A  "}, {"56001A      ", "56001A  "}, {"1999-123ABC ", "99123ABC"},
                         {"00001A      ", "00001A  "}, {"            ", "        "}};
  for (const Case& c : toLong) {
    ShortName n;
    std::memcpy(n.data(), c.shortName.data(), n.size());
    const LongName got = longnameofshort(n);
    EXPECT_EQ(std::string(got.data(), got.size()), c.longName) << c.shortName;
  }
  // The CSV reader and writer use the rule.
  const std::string csv = "U,1,1957-001A,57,1.5,0,0,0,0,1,50,1,0.1,3,4,15.5,9,0,0,0,0,0,0,0,0,X";
  Tlerecord r;
  ASSERT_EQ(csvline2tle(csv, r), 0);
  EXPECT_EQ(r.name(), "57001A  ");
  r.csvExt.reset();
  char out[kLineLen];
  tle2csv(r, out);
  EXPECT_EQ(std::string(out, 18), "U,1,1957-001A,57,1");
}

// The sort text of orders 0 and 1: satellite number, ephemeris type, epoch.
TEST(TleSortText, NumberTypeAndEpoch) {
  Tlerecord r;
  r.satNum = 25544;
  r.ephType = 4;
  r.epochYr = 2018;
  r.epochDays = 20.5;
  char text[32];
  fieldstostr(r, text);
  EXPECT_EQ(std::string(text, 32), "0000255444 24857.500000000      ");
  r.ephType = 2;
  char other[32];
  fieldstostr(r, other);
  EXPECT_LT(std::string(other, 32), std::string(text, 32));
}

TEST(TleRecord, CopiesOwnTheirParts) {
  auto src = std::make_unique<Tlerecord>();
  src->csvExt = std::make_unique<Csvtledata>();
  src->csvExt->csvNum = 7;
  src->mnvrCards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
  src->numMnvrCards = 3;
  src->mnvrCards[2].fill('M');
  Tlerecord copy = *src;
  EXPECT_NE(copy.csvExt.get(), src->csvExt.get());
  EXPECT_NE(copy.mnvrCards.get(), src->mnvrCards.get());
  EXPECT_EQ(copy.csvExt->csvNum, 7);
  EXPECT_EQ(copy.mnvrCards[2][511], 'M');
  EXPECT_EQ(copy.numMnvrCards, 3);
  src.reset();
  EXPECT_EQ(copy.mnvrCards[2][0], 'M');
  Tlerecord fresh;
  EXPECT_EQ(fresh.secClass, 'U');
  EXPECT_EQ(fresh.name(), "        ");
  EXPECT_EQ(fresh.satNum, 0);
}

}  // namespace
}  // namespace vx::tle

namespace vx::tle {
namespace {

// A mantissa and exponent pair reads as the double nearest the decimal
// written, as std::from_chars gives it, not as the rounded mantissa times a
// power of ten ("20000-5" was 2.0000000000000003e-06).
TEST(TleLines, CoefficientReadsAsNearestDouble) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 20000; ++i) {
    std::string mant = (rng() & 1) ? "-" : " ";
    for (int k = 0; k < 5; ++k) mant += static_cast<char>('0' + rng() % 10);
    const int exp = static_cast<int>(rng() % 19) - 9;
    if (i == 0) mant = " 20000";
    const int e = i == 0 ? -5 : exp;
    std::string field = mant + (e < 0 ? "-" : "+") + std::to_string(std::abs(e));
    const std::string plain = mant.substr(mant[0] == ' ' ? 1 : 0) + "e" + std::to_string(e - 5);
    const double want = vx::testing::fromChars(plain);
    std::string l1 = kL1;
    l1.replace(44, 8, field);
    l1.replace(53, 8, field);
    l1[62] = '4';
    Tlerecord r;
    ASSERT_EQ(lines2tle(pad(l1), pad(kL2), r), 0) << field;
    ASSERT_EQ(std::memcmp(&r.auxCoef1, &want, sizeof want), 0) << field << ": " << r.auxCoef1 << " != " << want;
    ASSERT_EQ(std::memcmp(&r.auxCoef2, &want, sizeof want), 0) << field;
  }
}

// A CSV real reads as std::from_chars reads the same text.
TEST(TleCsvLine, RealsReadAsNearestDouble) {
  const std::string head = "U,25544,1998-067A,2018,20.5,";
  const std::string tail = ",0,0,0,999,51.6,313.2,0.0003,277.6,199.7,15.5,9635,0,0,0,0,0,0,0,0,X";
  std::mt19937_64 rng(13);
  for (int i = 0; i < 20000; ++i) {
    const std::string text =
        vx::testing::randomDecimal(rng, 17) + "E" + std::to_string(static_cast<int>(rng() % 41) - 20);
    const double want = vx::testing::fromChars(text);
    Tlerecord r;
    ASSERT_EQ(csvline2tle(pad(head + text + tail), r), 0) << text;
    ASSERT_EQ(std::memcmp(&r.nDotO2, &want, sizeof want), 0) << text << ": " << r.nDotO2 << " != " << want;
  }
}

TEST(TleLines, CoefficientSplit) {
  struct Case {
    double value, mantissa;
    int32_t exponent;
  };
  const Case cases[] = {
      {0.30975e-4, 0.30975, -4},  {-0.12345e-4, -0.12345, -4}, {1.2345678e-3, 0.12346, -2},
      {9.999996e-5, 0.1, -3},      {0.5, 0.5, 0},                {5e-11, 0, 0},
      {999999e3, 0, 0},            {123.0, 0.123, 3},            {-7e-10, -0.7, -9},
  };
  for (const auto& c : cases) {
    double m = -1;
    int32_t e = -1;
    ASSERT_TRUE(gettlerawformat(c.value, m, e)) << c.value;
    EXPECT_EQ(m, c.mantissa) << c.value;
    EXPECT_EQ(e, c.exponent) << c.value;
  }
  // The fast path agrees with the fixed-precision conversion everywhere.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mag(-11.0, 10.0);
  for (int i = 0; i < 100000; ++i) {
    double v = std::pow(10.0, mag(rng)) * ((rng() & 1) ? -1 : 1);
    if (i % 2 == 0) {  // five significant digits, as read from a line
      char t[32];
      auto r = std::to_chars(t, t + sizeof t, v, std::chars_format::scientific, 4);
      std::from_chars(t, r.ptr, v);
    }
    char t[32];
    auto r = std::to_chars(t, t + sizeof t, v, std::chars_format::scientific, 4);
    const std::string sci(t, r.ptr);
    const size_t epos = sci.find('e');
    const int wantExp = std::stoi(sci.substr(epos + 1)) + 1;
    std::string digits = sci.substr(v < 0 ? 1 : 0, epos - (v < 0 ? 1 : 0));
    digits.erase(1, 1);  // the point
    double wantMant = (v < 0 ? -1 : 1) * std::stod(digits) / 1e5;
    int32_t wantE = wantExp;
    if (wantExp > 9 || wantExp < -9) wantMant = 0, wantE = 0;
    double m = 0;
    int32_t e = 0;
    ASSERT_TRUE(gettlerawformat(v, m, e));
    ASSERT_EQ(m, wantMant) << v;
    ASSERT_EQ(e, wantE) << v;
  }
  double m = 7;
  int32_t e = 7;
  EXPECT_FALSE(gettlerawformat(std::numeric_limits<double>::quiet_NaN(), m, e));
  EXPECT_EQ(m, 7);
  for (int32_t x = -12; x <= 12; ++x) EXPECT_EQ(gettlevalue(0.30975, x), std::pow(10.0, x) * 0.30975) << x;
}

}  // namespace
}  // namespace vx::tle
