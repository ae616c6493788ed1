#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Kinem/KinemFields.h"
#include "Kinem/KinemTree.h"
#include "Services/chronom.h"
#include "support/FieldChecks.h"
#include "support/HostText.h"
#include "support/LogCapture.h"
#include "veltrix/kinem.h"

namespace vx::kinem {
namespace {

using vx::testing::hostText;
using vx::testing::LogCapture;
using vx::testing::Out;
using Msgs = std::vector<std::string>;

template <size_t N>
void settext(std::array<char, N>& a, std::string_view s) {
  a.fill(' ');
  std::memcpy(a.data(), s.data(), std::min(s.size(), N));
}

// Values that print exactly in every form.
Kinemrecord sample() {
  Kinemrecord r;
  r.pos = {6524.5, -6862.25, 6448.125};
  r.vel = {4901.5, 5533.75, -1976.25};
  r.secClass = 'U';
  r.satNum = 25544;
  settext(r.intlDes, "98067A");
  settext(r.epochDtg, "18020.59659722");
  r.epochRev = 11236;
  r.elsetNum = 999;
  r.bTerm = 0.015625;
  r.agom = 0.0078125;
  r.thrustAcc = 0;
  settext(r.coordSys, "MMJ2K");
  return r;
}

// The twelve fields as the host functions take and hand them out.
struct Fields {
  double pos[3] = {7, 7, 7}, vel[3] = {7, 7, 7};
  char c = 'x';
  int32_t n = 7, rev = 7, el = 7;
  Out<8> des;
  Out<17> epoch;
  Out<5> coord;
  double b = 7, a = 7, t = 7;

  static Fields of(const Kinemrecord& r) {
    Fields f;
    std::copy(r.pos.begin(), r.pos.end(), f.pos);
    std::copy(r.vel.begin(), r.vel.end(), f.vel);
    f.c = r.secClass, f.n = r.satNum, f.rev = r.epochRev, f.el = r.elsetNum;
    f.b = r.bTerm, f.a = r.agom, f.t = r.thrustAcc;
    std::memcpy(f.des.b, r.intlDes.data(), 8);
    std::memcpy(f.epoch.b, r.epochDtg.data(), 17);
    std::memcpy(f.coord.b, r.coordSys.data(), 5);
    return f;
  }
  int32_t get(int64_t key) {
    return KinemGetAllFields(key, pos, vel, &c, &n, des, epoch, &rev, &el, &b, &a, &t, coord);
  }
  int32_t parse(const std::string& l1, const std::string& l2) {
    return KinemParse(hostText(l1).c_str(), hostText(l2).c_str(), pos, vel, &c, &n, des, epoch, &rev, &el, &b, &a, &t,
                      coord);
  }
  int64_t add() { return KinemAddSatFrFields(pos, vel, c, n, des, epoch, rev, el, b, a, t, coord); }
  void toLines(char* l1, char* l2) { KinemFieldsToLines(pos, vel, c, n, des, epoch, rev, el, b, a, t, coord, l1, l2); }
  auto all() const {
    return std::make_tuple(std::vector<double>{pos[0], pos[1], pos[2], vel[0], vel[1], vel[2], b, a, t}, c, n, rev, el,
                           des.full(), epoch.full(), coord.full());
  }
};

const auto kCleared = std::make_tuple(std::vector<double>(9, 0.0), ' ', 0, 0, 0, std::string(8, ' '),
                                      std::string(17, ' '), std::string(5, ' '));


// A host array of 155 elements, each element n holding 1000 + n.
struct Arr {
  double a[kVecArrLen + 1];
  Arr() {
    for (size_t i = 0; i <= kVecArrLen; ++i) a[i] = 1000.0 + static_cast<double>(i + 1);
  }
  double& operator[](int n) { return a[n - 1]; }
  operator double*() { return a; }
  bool untouched(int n) const { return a[n - 1] == 1000.0 + n; }
};

class KinemFields : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    int32_t err = 0;
    kinemstore().emptyTree(err);
    KernixSetDupKeyMode(0);
    KernixSetElsetKeyMode(GetParam());
  }
  void TearDown() override {
    KernixSetElsetKeyMode(0);
    int32_t err = 0;
    kinemstore().emptyTree(err);
  }

