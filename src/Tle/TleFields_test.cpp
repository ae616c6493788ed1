#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Tle/TleArray.h"
#include "Tle/TleFields.h"
#include "Services/chronom.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"
#include "support/FieldChecks.h"
#include "support/LogCapture.h"
#include "veltrix/tle.h"

namespace vx::tle {
namespace {

using vx::testing::LogCapture;
using vx::testing::Out;
using Msgs = std::vector<std::string>;

// FLOCK 2E'-6 of the 2018 catalog; a launch of 1998, so its long name differs.
const std::string kL1 = "1 41568U 98067JS  18020.44277298  .00034283  00000-0  18740-3 0  9991";
const std::string kL2 = "2 41568  51.6293 344.6959 0000617 270.9238  89.1693 15.79522238 93852";
const char kName[8] = {'9', '8', '0', '6', '7', 'J', 'S', ' '};

std::string host(std::string s) {
  s.resize(512, ' ');
  return s;
}

std::string withCol(std::string line, int col, char c) {
  line.replace(static_cast<size_t>(col - 1), 1, 1, c);
  return line;
}

// The outputs of the GP field functions, and the calls that fill them.
struct Gp {
  int32_t n = 7, yr = 7, t = 7, el = 7, rv = 7;
  char c = 'x';
  Out<8> nm;
  double dy = 7, drag = 7, in = 7, ra = 7, ec = 7, ap = 7, ma = 7, mm = 7, nd = 7, sd = 7;
  int32_t getGP2(int64_t key) {
    return TleGetAllFieldsGP2(key, &n, &c, nm, &yr, &dy, &drag, &t, &el, &in, &ra, &ec, &ap, &ma, &mm, &rv, &nd, &sd);
  }
  int32_t parse(const std::string& l1, const std::string& l2) {
    return TleParseGP(host(l1).c_str(), host(l2).c_str(), &n, &c, nm, &yr, &dy, &nd, &sd, &drag, &t, &el, &in, &ra, &ec,
                      &ap, &ma, &mm, &rv);
  }
  void toLines(char* l1, char* l2) {
    TleGPFieldsToLines(n, c, nm, yr, dy, nd, sd, drag, t, el, in, ra, ec, ap, ma, mm, rv, l1, l2);
  }
  auto ints() const { return std::make_tuple(n, c, std::string(nm.b, 8), yr, t, el, rv); }
  std::vector<double> reals() const { return {dy, drag, in, ra, ec, ap, ma, mm, nd, sd}; }
};

struct Sp {
  int32_t n = 7, yr = 7, el = 7, rv = 7;
  char c = 'x';
  Out<8> nm;
  double dy = 7, a2 = 7, a3 = 7, a1 = 7, in = 7, ra = 7, ec = 7, ap = 7, ma = 7, mm = 7;
  int32_t get(int64_t key) {
    return TleGetAllFieldsSP(key, &n, &c, nm, &yr, &dy, &a2, &a3, &a1, &el, &in, &ra, &ec, &ap, &ma, &mm, &rv);
  }
  int32_t parse(const std::string& l1, const std::string& l2) {
    return TleParseSP(host(l1).c_str(), host(l2).c_str(), &n, &c, nm, &yr, &dy, &a2, &a3, &a1, &el, &in, &ra, &ec, &ap,
                      &ma, &mm, &rv);
  }
};


struct Pair {
  std::string l1, l2;
};

std::vector<Pair> catalog() {
  std::ifstream in(std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle");
  std::vector<std::string> lines;
  for (std::string s; std::getline(in, s);) lines.push_back(s);
  std::vector<Pair> out;
  for (size_t i = 0; i + 1 < lines.size(); ++i)
    if (lines[i].rfind("1 ", 0) == 0 && lines[i + 1].rfind("2 ", 0) == 0) out.push_back({lines[i], lines[++i]});
  return out;
}

// The writer's lines of a parsed pair, both 512 characters.
std::string written(const Pair& p) {
  Tlerecord rec;
  EXPECT_EQ(lines2tle(host(p.l1), host(p.l2), rec), 0);
  char w1[512], w2[512];
  tle2lines(rec, w1, w2);
  return std::string(w1, 512) + std::string(w2, 512);
}

class TleFields : public ::testing::Test {
 protected:
  void SetUp() override {
    TleRemoveAllSats();
    KernixSetDupKeyMode(0);
  }
  void TearDown() override { TleRemoveAllSats(); }

  static int64_t add(const std::string& l1, const std::string& l2) {
    const int64_t key = TleAddSatFrLines(host(l1).c_str(), host(l2).c_str());
    EXPECT_GT(key, 0);
    return key;
  }
  static std::string field(int64_t key, int32_t idx) {
    Out<512> v;
    EXPECT_EQ(TleGetField(key, idx, v), 0);
    EXPECT_TRUE(v.fenced());
    return v.str();
  }
  static std::string lines(int64_t key) {
    Out<512> a, b;
    EXPECT_EQ(TleGetLines(key, a, b), 0);
    return a.str() + "|" + b.str();
  }
  static Tlerecord stored(int64_t key) {
    Tlerecord rec;
    EXPECT_EQ(tlestore().findRec(key, rec), 0);
    return rec;
  }
};

// ---- Single fields -----------------------------------------------------------------

TEST_F(TleFields, GetFieldWritesEachIndexLeftAdjusted) {
  const int64_t key = add(kL1, kL2);
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {1, "41568"},
      {2, "U"},
      {3, "98067JS"},
      {4, "2018020.44277298"},
      {5, "0.000187400000000"},
      {6, "0"},
      {7, "999"},
      {8, "51.629300000000001"},
      {9, "344.695899999999995"},
      {10, "0.000061700000000"},
      {11, "270.923800000000028"},
      {12, "89.169300000000007"},
      {13, "15.795222380000000"},
      {14, "9385"},
      {15, "0.000342830000000"},
      {16, "0.000000000000000"},
      // No CSV data: 17-25 are blank, and so is anything outside the table.
      {17, ""},
      {18, ""},
      {24, ""},
      {25, ""},
      {0, ""},
      {26, ""},
      {-1, ""}};
  for (const auto& [idx, want] : cases) EXPECT_EQ(field(key, idx), want) << "index " << idx;

  const int64_t early = TleAddSatFrFieldsGP(1, 'U', kName, 18, 5.5, 0, 0, 1, 51, 10, 0.001, 20, 30, 15.5, 100);
  EXPECT_EQ(field(early, 4), "2018005.50000000") << "a day below 10 has zeros, no blanks";
}

// Every "not loaded" message of the functions that take a key, and what
// each hands back then.
TEST_F(TleFields, MissingKeyIsReportedByEveryFunction) {
  add(kL1, kL2);
  const int64_t key = TleFieldsToSatKey(99998, 2018, 1.0, 0);
  double arr[64] = {41568};
  Out<512> out;
  Gp gp;
  Sp sp;
  const std::vector<std::pair<std::string, std::function<int32_t()>>> cases = {
      {"TleGetField: Unable to locate satKey ", [&] { return TleGetField(key, 3, out); }},
      {"TleSetField: Unable to locate satKey ", [&] { return TleSetField(key, 6, "1"); }},
      {"TleGetAllFieldsGP: Unable to locate satKey ",
       [&] {
         return TleGetAllFieldsGP(key, &gp.n, &gp.c, gp.nm, &gp.yr, &gp.dy, &gp.drag, &gp.t, &gp.el, &gp.in, &gp.ra,
                                  &gp.ec, &gp.ap, &gp.ma, &gp.mm, &gp.rv);
       }},
      {"TleGetAllFieldsGP2: Unable to locate satKey ", [&] { return gp.getGP2(key); }},
      {"TleGetAllFieldsSP: Unable to locate satKey ", [&] { return sp.get(key); }},
      {"TleUpdateSatFrFieldsGP: Unable to locate satKey ",
       [&] { return TleUpdateSatFrFieldsGP(key, 'U', kName, 0, 1, 1, 1, 0, 1, 1, 15, 1); }},
      {"TleUpdateSatFrFieldsGP2: Unable to locate satKey ",
       [&] { return TleUpdateSatFrFieldsGP2(key, 'U', kName, 0, 1, 1, 1, 0, 1, 1, 15, 1, 0, 0); }},
      {"TleUpdateSatFrFieldsSP: Unable to locate satKey ",
       [&] { return TleUpdateSatFrFieldsSP(key, 'U', kName, 0, 0, 0, 1, 1, 1, 0, 1, 1, 15, 1); }},
      {"TleUpdateSatFrArray: Unable to locate satKey ", [&] { return TleUpdateSatFrArray(key, arr, ""); }},
      {"TleDataToArray: Unable to locate satKey ", [&] { return TleDataToArray(key, arr, out); }},
  };
  vx::testing::expectEachMissing(cases, key, "TLE", out, {"TleGetField", "TleDataToArray"});
  EXPECT_EQ(gp.ints(), std::make_tuple(0, ' ', std::string(8, ' '), 0, 0, 0, 0));
  EXPECT_EQ(gp.reals(), std::vector<double>(10, 0.0));
  EXPECT_EQ(std::make_tuple(sp.n, sp.a2, sp.a3, sp.a1, sp.mm), std::make_tuple(0, 0.0, 0.0, 0.0, 0.0));
  EXPECT_EQ(arr[0], 41568.0) << "a failed TleDataToArray leaves the array alone";
  EXPECT_EQ(TleGetCount(), 1);
}

TEST_F(TleFields, SetFieldChangesOneFieldOrNothing) {
  struct Case {
    int32_t idx;
    std::string value;
    int32_t getIdx;
    std::string want;
  };
  const std::vector<Case> cases = {
      {2, "  S", 2, "S"},
      {3, "  NEWNAME12", 3, "NEWNAME1"},
      {5, "1.5-3", 5, "0.001500000000000"},
      {7, "  42", 7, "42"},
      {9, "-10", 9, "350.000000000000000"},  // reduced by the value checks
      {14, "12345", 14, "12345"},
      {15, "-0.0001", 15, "-0.000100000000000"},
      {16, "1E-5", 16, "0.000010000000000"},
      {7,
       std::string("4\0"
                   "2",
                   3),
       7, "4"},                            // the text ends at a NUL
      {2, std::string(512, '7'), 2, "7"},  // or after 512 characters
      // Not changeable, or not a field: accepted, nothing changes.
      {1, "99999", 1, "41568"},
      {4, "2020001.0", 4, "2018020.44277298"},
      {6, "2", 6, "0"},
      {0, "5", 1, "41568"},
      {26, "5", 1, "41568"},
      {17, "5", 17, ""},
  };
  for (const auto& k : cases) {
    const int64_t key = add(kL1, kL2);
    EXPECT_EQ(TleSetField(key, k.idx, host(k.value).c_str()), 0) << k.idx;
    EXPECT_EQ(field(key, k.getIdx), k.want) << k.idx;
    TleRemoveAllSats();
  }
}

TEST_F(TleFields, SetFieldFailuresLeaveTheStoredSet) {
  const vx::testing::RefusedCases cases = {
      {10, "1.5", "ValidateTleValues: Invalid Eccentricity = 1.5000000000000000 (valid=0-1)"},
      {8, "181", "ValidateTleValues: Invalid Orbit Inclination = 181.00000000000000 (valid=0-180)"},
      {7, "abc", "TleSetField: Unable to read the number of field 7."},
      {13, "", "TleSetField: Unable to read the number of field 13."},
      {14, "1.5", "TleSetField: Unable to read the number of field 14."},
      {3, "AB\nCD", "TleSetField: Unable to update satellite's name"},
      {3, "AB\xe9", "TleSetField: Unable to update satellite's name"},
      {2, "\tX", "TleSetField: Unable to update field 2 (a byte outside printable ASCII in the text)."},
      {2, "\x7f", "TleSetField: Unable to update field 2 (a byte outside printable ASCII in the text)."},
      {2, "\x80", "TleSetField: Unable to update field 2 (a byte outside printable ASCII in the text)."},
  };
  const int64_t key = add(kL1, kL2);
  vx::testing::expectEachRefused(
      cases, [&](int32_t idx, const std::string& value) { return TleSetField(key, idx, host(value).c_str()); },
      [&] { return lines(key); });
}

// Indexes 5, 15 and 16 follow the coefficient slots of the ephemeris type;
// 16 also writes n2DotO6 for every type. Index 5 of type 4 is bStar, unlike
// the GP drag term, which is auxCoef2.
TEST_F(TleFields, CoefficientIndexesFollowEphemerisType) {
  const int64_t key4 = add(withCol(kL1, 63, '4'), kL2);
  const int64_t key6 = add(withCol(withCol(kL1, 63, '6'), 50, '1'), kL2);
  EXPECT_EQ(field(key6, 5), "0.000187400000000");   // auxCoef1
  EXPECT_EQ(field(key6, 15), "0.000342830000000");  // auxCoef2
  EXPECT_EQ(field(key6, 16), "0.000010000000000");  // auxCoef3
  // The array form has no auxCoef3: columns 45-52 come back as zero.
  double arr[64];
  Out<512> text, a, b;
  ASSERT_EQ(TleDataToArray(key6, arr, text), 0);
  TleGPArrayToLines(arr, text, a, b);
  EXPECT_EQ(a.full().substr(44, 8), " 00000 0");
  EXPECT_EQ(field(key4, 5), "0.000000000000000");   // bStar
  EXPECT_EQ(field(key4, 16), "0.000000000000000");  // auxCoef1

  for (int64_t key : {key4, key6}) ASSERT_EQ(TleSetField(key, 16, "0.5"), 0);
  EXPECT_EQ(std::make_pair(stored(key4).auxCoef1, stored(key4).n2DotO6), std::make_pair(0.5, 0.5));
  EXPECT_EQ(std::make_pair(stored(key6).auxCoef3, stored(key6).n2DotO6), std::make_pair(0.5, 0.5));

  Gp gp;
  ASSERT_EQ(gp.getGP2(key4), 0);
  EXPECT_EQ(gp.drag, stored(key4).auxCoef2);
  EXPECT_NEAR(gp.drag, 1.874e-4, 1e-18);
  EXPECT_EQ(gp.sd, 0.5);
  Sp sp;
  ASSERT_EQ(sp.get(key6), 0);
  EXPECT_EQ(std::make_tuple(sp.yr, sp.a2, sp.a3), std::make_tuple(2018, 0.00034283, 0.5));
  EXPECT_NEAR(sp.a1, 1.874e-4, 1e-18);
}

TEST_F(TleFields, CsvFieldsExistWithCsvData) {
  Out<512> csv;
  ASSERT_EQ(TleLinesToCsv(host(kL1).c_str(), host(kL2).c_str(), csv), 0);
  const int64_t key = TleAddSatFrCsv(csv);
  ASSERT_GT(key, 0);
  EXPECT_EQ(std::make_tuple(field(key, 3), field(key, 24), field(key, 25)),
            std::make_tuple("98067JS", "UNKNOWN", "1998-067JS"));
  const std::vector<std::tuple<int32_t, std::string, std::string>> cases = {{17, "7", "7"},
                                                                            {18, "0.125", "0.125000000000000"},
                                                                            {19, "1.25", "1.250000000000000"},
                                                                            {23, "-2", "-2.000000000000000"},
                                                                            {24, "  TEXT-OF-11CHARS", "TEXT-OF-11C"},
                                                                            {25, "1998-067ABCDEF", "1998-067ABCD"}};
  for (const auto& [idx, value, want] : cases) {
    ASSERT_EQ(TleSetField(key, idx, host(value).c_str()), 0);
    EXPECT_EQ(field(key, idx), want);
  }
}

// ---- Field sets ------------------------------------------------------------------------

TEST_F(TleFields, UpdateFromFieldSets) {
  const char name[8] = {' ', ' ', 'N', 'E', 'W', ' ', ' ', ' '};
  const int64_t key = add(kL1, kL2);
  ASSERT_EQ(TleUpdateSatFrFieldsGP(key, 'S', name, 2.5e-4, 7, 60, -30, 0.1, 10, 20, 14.5, 77), 0);
  Tlerecord r = stored(key);
  EXPECT_EQ(std::make_tuple(std::string(r.name()), r.secClass, r.bStar, r.elsetNum, r.incli, r.eccen, r.revNum),
            std::make_tuple(std::string("NEW     "), 'S', 2.5e-4, 7, 60.0, 0.1, 77));
  EXPECT_NEAR(r.raNode, 330, 1e-12);
  EXPECT_EQ(r.nDotO2, 0.00034283) << "GP leaves the derivatives as stored";

  ASSERT_EQ(TleUpdateSatFrFieldsGP2(key, 'U', name, 1e-4, 7, 60, 30, 0.1, 10, 20, 14.5, 77, 1e-5, 2e-6), 0);
  r = stored(key);
  EXPECT_EQ(std::make_tuple(r.nDotO2, r.n2DotO6, r.auxCoef1), std::make_tuple(1e-5, 2e-6, 0.0));

  ASSERT_EQ(TleUpdateSatFrFieldsSP(key, 'U', name, 1, 2, 3, 7, 60, 30, 0.1, 10, 20, 14.5, 77), 0);
  r = stored(key);
  EXPECT_EQ(std::make_tuple(r.auxCoef2, r.auxCoef3, r.auxCoef1, r.ephType), std::make_tuple(1.0, 2.0, 3.0, 0));

  const int64_t key4 = add(withCol(kL1, 63, '4'), kL2);
  ASSERT_EQ(TleUpdateSatFrFieldsGP2(key4, 'U', name, 1e-4, 7, 60, 30, 0.1, 10, 20, 14.5, 77, 1e-5, 2e-6), 0);
  r = stored(key4);
  EXPECT_EQ(std::make_tuple(r.auxCoef2, r.auxCoef1, r.bStar, r.n2DotO6), std::make_tuple(1e-4, 2e-6, 0.0, 0.0));

  LogCapture log;
  const std::string before = lines(key);
  EXPECT_EQ(TleUpdateSatFrFieldsGP(key, 'U', name, 0, 7, 60, 30, 0.1, 10, 20, -1, 77), 2);
  EXPECT_EQ(log.errors(), Msgs{"ValidateTleValues: Invalid Mean Motion = -1.0000000000000000 (> 0)"});
  EXPECT_EQ(lines(key), before);
}

TEST_F(TleFields, AddFromFieldSets) {
  {
    LogCapture log;
    EXPECT_EQ(TleAddSatFrFieldsGP(41568, 'U', kName, 18, 20.5, 0, 0, 1, 200, 10, 0.001, 20, 30, 15.5, 100), -1);
    EXPECT_EQ(log.errors(), Msgs{"ValidateTleValues: Invalid Orbit Inclination = 200.00000000000000 (valid=0-180)"});
    log.clear();
    // The reason, then the store's refusal of the -1 that marks the set.
    EXPECT_EQ(TleAddSatFrFieldsSP(41568, 'U', kName, 18, 20.5, 0, 0, 0, 1, 200, 10, 0.001, 20, 30, 15.5, 100), -1);
    EXPECT_EQ(log.errors(), (Msgs{"ValidateTleValues: Invalid Orbit Inclination = 200.00000000000000 (valid=0-180)",
                                  "ValidateTleValues: Invalid satellite number = -1 (valid=1-999999999)",
                                  "ValidateTleValues: Invalid Orbit Inclination = 200.00000000000000 (valid=0-180)"}));
    EXPECT_EQ(TleGetCount(), 0);
  }
  int64_t gpKey = 0, spKey = 0;
  TleAddSatFrFieldsGP2ML(41568, 'U', kName, 18, 20.5, 1e-4, 4, 1, 50, 10, 0.001, 20, 30, 15.5, 100, 2e-5, 3e-6, &gpKey);
  Tlerecord r = stored(gpKey);
  EXPECT_EQ(std::make_tuple(r.epochYr, r.ephType, r.auxCoef2, r.auxCoef1, r.bStar, r.n2DotO6, r.nDotO2),
            std::make_tuple(2018, 4, 1e-4, 3e-6, 0.0, 0.0, 2e-5));
  TleAddSatFrFieldsSPML(41568, 'U', " 98067J", 18, 20.5, 1, 2, 3, 1, 50, 10, 0.001, 20, 30, 15.5, 100, &spKey);
  r = stored(spKey);
  EXPECT_EQ(std::make_tuple(std::string(r.name()), r.ephType, r.auxCoef2, r.auxCoef3, r.auxCoef1),
            std::make_tuple(std::string("98067J  "), 6, 1.0, 2.0, 3.0));

  // The element set from its lines duplicates the one added from its fields.
  ASSERT_GT(TleAddSatFrFieldsGP(41568, 'U', kName, 18, 20.44277298, 1.874e-4, 0, 999, 51.6293, 344.6959, 0.0000617,
                                270.9238, 89.1693, 15.79522238, 9385),
            0);
  EXPECT_EQ(TleAddSatFrLines(host(kL1).c_str(), host(kL2).c_str()), 0);
}

// Values no line could carry are refused on every way in, each with one
// line, and nothing is stored or changed.
TEST_F(TleFields, NonFiniteRealsAndUnprintableTextsAreRefusedOnEveryPath) {
  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  const std::string v = "ValidateTleValues: Invalid ";
  const int64_t key = add(kL1, kL2);
  const std::string before = lines(key);
  double arr[64];
  Out<512> text;
  ASSERT_EQ(TleDataToArray(key, arr, text), 0);
  const std::string tleText = text.full();
  const char tab[8] = {'9', '8', '\t', '6', '7', 'J', 'S', ' '};
  const char high[8] = {'9', '8', '0', '6', '7', '\xe9', ' ', ' '};
  struct Case {
    std::string what;
    std::function<int64_t()> call;
    int64_t result;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"GP drag NaN",
       [&] { return TleAddSatFrFieldsGP(1, 'U', kName, 18, 20.5, nan, 0, 1, 50, 10, 0.001, 20, 30, 15.5, 100); }, -1,
       v + "Drag Term = NaN (finite)"},
      {"GP raNode inf",
       [&] { return TleAddSatFrFieldsGP(1, 'U', kName, 18, 20.5, 0, 0, 1, 50, inf, 0.001, 20, 30, 15.5, 100); }, -1,
       v + "Right Ascension of Node = Infinity (finite)"},
      {"GP mean motion inf",
       [&] { return TleAddSatFrFieldsGP(1, 'U', kName, 18, 20.5, 0, 0, 1, 50, 10, 0.001, 20, 30, inf, 100); }, -1,
       v + "Mean Motion = Infinity (> 0)"},
      {"GP2 nDotO2 -inf",
       [&] {
         return TleAddSatFrFieldsGP2(1, 'U', kName, 18, 20.5, 0, 0, 1, 50, 10, 0.001, 20, 30, 15.5, 100, -inf, 0);
       },
       -1, v + "First Derivative of Mean Motion = -Infinity (finite)"},
      {"GP2 type 4 second derivative NaN",
       [&] {
         return TleAddSatFrFieldsGP2(1, 'U', kName, 18, 20.5, 0, 4, 1, 50, 10, 0.001, 20, 30, 15.5, 100, 0, nan);
       },
       -1, v + "Extra Coefficient 1 = NaN (finite)"},
      {"GP name tab",
       [&] { return TleAddSatFrFieldsGP(1, 'U', tab, 18, 20.5, 0, 0, 1, 50, 10, 0.001, 20, 30, 15.5, 100); }, -1,
       v + "character code in Satellite Name = 9 (valid=32-126)"},
      {"GP name byte 233",
       [&] { return TleAddSatFrFieldsGP(1, 'U', high, 18, 20.5, 0, 0, 1, 50, 10, 0.001, 20, 30, 15.5, 100); }, -1,
       v + "character code in Satellite Name = 233 (valid=32-126)"},
      {"GP class 127",
       [&] { return TleAddSatFrFieldsGP(1, '\x7f', kName, 18, 20.5, 0, 0, 1, 50, 10, 0.001, 20, 30, 15.5, 100); }, -1,
       v + "character code in Classification = 127 (valid=32-126)"},
      {"array raNode NaN",
       [&] {
         double a[64];
         std::copy(arr, arr + 64, a);
         a[21] = nan;
         return TleAddSatFrArray(a, tleText.c_str());
       },
       -1, v + "Right Ascension of Node = NaN (finite)"},
      {"update GP bStar inf",
       [&] { return TleUpdateSatFrFieldsGP(key, 'U', kName, inf, 1, 50, 10, 0.001, 20, 30, 15.5, 100); }, 2,
       v + "Drag Term = Infinity (finite)"},
      {"update SP name byte 233",
       [&] { return TleUpdateSatFrFieldsSP(key, 'U', high, 0, 0, 0, 1, 50, 10, 0.001, 20, 30, 15.5, 100); }, 2,
       v + "character code in Satellite Name = 233 (valid=32-126)"},
      {"update array argPer -inf",
       [&] {
         double a[64];
         std::copy(arr, arr + 64, a);
         a[23] = -inf;
         return TleUpdateSatFrArray(key, a, tleText.c_str());
       },
       2, v + "Argument of Perigee = -Infinity (finite)"},
      // Set reads no number beyond the doubles.
      {"set field mean motion 1e999", [&] { return TleSetField(key, 13, "1e999"); }, 2,
       "TleSetField: Unable to read the number of field 13."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(log.errors(), Msgs{c.message});
  }
  EXPECT_EQ(TleGetCount(), 1);
  EXPECT_EQ(lines(key), before);
}

// ---- Conversions ------------------------------------------------------------------------

// Lines -> fields -> lines -> fields, and lines -> array -> lines -> array,
// over the whole catalog; the stored set has the fields of its lines.
TEST_F(TleFields, CatalogRoundTrips) {
  for (const auto& p : catalog()) {
    const std::string want = written(p);
    Gp gp, again, got;
    ASSERT_EQ(gp.parse(p.l1, p.l2), 0);
    ASSERT_EQ(got.getGP2(add(p.l1, p.l2)), 0);
    EXPECT_EQ(got.ints(), gp.ints());
    EXPECT_EQ(got.reals(), gp.reals());
    Out<512> a, b;
    gp.toLines(a, b);
    ASSERT_EQ(a.full() + b.full(), want) << p.l1;
    ASSERT_EQ(again.parse(a.full(), b.full()), 0);
    EXPECT_EQ(again.ints(), gp.ints());
    EXPECT_EQ(again.reals(), gp.reals());

    double arr[64], arr2[64];
    Out<512> text, text2;
    ASSERT_EQ(TleLinesToArray(host(p.l1).c_str(), host(p.l2).c_str(), arr, text), 0);
    TleGPArrayToLines(arr, text, a, b);
    ASSERT_EQ(a.full() + b.full(), want) << p.l1;
    ASSERT_EQ(TleLinesToArray(a, b, arr2, text2), 0);
    ASSERT_EQ(std::vector<double>(arr, arr + 64), std::vector<double>(arr2, arr2 + 64)) << p.l1;
    ASSERT_EQ(text.full(), text2.full());
    ASSERT_TRUE(a.fenced() && b.fenced() && text.fenced());
  }
}

TEST_F(TleFields, ParseGPAndSP) {
  Gp gp;
  // Type 4 hands out auxCoef1 and auxCoef2 in the n2DotO6 and bStar places.
  ASSERT_EQ(gp.parse(withCol(withCol(kL1, 63, '4'), 50, '1'), kL2), 0);
  EXPECT_EQ(std::make_tuple(gp.yr, gp.sd), std::make_tuple(2018, 1e-5));
  EXPECT_NEAR(gp.drag, 1.874e-4, 1e-18);

  // A CSV line 1 is parsed unvalidated, whatever line 2 holds.
  const std::string csv = "U,41568,1998-067JS,18,20.5,0,0,0,0,999,200,1,0.5,3,4,15.5,9,0,0,0,0,0,0,0,0,X";
  ASSERT_EQ(gp.parse(csv, "anything"), 0);
  EXPECT_EQ(std::make_tuple(gp.n, gp.yr, gp.in, std::string(gp.nm.b, 8)),
            std::make_tuple(41568, 18, 200.0, std::string("98067JS ")));

  // Neither a line pair nor CSV: the CSV reader says why.
  LogCapture log;
  const std::string broken = withCol(kL1, 24, ' ');
  EXPECT_EQ(gp.parse(broken, kL2), 2);
  EXPECT_EQ(log.errors(), Msgs{"CsvLine2Tle: Bad CSV TLE (" + host(broken) + ")."});
  EXPECT_EQ(gp.ints(), std::make_tuple(0, ' ', std::string(8, ' '), 0, 0, 0, 0));
  EXPECT_EQ(gp.reals(), std::vector<double>(10, 0.0));

  Sp sp;
  ASSERT_EQ(sp.parse(kL1, kL2), 0);
  EXPECT_EQ(std::make_tuple(sp.a2, sp.a3, sp.a1), std::make_tuple(0.0, 0.0, 0.0));
}

TEST_F(TleFields, FieldConversionsWriteOrStayBlank) {
  const char name[8] = {' ', '9', '8', '0', '6', '7', 'J', 'S'};  // left-adjusted before use
  Out<512> a, b, csv;
  {
    LogCapture log;
    TleGPFieldsToLines(41568, 'U', name, 18, 20.5, 0, 0, 0, 0, 1, 50, 10, 1.2, 20, 30, 15.5, 100, a, b);
    TleGPFieldsToCsv(41568, 'U', name, 18, 20.5, 0, 0, 0, 0, 1, 50, 10, 1.2, 20, 30, 15.5, 100, csv);
    EXPECT_EQ(a.full() + b.full() + csv.full(), std::string(3 * 512, ' '));
    EXPECT_EQ(log.errors(), Msgs(2, "ValidateTleValues: Invalid Eccentricity = 1.2000000000000000 (valid=0-1)"));
  }
  TleGPFieldsToLines(41568, 'U', name, 18, 20.44277298, 0.00034283, 0, 1.874e-4, 0, 999, 51.6293, 344.6959, 0.0000617,
                     270.9238, 89.1693, 15.79522238, 9385, a, b);
  EXPECT_EQ(a.str(), "1 41568U 98067JS  18020.44277298  .00034283  00000 0  18740-3 0 0999");
  EXPECT_EQ(b.str(), "2 41568  51.6293 344.6959 0000617 270.9238  89.1693 15.7952223809385");
  TleSPFieldsToLines(41568, 'U', name, 18, 20.5, 0.00034283, 0, 1.874e-4, 999, 51.6293, 344.6959, 0.0000617, 270.9238,
                     89.1693, 15.79522238, 9385, a, b);
  EXPECT_EQ(a.str(), "1 41568U 98067JS  18020.50000000  .00034283  00000 0  18740-3 6 0999");

  // The CSV of the parsed fields is the CSV of the lines.
  Gp gp;
  ASSERT_EQ(gp.parse(kL1, kL2), 0);
  TleGPFieldsToCsv(gp.n, gp.c, gp.nm, gp.yr, gp.dy, gp.nd, gp.sd, gp.drag, gp.t, gp.el, gp.in, gp.ra, gp.ec, gp.ap,
                   gp.ma, gp.mm, gp.rv, csv);
  Out<512> want;
  ASSERT_EQ(TleLinesToCsv(host(kL1).c_str(), host(kL2).c_str(), want), 0);
  EXPECT_EQ(csv.full(), want.full());
  EXPECT_TRUE(a.fenced() && b.fenced() && csv.fenced());
}

// ---- Arrays ----------------------------------------------------------------------------------

TEST_F(TleFields, ArrayOfStoredSetAndBack) {
  const int64_t key = add(kL1, kL2);
  double arr[64];
  Out<512> text;
  ASSERT_EQ(TleDataToArray(key, arr, text), 0);
  EXPECT_EQ(text.str(), "U98067JS");
  EXPECT_EQ(std::make_tuple(arr[0], arr[1], arr[5], arr[20], arr[26], arr[30], arr[31]),
            std::make_tuple(41568.0, yrdays2ds50(2018, 20.44277298), 0.0, 51.6293, 9385.0, 999.0, 0.0));
  EXPECT_EQ(TleAddSatFrArray(arr, text), 0) << "a duplicate of the stored set";

  // An update keeps the stored satellite number, epoch and type.
  arr[0] = 12345, arr[1] += 3, arr[5] = 2, arr[20] = 60;
  ASSERT_EQ(TleUpdateSatFrArray(key, arr, text), 0);
  const Tlerecord r = stored(key);
  EXPECT_EQ(std::make_tuple(r.satNum, r.epochDays, r.ephType, r.incli), std::make_tuple(41568, 20.44277298, 0, 60.0));

  arr[22] = 1.0;
  LogCapture log;
  EXPECT_EQ(TleUpdateSatFrArray(key, arr, text), 2);
  EXPECT_EQ(log.errors(), Msgs{"ValidateTleValues: Invalid Eccentricity = 1.0000000000000000 (valid=0-1)"});
  EXPECT_EQ(stored(key).eccen, 0.0000617);
}

// Every member has its own element, every other element is 0, and the
// array gives the record back.
TEST_F(TleFields, ArrayLayoutOfEveryMember) {
  Tlerecord rec;
  rec.satNum = 11, rec.epochYr = 2018, rec.epochDays = 20.5, rec.nDotO2 = 3, rec.n2DotO6 = 4, rec.bStar = 5;
  rec.ephType = 6, rec.incli = 21, rec.raNode = 22, rec.eccen = 0.23, rec.argPer = 24, rec.mnAnomaly = 25;
  rec.mnMotion = 26, rec.revNum = 27, rec.elsetNum = 31, rec.auxCoef2 = 33, rec.auxCoef1 = 39;
  rec.csvExt = std::make_unique<Csvtledata>();
  rec.csvExt->csvNum = 32;
  rec.csvExt->csvVal1 = 34, rec.csvExt->csvVal2 = 35, rec.csvExt->csvVal3 = 36, rec.csvExt->csvVal4 = 37;
  rec.csvExt->csvVal5 = 38;
  TleArray arr;
  char text[512];
  tle2array(rec, arr, text);
  const std::map<int, double> want = {{1, 11},  {2, yrdays2ds50(2018, 20.5)}, {3, 3},   {4, 4},   {5, 5},   {6, 6},
                                      {21, 21}, {22, 22}, {23, 0.23}, {24, 24}, {25, 25}, {26, 26}, {27, 27},
                                      {31, 31}, {32, 32}, {33, 33}, {34, 34}, {35, 35}, {36, 36}, {37, 37},
                                      {38, 38}, {39, 39}};
  for (int n = 1; n <= 64; ++n) {
    const auto it = want.find(n);
    EXPECT_EQ(arr[static_cast<size_t>(n - 1)], it == want.end() ? 0.0 : it->second) << "element " << n;
  }
  Tlerecord back;
  array2tle(arr, std::string_view(text, 512), back);
  EXPECT_EQ(std::make_tuple(back.satNum, back.epochYr, back.epochDays, back.ephType, back.revNum, back.elsetNum),
            std::make_tuple(11, 2018, 20.5, 6, 27, 31));
  EXPECT_EQ((std::vector<double>{back.nDotO2, back.n2DotO6, back.bStar, back.incli, back.raNode, back.eccen, back.argPer,
                                 back.mnAnomaly, back.mnMotion, back.auxCoef2, back.auxCoef1, back.auxCoef3}),
            (std::vector<double>{3, 4, 5, 21, 22, 0.23, 24, 25, 26, 33, 39, 0}));
  ASSERT_TRUE(back.csvExt);
  EXPECT_EQ((std::vector<double>{back.csvExt->csvVal1, back.csvExt->csvVal5}), (std::vector<double>{34, 38}));
}

TEST_F(TleFields, ArrayCsvDataIsRebuiltForNonzeroElement32) {
  const std::string csv = "U,41568,1998-067JS,2018,20.5,0,0,0,0,999,50,1,0.5,3,4,15.5,9,7,0,0,1,2,3,4,5,TEXT";
  TleArray arr{};
  char text[512];
  ASSERT_EQ(csv2tlearray(csv, arr, text), 0);
  EXPECT_EQ(std::string(text, 24), "U1998-067JS  TEXT       ");
  EXPECT_EQ(std::vector<double>(arr.begin() + 31, arr.begin() + 38), std::vector<double>({7, 0, 1, 2, 3, 4, 5}));

  // The long designator of the name columns gives back the short name, with
  // or without CSV data.
  Tlerecord r;
  array2tle(arr, std::string_view(text, 512), r);
  ASSERT_TRUE(r.csvExt);
  EXPECT_EQ(std::make_tuple(std::string(r.name()), r.csvExt->csvNum, r.csvExt->csvVal5),
            std::make_tuple(std::string("98067JS "), 7, 5.0));
  arr[31] = 0.9;
  array2tle(arr, std::string_view(text, 512), r);
  EXPECT_FALSE(r.csvExt);
  EXPECT_EQ(std::string(r.name()), "98067JS ");

  LogCapture log;
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(csv2tlearray("U,1,2", arr, text), 2);
  EXPECT_EQ(std::string(text, 512), std::string(512, ' '));
}

TEST_F(TleFields, ArrayIntegersOutOfRangeAreRejectedNotUndefined) {
  double arr[64] = {};
  arr[1] = yrdays2ds50(2018, 20.5);
  arr[20] = 50;
  arr[25] = 15;
  vx::testing::expectEachAddRefused(
      {std::nan(""), 1e300, -1e300}, [&](double bad) { arr[0] = bad; },
      [&] { return TleAddSatFrArray(arr, "U98067JS"); }, "ValidateTleValues: Invalid satellite number = ");
  Out<512> a, b, csv;
  TleGPArrayToLines(arr, "U", a, b);
  TleGPArrayToCsv(arr, "U", csv);
  EXPECT_TRUE(a.fenced() && b.fenced() && csv.fenced());
}

TEST_F(TleFields, ArrayUpdateKeepsManeuverCards) {
  Tlerecord rec;
  ASSERT_EQ(lines2tle(host(kL1), host(kL2), rec), 0);
  rec.mnvrCards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
  rec.mnvrCards[0].fill('M');
  rec.numMnvrCards = 1;
  const int64_t key = addtletomem(rec);
  TleArray arr;
  char text[512];
  ASSERT_EQ(datatoarray(key, arr, text), 0);
  ASSERT_EQ(updatesatfrarray(key, arr, std::string_view(text, 512)), 0);
  const Tlerecord r = stored(key);
  ASSERT_EQ(r.numMnvrCards, 1);
  EXPECT_EQ(r.mnvrCards[0][0], 'M');
}

// ---- Key modes and threads ---------------------------------------------------------------

TEST_F(TleFields, DmaKeysReadAndWriteWithoutTreeHolds) {
  KernixSetElsetKeyMode(1);
  const int64_t key = add(kL1, kL2);
  KernixSetElsetKeyMode(0);
  EXPECT_EQ(field(key, 1), "41568");
  EXPECT_EQ(TleSetField(key, 7, "5"), 0);
  EXPECT_EQ(field(key, 7), "5");
  double arr[64];
  Out<512> text;
  EXPECT_EQ(TleDataToArray(key, arr, text), 0);
  // A tree writer still gets through: no read hold was left behind.
  EXPECT_GT(add(withCol(kL1, 63, '2'), kL2), 0);
  EXPECT_EQ(TleGetCount(), 2);
}

TEST_F(TleFields, ConcurrentReadersAndWritersOnOneKey) {
  const int64_t key = add(kL1, kL2);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([key, t] {
      char v[512];
      double arr[64];
      for (int n = 0; n < 300; ++n) {
        TleGetField(key, 1 + n % 25, v);
        TleSetField(key, 7, t % 2 ? "11" : "12");
        TleDataToArray(key, arr, v);
        TleUpdateSatFrFieldsGP(key, 'U', "98067JS", 1e-4, 1, 51, 1, 0.001, 1, 1, 15, 1);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(TleGetCount(), 1);
}

}  // namespace
}  // namespace vx::tle