  static int64_t add(Kinemrecord rec = sample()) {
    const int64_t key = addkinemtomem(rec);
    EXPECT_GT(key, 0);
    return key;
  }
  static std::string field(int64_t key, int32_t idx) {
    Out<512> v;
    EXPECT_EQ(KinemGetField(key, idx, v), 0);
    EXPECT_TRUE(v.fenced());
    return v.str();
  }
  // Every field of the stored vector, and its optional parts.
  static std::string snapshot(int64_t key) {
    std::string s;
    for (int32_t idx = 1; idx <= 17; ++idx) s += field(key, idx) + "|";
    return s;
  }
  static Kinemrecord stored(int64_t key) {
    Kinemrecord rec;
    EXPECT_EQ(kinemstore().findRec(key, rec), 0);
    return rec;
  }
};

// ---- Single fields -----------------------------------------------------------------

TEST_P(KinemFields, GetFieldWritesEachIndexLeftAdjusted) {
  const int64_t key = add();
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {1, "6524.500000000000000"},  {2, "-6862.250000000000000"}, {3, "6448.125000000000000"},
      {4, "4901.500000000000000"},  {5, "5533.750000000000000"},  {6, "-1976.250000000000000"},
      {7, "U"},                     {8, ""},                      {9, "25544"},
      {10, "98067A"},               {11, "18020.59659722"},       {12, "11236"},
      {13, "999"},                  {14, "0.015625000000000"},    {15, "0.007812500000000"},
      {16, "0.000000000000000"},    {17, "MMJ2K"},                {0, ""},
      {18, ""},                     {-1, ""}};
  for (const auto& [idx, want] : cases) EXPECT_EQ(field(key, idx), want) << "index " << idx;

  // The widest values each form holds, and one past for F35.15.
  Kinemrecord wide = sample();
  wide.satNum = 999999999, wide.epochRev = 999999, wide.elsetNum = 9999, wide.bTerm = 1e18, wide.agom = -1e18;
  wide.thrustAcc = 1e19;
  const int64_t wideKey = add(wide);
  const std::vector<std::pair<int32_t, std::string>> widest = {{9, "999999999"},
                                                               {12, "999999"},
                                                               {13, "9999"},
                                                               {14, "1000000000000000000.000000000000000"},
                                                               {15, std::string(35, '*')},
                                                               {16, std::string(35, '*')}};
  for (const auto& [idx, want] : widest) EXPECT_EQ(field(wideKey, idx), want) << "index " << idx;
}

TEST_P(KinemFields, SetFieldChangesOneFieldOrNothing) {
  struct Case {
    int32_t idx;
    std::string value;
    std::string want;  // the field afterwards
  };
  const std::vector<Case> cases = {
      {1, "  -7000.5", "-7000.500000000000000"},
      {6, "1.5-3", "0.001500000000000"},
      {7, "  S", "S"},
      {7, "", ""},  // a blank classification
      {10, "  1998-067ABC", "1998-067"},
      {12, "999999", "999999"},
      {13, " 9 999", "9999"},  // blanks inside a number are ignored
      {14, "-1E-5", "-0.000010000000000"},
      {17, "  TMEPO", "TMEPO"},
      {12, std::string("4\0" "2", 3), "4"},  // the text ends at a NUL
      // The key fields: 0 at once, nothing changes.
      {9, "99", "25544"},
      {11, "19001.5", "18020.59659722"},
      {11, "garbage", "18020.59659722"},
  };
  for (const Case& k : cases) {
    const int64_t key = add();
    LogCapture log;
    EXPECT_EQ(KinemSetField(key, k.idx, hostText(k.value).c_str()), 0) << k.idx;
    EXPECT_EQ(field(key, k.idx), k.want) << k.idx;
    EXPECT_EQ(log.errors(), Msgs{});
    int32_t err = 0;
    kinemstore().emptyTree(err);
  }
  // Field 8 and numbers outside 1-17 change nothing.
  const int64_t key = add();
  const std::string before = snapshot(key);
  for (int32_t idx : {8, 0, 18}) EXPECT_EQ(KinemSetField(key, idx, "5"), 0);
  EXPECT_EQ(snapshot(key), before);
}

TEST_P(KinemFields, SetFieldFailuresLeaveTheStoredVector) {
  const std::string v = "ValidateKinemValues: Invalid ";
  const vx::testing::RefusedCases cases = {
      {12, "abc", "KinemSetField: Unable to read the number of field 12."},
      {4, "", "KinemSetField: Unable to read the number of field 4."},
      {13, "1.5", "KinemSetField: Unable to read the number of field 13."},
      {16, "1e999", "KinemSetField: Unable to read the number of field 16."},
      {1, "NaN", "KinemSetField: Unable to read the number of field 1."},
      {10, "AB\tCD", "KinemSetField: Unable to update field 10 (a byte outside printable ASCII in the text)."},
      {7, "\x80", "KinemSetField: Unable to update field 7 (a byte outside printable ASCII in the text)."},
      {17, "MM\x7f", "KinemSetField: Unable to update field 17 (a byte outside printable ASCII in the text)."},
      {12, "1000000", v + "Epoch Revolution = 1000000 (valid=0-99999)"},
      {13, "-1", v + "Element Set Number = -1 (valid=0-9999)"},
      {17, "mmj2k", v + "vector coordinate system = mmj2k (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"},
      {5, "2e6", v + "VelY = 2000000.0000000000 (valid=-1E6 to 1E6)"},
  };
  const int64_t key = add();
  vx::testing::expectEachRefused(
      cases, [&](int32_t idx, const std::string& value) { return KinemSetField(key, idx, hostText(value).c_str()); },
      [&] { return snapshot(key); });
}

// Every "not loaded" message of the functions that take a key, and what
// each hands back then.
TEST_P(KinemFields, MissingKeyIsReportedByEveryFunction) {
  add();
  const int64_t key = fieldstosatkey(99998, "18020.5");
  Arr arr;
  Out<512> out;
  Fields f, u = Fields::of(sample());
  const std::vector<std::pair<std::string, std::function<int32_t()>>> cases = {
      {"KinemGetField: Unable to locate satKey ", [&] { return KinemGetField(key, 9, out); }},
      {"KinemSetField: Unable to locate satKey ", [&] { return KinemSetField(key, 9, "1"); }},
      {"KinemGetAllFields: Unable to locate satKey ", [&] { return f.get(key); }},
      {"KinemUpdateSatFrFields: Unable to locate satKey ",
       [&] {
         return KinemUpdateSatFrFields(key, u.pos, u.vel, u.c, u.des, u.rev, u.el, u.b, u.a, u.t, u.coord);
       }},
      {"KinemDataToArray: Unable to locate satKey ", [&] { return KinemDataToArray(key, arr, out); }},
      {"KinemUpdateSatFrArray: Unable to locate satKey ", [&] { return KinemUpdateSatFrArray(key, arr, "U"); }},
  };
  vx::testing::expectEachMissing(cases, key, "KINEM", out, {"KinemGetField", "KinemDataToArray"});
  EXPECT_EQ(f.all(), kCleared);
  for (int n = 1; n <= 155; ++n) EXPECT_TRUE(arr.untouched(n)) << "element " << n;
  EXPECT_EQ(kinemstore().count(), 1);
}

// ---- The twelve fields -------------------------------------------------------------

TEST_P(KinemFields, AllFieldsAndTheirUpdate) {
  Kinemrecord rec = sample();
  rec.weightedRms = 1.5;
  rec.covariance = std::make_unique<Covariance>();
  (*rec.covariance)[54] = 2.0;
  rec.controls = std::make_unique<Card4pinput>();
  rec.mnvrCards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
  rec.mnvrCards[0].fill('M');
  rec.numMnvrCards = 1;
  const int64_t key = add(rec);
  Fields f;
  ASSERT_EQ(f.get(key), 0);
  EXPECT_EQ(f.all(), Fields::of(sample()).all());
  EXPECT_TRUE(f.des.fenced() && f.epoch.fenced() && f.coord.fenced());

  // Texts are left-adjusted on entry; the key fields cannot be given.
  const double pos[3] = {1, 2, 3}, vel[3] = {4, 5, 6};
  ASSERT_EQ(KinemUpdateSatFrFields(key, pos, vel, 'S', "  X-1", 7, 8, 0.5, 0.25, 1e-9, "TMDAT"), 0);
  Kinemrecord want = sample();
  want.pos = {1, 2, 3}, want.vel = {4, 5, 6}, want.secClass = 'S', want.epochRev = 7, want.elsetNum = 8;
  want.bTerm = 0.5, want.agom = 0.25, want.thrustAcc = 1e-9;
  settext(want.intlDes, "X-1");
  settext(want.coordSys, "TMDAT");
  ASSERT_EQ(f.get(key), 0);
  EXPECT_EQ(f.all(), Fields::of(want).all());
  const Kinemrecord r = stored(key);
  ASSERT_TRUE(r.covariance && r.controls && r.mnvrCards);
  EXPECT_EQ(std::make_tuple(r.weightedRms, (*r.covariance)[54], r.numMnvrCards, r.mnvrCards[0][0]),
            std::make_tuple(1.5, 2.0, 1, 'M'));

  LogCapture log;
  const std::string before = snapshot(key);
  const double fast[3] = {4, 2e6, 6};
  EXPECT_EQ(KinemUpdateSatFrFields(key, pos, fast, 'S', "X", 7, 8, 0.5, 0.25, 0, "TMDAT"), 2);
  EXPECT_EQ(log.errors(), Msgs{"ValidateKinemValues: Invalid VelY = 2000000.0000000000 (valid=-1E6 to 1E6)"});
  EXPECT_EQ(snapshot(key), before);
}

TEST_P(KinemFields, AddFromFields) {
  Fields f = Fields::of(sample());
  std::memcpy(f.des.b, "  98067A", 8);
  const int64_t key = f.add();
  ASSERT_GT(key, 0);
  EXPECT_EQ(field(key, 10), "98067A");
  if (GetParam() == 0) {
    EXPECT_EQ(key, kinemrecsatkey(sample()));
  }
  if (GetParam() == 0) {
    EXPECT_EQ(f.add(), 0) << "a duplicate";
  }
  int64_t mlKey = 7;
  f.pos[0] += 1;
  KinemAddSatFrFieldsML(f.pos, f.vel, f.c, f.n, f.des, f.epoch, f.rev, f.el, f.b, f.a, f.t, f.coord, &mlKey);
  EXPECT_GT(mlKey, 0);
  EXPECT_NE(mlKey, key);

  LogCapture log;
  f.n = -5;
  EXPECT_EQ(f.add(), -1);
  EXPECT_EQ(log.errors(), Msgs{"ValidateKinemValues: Invalid satellite number = -5 (valid=1-999999999)"});
  EXPECT_EQ(kinemstore().count(), 2);
}

// ---- Arrays ----------------------------------------------------------------------------

// Every member has its own element or text columns, nothing else is written,
// and the array gives the record back.
TEST_P(KinemFields, ArrayLayoutOfEveryMember) {
  Kinemrecord rec = sample();
  rec.secClass = 'S';
  rec.controls = std::make_unique<Card4pinput>();
  Card4pinput& c = *rec.controls;
  c.ctlCode = 72, c.geopotFlag = 73, c.dragModel = 74, c.radPresFlag = 75, c.lunarSolarFlag = 76, c.f10 = 77;
  c.f10Bar = 78, c.ap = 79, c.zonalDeg = 80, c.errCtrl = 81, c.thrustFlag = 82, c.solidTidesFlag = 83;
  c.nutTerms = 85, c.spareCtl = 86, c.integMode = 87, c.stepMode = 2, c.stepSize = 89.5;
  rec.covariance = std::make_unique<Covariance>();
  for (size_t i = 0; i < kCovTerms; ++i) (*rec.covariance)[i] = 101.0 + static_cast<double>(i);
  Arr arr;
  char text[512];
  kinem2array(rec, VecArr(arr.a, kVecArrLen), text);
  std::map<int, double> want = {{1, 25544},    {2, dtg2ds50utc("18020.59659722")},
                                {3, 11236},    {4, 999},
                                {5, 0.015625}, {6, 0.0078125},
                                {7, 0},        {8, 2},
                                {21, 6524.5},  {22, -6862.25},
                                {23, 6448.125}, {24, 4901.5},
                                {25, 5533.75}, {26, -1976.25},
                                {88, 2},       {89, 89.5}};
  for (int n = 72; n <= 87; ++n)
    if (n != 84) want[n] = n;
  for (int n = 101; n <= 155; ++n) want[n] = n;
  for (int n = 1; n <= 156; ++n) {
    const auto it = want.find(n);
    if (it == want.end())
      EXPECT_TRUE(arr.untouched(n)) << "element " << n;
    else
      EXPECT_EQ(arr[n], it->second) << "element " << n;
  }
  EXPECT_EQ(std::string(text, 512), hostText("S98067A  "));

  arr[71] = 1.9;  // truncated to 1
  Kinemrecord back;
  array2kinem(ConstVecArr(arr.a, kVecArrLen), std::string_view(text, 512), back);
  char date[kEpochDtgLen];
  date15(arr[2], date, sizeof date);
  EXPECT_EQ(std::string(back.epoch()), std::string(date, sizeof date));
  back.epochDtg = rec.epochDtg;
  EXPECT_EQ(Fields::of(back).all(), Fields::of(rec).all());
  ASSERT_TRUE(back.controls && back.covariance);
  const Card4pinput& b = *back.controls;
  EXPECT_EQ(std::make_tuple(b.ctlFlagA, b.ctlFlagB, b.ctlFlagC, b.ctlCode, b.solidTidesFlag, b.nutTerms, b.stepMode,
                            b.stepSize, b.spare, b.spareCtl2),
            std::make_tuple(1, 1, 1, 72, 83, 85, 2, 89.5, std::array<int32_t, 7>{}, 0));
  EXPECT_EQ(*back.covariance, *rec.covariance);
}

TEST_P(KinemFields, ArrayCodesControlsAndCovarianceThreshold) {
  struct Case {
    std::string coord;
    double code;
    std::string back;
  };
  const std::vector<Case> coords = {{"TMDAT", 1, "TMDAT"}, {"TMEPO", 1, "TMDAT"}, {"MMB50", 2, "MMJ2K"},
                                    {"MMJ2K", 2, "MMJ2K"}, {"     ", 0, "     "}};
  for (const Case& k : coords) {
    Kinemrecord r = sample();
    settext(r.coordSys, k.coord);
    Arr arr;
    char text[512];
    kinem2array(r, VecArr(arr.a, kVecArrLen), text);
    EXPECT_EQ(arr[8], k.code) << k.coord;
    Kinemrecord back;
    array2kinem(ConstVecArr(arr.a, kVecArrLen), std::string_view(text, 512), back);
    EXPECT_EQ(std::string(back.coord()), k.back);
  }
  const std::vector<std::pair<double, std::string>> codes = {{1.9, "TMDAT"}, {2, "MMJ2K"}, {3, "     "},
                                                             {-1, "     "}, {0, "     "}};
  for (const auto& [code, coord] : codes) {
    Arr arr;
    arr[8] = code;
    arr[71] = 0;
    Kinemrecord back;
    array2kinem(ConstVecArr(arr.a, kVecArrLen), "", back);
    EXPECT_EQ(std::string(back.coord()), coord) << code;
    EXPECT_FALSE(back.controls || back.covariance) << "element 71 is 0";
  }

  // Step modes outside 0-2 become 0; the covariance needs its terms to sum
  // above 1e-21.
  const std::vector<std::tuple<double, int32_t, double, bool>> controls = {
      {2, 2, 0, false}, {3, 0, 1e-21, false}, {-1, 0, 1.1e-21, true}, {0, 0, -1, true}};
  for (const auto& [mode, wantMode, term, kept] : controls) {
    Arr arr;
    arr[71] = 1;
    arr[88] = mode;
    for (int n = 101; n <= 155; ++n) arr[n] = 0;
    arr[155] = term;
    Kinemrecord back;
    array2kinem(ConstVecArr(arr.a, kVecArrLen), "", back);
    ASSERT_TRUE(back.controls);
    EXPECT_EQ(back.controls->stepMode, wantMode) << mode;
    EXPECT_EQ(static_cast<bool>(back.covariance), kept) << term;
  }
}

TEST_P(KinemFields, StoredArrayAndItsUpdate) {
  Kinemrecord rec = sample();
  rec.weightedRms = 3;
  rec.mnvrCards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
  rec.numMnvrCards = 1;
  const int64_t key = add(rec);
  Arr arr;
  Out<512> text;
  ASSERT_EQ(KinemDataToArray(key, arr, text), 0);
  EXPECT_EQ(text.str(), "U98067A");
  EXPECT_TRUE(text.fenced());
  for (int n = 71; n <= 156; ++n) EXPECT_TRUE(arr.untouched(n)) << "no controls: element " << n;
  if (GetParam() == 0) {
    EXPECT_EQ(KinemAddSatFrArray(arr, text), 0) << "a duplicate of the stored vector";
  }

  // Element 71 attaches controls from whatever 72-89 hold; the array's
  // satellite number and epoch are ignored.
  arr[1] = 12345, arr[2] += 3, arr[24] = 1, arr[71] = 1;
  ASSERT_EQ(KinemUpdateSatFrArray(key, arr, text), 0);
  Kinemrecord r = stored(key);
  EXPECT_EQ(std::make_tuple(r.satNum, std::string(r.epoch()), r.vel[0], r.weightedRms, r.numMnvrCards,
                            static_cast<bool>(r.mnvrCards)),
            std::make_tuple(25544, std::string(sample().epoch()), 1.0, 0.0, 0, false));
  ASSERT_TRUE(r.controls && r.covariance);
  EXPECT_EQ(std::make_tuple(r.controls->ctlCode, r.controls->stepMode, r.controls->stepSize, (*r.covariance)[0]),
            std::make_tuple(1072, 0, 1089.0, 1101.0));

  // Without element 71 the controls and covariance go.
  arr[71] = 0;
  ASSERT_EQ(KinemUpdateSatFrArray(key, arr, text), 0);
  r = stored(key);
  EXPECT_FALSE(r.controls || r.covariance);

  arr[23] = 2e9;
  LogCapture log;
  const std::string before = snapshot(key);
  EXPECT_EQ(KinemUpdateSatFrArray(key, arr, text), 2);
  EXPECT_EQ(log.errors(), Msgs{"ValidateKinemValues: Invalid PosZ = 2000000000.0000000 (valid=-1E9 to 1E9)"});
  EXPECT_EQ(snapshot(key), before);
}

TEST_P(KinemFields, ArrayIntegersOutOfRangeAreRejectedNotUndefined) {
  Arr arr;
  for (int n : {3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, 71}) arr[n] = 0;
  arr[2] = 25000.5;
  vx::testing::expectEachAddRefused(
      {std::nan(""), 1e300}, [&](double bad) { arr[1] = bad; }, [&] { return KinemAddSatFrArray(arr, "U"); },
      "ValidateKinemValues: Invalid satellite number = ");
  EXPECT_EQ(kinemstore().count(), 0);
}

// ---- Conversions through the cards ------------------------------------------------------

TEST_P(KinemFields, CardConversionsRoundTrip) {
  Fields f = Fields::of(sample());
  Out<512> l1, l2;
  f.toLines(l1, l2);
  EXPECT_EQ(l1.str(), "   6524.5000  -6862.2500   6448.1250    4901.5000    5533.7500   -1976.2500 UB1P");
  EXPECT_EQ(l2.str().substr(0, 38), "25544 98067A     18020.59659722  11236");
  EXPECT_EQ(l2.str().substr(73), "MMJ2K2P");
  EXPECT_TRUE(l1.fenced() && l2.fenced());

  // Cards -> fields: the same values, the epoch right-adjusted as written.
  Fields p;
  ASSERT_EQ(p.parse(l1.full(), l2.full()), 0);
  Fields want = Fields::of(sample());
  std::memcpy(want.epoch.b, "   18020.59659722", 17);
  EXPECT_EQ(p.all(), want.all());

  // Cards -> array -> cards: the same cards, the epoch as its date text.
  Arr arr;
  Out<512> text, a1, a2;
  ASSERT_EQ(KinemLinesToArray(l1, l2, arr, text), 0);
  EXPECT_EQ(std::make_tuple(arr[1], arr[2], arr[21], text.str()),
            std::make_tuple(25544.0, dtg2ds50utc("18020.59659722"), 6524.5, std::string("U98067A")));
  for (int n = 71; n <= 156; ++n) EXPECT_TRUE(arr.untouched(n)) << "element " << n;
  KinemArrayToLines(arr, text, a1, a2);
  EXPECT_EQ(a1.full(), l1.full());
  EXPECT_EQ(a2.str().substr(0, 14) + a2.str().substr(31), l2.str().substr(0, 14) + l2.str().substr(31));
  char date[15];
  date15(arr[2], date, sizeof date);
  EXPECT_EQ(a2.full().substr(14, 17), "  " + std::string(date, 15));
}

TEST_P(KinemFields, ConversionFailuresLeaveBlankOrClearedOutputs) {
  Out<512> l1, l2;
  {
    Fields f = Fields::of(sample());
    f.vel[1] = 2e6;
    LogCapture log;
    f.toLines(l1, l2);
    EXPECT_EQ(l1.full() + l2.full(), std::string(1024, ' '));
    EXPECT_EQ(log.errors(), Msgs{"ValidateKinemValues: Invalid VelY = 2000000.0000000000 (valid=-1E6 to 1E6)"});
  }
  {
    Arr arr;
    arr[1] = -1;
    LogCapture log;
    KinemArrayToLines(arr, "U", l1, l2);
    EXPECT_EQ(l1.full() + l2.full(), std::string(1024, ' '));
    EXPECT_EQ(log.errors(), Msgs{});
  }
  Fields::of(sample()).toLines(l1, l2);
  std::string bad2 = l2.full();
  bad2[79] = 'Q';  // no 2P mark
  LogCapture log;
  Fields p;
  EXPECT_EQ(p.parse(l1.full(), bad2), 2);
  EXPECT_EQ(log.errors(), Msgs{"Lines2Kinem: Invalid 2P card set."});
  EXPECT_EQ(p.all(), kCleared);
  Arr arr;
  Out<512> text;
  EXPECT_EQ(KinemLinesToArray(l1, bad2.c_str(), arr, text), 2);
  EXPECT_EQ(text.full(), std::string(512, ' '));
  for (int n = 1; n <= 156; ++n) EXPECT_TRUE(arr.untouched(n)) << "element " << n;
}

// ---- Threads ------------------------------------------------------------------------------

// Two threads each count one field of the same vector up: an update that
// wrote back a copy taken before the other thread's change would lose a
// count.
TEST_P(KinemFields, ConcurrencyUpdatesOfDifferentFieldsAreAllKept) {
  const int64_t key = add();
  ASSERT_EQ(KinemSetField(key, 12, "0"), 0);
  ASSERT_EQ(KinemSetField(key, 13, "0"), 0);
  constexpr int kCounts = 1000;
  std::atomic<int> ready{0};
  // Every thread starts once all three are running, so their updates overlap.
  auto start = [&ready] {
    ready.fetch_add(1);
    while (ready.load() < 3) std::this_thread::yield();
  };
  auto count = [key, &start](int32_t idx) {
    start();
    char v[512];
    for (int i = 0; i < kCounts; ++i) {
      ASSERT_EQ(KinemGetField(key, idx, v), 0);
      int32_t n = 0;
      ASSERT_TRUE(strtoint(trimmed(std::string_view(v, 512)), n));
      const std::string next = hostText(std::to_string(n + 1));
      ASSERT_EQ(KinemSetField(key, idx, next.c_str()), 0);
    }
  };
  std::thread a(count, 12), b(count, 13);
  // A third thread reads and rewrites other fields meanwhile.
  std::thread c([key, &start] {
    start();
    Arr arr;
    char text[512];
    Fields f;
    for (int i = 0; i < kCounts; ++i) {
      ASSERT_EQ(f.get(key), 0);
      ASSERT_EQ(KinemDataToArray(key, arr, text), 0);
      ASSERT_EQ(KinemSetField(key, 7, i % 2 ? "S" : "U"), 0);
    }
  });
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(field(key, 12), std::to_string(kCounts));
  EXPECT_EQ(field(key, 13), std::to_string(kCounts));
}

INSTANTIATE_TEST_SUITE_P(KeyModes, KinemFields, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int32_t>& i) { return i.param ? "Dma" : "Tree"; });

}  // namespace
}  // namespace vx::kinem
