#include "Kinem/KinemCardReading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Kinem/KinemColumns.h"
#include "Kinem/KinemLines.h"
#include "support/DecimalText.h"
#include "support/LogCapture.h"

namespace vx::kinem {
namespace {

using vx::testing::LogCapture;

// A card set as the writer lays it out.
const std::string kP1 = "   6524.8340   6862.8750   6448.2960    4901.3270    5533.7560   -1976.3410 UB1P";
const std::string kP2 = "25544 98067A  2018/020.59659722  96357  999.012345678.012300000-.00000100MMJ2K2P";

std::string pad(std::string s, size_t n = kLineLen) {
  s.resize(n, ' ');
  return s;
}

// The line with columns first.. replaced by text.
std::string withCols(std::string line, int first, const std::string& text) {
  return pad(line).replace(static_cast<size_t>(first - 1), text.size(), text);
}

// A position read from its columns is the double nearest the decimal
// written, as std::from_chars reads the same text.
TEST(KinemCards, PositionsReadAsNearestDouble) {
  std::mt19937_64 rng(17);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = vx::testing::randomDecimal(rng, 9);
    const double want = vx::testing::fromChars(text);
    Kinemrecord r;
    const std::string p1 = withCols(kP1, 1, std::string(12 - text.size(), ' ') + text);
    LogCapture log;
    ASSERT_EQ(lines2kinem(p1, pad(kP2), r), 0) << text << (log.errors().empty() ? "" : log.errors()[0]);
    ASSERT_EQ(std::memcmp(&r.pos[0], &want, sizeof want), 0) << text << ": " << r.pos[0] << " != " << want;
  }
}

TEST(KinemCards, ReadsEveryFieldAndWritesTheSameCards) {
  Kinemrecord r;
  r.covariance = std::make_unique<Covariance>();  // released on entry
  ASSERT_EQ(lines2kinem(pad(kP1), pad(kP2), r), 0);
  EXPECT_EQ(r.pos, (std::array<double, 3>{6524.834, 6862.875, 6448.296}));
  EXPECT_EQ(r.vel, (std::array<double, 3>{4901.327, 5533.756, -1976.341}));
  EXPECT_EQ(r.secClass, 'U');
  EXPECT_EQ(r.satNum, 25544);
  EXPECT_EQ(std::string(r.intlDes.data(), 8), "98067A  ");
  EXPECT_EQ(r.epoch(), "2018/020.59659722");
  EXPECT_EQ(r.epochRev, 96357);
  EXPECT_EQ(r.elsetNum, 999);
  EXPECT_EQ(r.bTerm, 0.012345678);
  EXPECT_EQ(r.agom, 0.0123);
  EXPECT_EQ(r.thrustAcc, -0.000001);
  EXPECT_EQ(r.coord(), "MMJ2K");
  EXPECT_FALSE(r.covariance);

  char o1[kLineLen], o2[kLineLen];
  kinem2lines(r, o1, o2);
  EXPECT_EQ(std::string(o1, kLineLen), pad(kP1));
  EXPECT_EQ(std::string(o2, kLineLen), pad(kP2));
}

// Number fields: blanks ignored, implied decimals on 1P only, exponents.
TEST(KinemCards, NumberFieldForms) {
  struct Case {
    std::string l1, l2;
    double posX, bTerm;
    int32_t rev, elset;
  };
  const Case cases[] = {
      // Twelve columns of digits without a point: the last four are decimals.
      {withCols(kP1, 1, "    -1234567"), kP2, -123.4567, 0.012345678, 96357, 999},
      {withCols(kP1, 1, "    1 2 3 45"), kP2, 1.2345, 0.012345678, 96357, 999},
      {withCols(kP1, 1, "     1.5E+03"), kP2, 1500, 0.012345678, 96357, 999},
      // The 2P terms have no implied decimals; a sign alone starts an exponent.
      {kP1, withCols(kP2, 44, "   12345-4"), 6524.834, 1.2345, 96357, 999},
      {kP1, withCols(kP2, 44, "        12"), 6524.834, 12, 96357, 999},
      {kP1, withCols(kP2, 44, "    1.5D-3"), 6524.834, 1.5e-3, 96357, 999},
      // Blank revolution and element set read 0 and pass.
      {kP1, withCols(kP2, 32, std::string(12, ' ')), 6524.834, 0.012345678, 0, 0},
      // Columns 32 and 39 belong to the numbers on reading.
      {kP1, withCols(kP2, 32, "1 234561 234"), 6524.834, 0.012345678, 123456, 1234},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.l1 + "\n" + c.l2);
    Kinemrecord r;
    LogCapture log;
    ASSERT_EQ(lines2kinem(pad(c.l1), pad(c.l2), r), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
    EXPECT_DOUBLE_EQ(r.pos[0], c.posX);
    EXPECT_DOUBLE_EQ(r.bTerm, c.bTerm);
    EXPECT_EQ(r.epochRev, c.rev);
    EXPECT_EQ(r.elsetNum, c.elset);
  }
}

// Each case breaks one column of a good set and pins the whole message.
TEST(KinemCards, BrokenColumnsGiveTheirMessages) {
  struct Case {
    std::string l1, l2;
    std::vector<std::string> errors;
  };
  const std::string p1 = pad(kP1), p2 = pad(kP2);
  const std::string bad1P = "Lines2Kinem: Invalid 1P card set.";
  const std::vector<Case> cases = {
      {withCols(kP1, 78, " "), p2, {bad1P}},
      {p2, p1, {bad1P}},
      {withCols(kP1, 78, "b1p"), p2, {bad1P}},
      {pad(kP1.substr(0, 79)), p2, {bad1P}},
      {p1, withCols(kP2, 79, "2Q"), {"Lines2Kinem: Invalid 2P card set."}},
      {p1, p1, {"Lines2Kinem: Invalid 2P card set."}},
      {withCols(kP1, 77, "X"), p2,
       {"Lines2Kinem: Line1 = '" + withCols(kP1, 77, "X") + "'.", "Lines2Kinem: Unknown Kinem's classify level 'X'."}},
      {withCols(kP1, 77, "u"), p2,
       {"Lines2Kinem: Line1 = '" + withCols(kP1, 77, "u") + "'.", "Lines2Kinem: Unknown Kinem's classify level 'u'."}},
      {withCols(kP1, 5, "x"), p2, {"Lines2Kinem: Error reading 1P: " + withCols(kP1, 5, "x")}},
      {withCols(kP1, 1, "************"), p2, {"Lines2Kinem: Error reading 1P: " + withCols(kP1, 1, "************")}},
      {withCols(kP1, 75, "?"), p2, {"Lines2Kinem: Error reading 1P: " + withCols(kP1, 75, "?")}},
      {p1, withCols(kP2, 35, "x"), {"Lines2Kinem: Error reading 2P: " + withCols(kP2, 35, "x")}},
      {p1, withCols(kP2, 43, "x"), {"Lines2Kinem: Error reading 2P: " + withCols(kP2, 43, "x")}},
      {p1, withCols(kP2, 73, "*"), {"Lines2Kinem: Error reading 2P: " + withCols(kP2, 73, "*")}},
      // Read well, refused by the value checks.
      {withCols(kP1, 50, "2000000.0000"), p2,
       {"ValidateKinemValues: Invalid VelY = 2000000.0000000000 (valid=-1E6 to 1E6)"}},
      {p1, withCols(kP2, 74, "mmj2k"),
       {"ValidateKinemValues: Invalid vector coordinate system = mmj2k (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"}},
      {p1, withCols(kP2, 32, "1000000"),
       {"ValidateKinemValues: Invalid Epoch Revolution = 1000000 (valid=0-99999)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.l1 + "\n" + c.l2);
    LogCapture log;
    Kinemrecord r;
    EXPECT_EQ(lines2kinem(c.l1, c.l2, r), 2);
    EXPECT_EQ(log.errors(), c.errors);
  }
}

TEST(KinemCards, ClassificationColumn) {
  for (const char c : {' ', 'C', 'S', 'U'}) {
    Kinemrecord r;
    ASSERT_EQ(lines2kinem(withCols(kP1, 77, std::string(1, c)), pad(kP2), r), 0) << c;
    EXPECT_EQ(r.secClass, c);
  }
}

// Only the first 512 characters are a card: a longer line is quoted cut
// there, in one log line.
TEST(KinemCards, LinesLongerThanACardAreCutThere) {
  const std::string longLine = withCols(kP1, 5, "x") + std::string(2000, 'Z');
  LogCapture log;
  Kinemrecord r;
  EXPECT_EQ(lines2kinem(longLine, pad(kP2), r), 2);
  EXPECT_EQ(log.errors(), std::vector<std::string>{"Lines2Kinem: Error reading 1P: " + withCols(kP1, 5, "x")});
}

TEST(KinemClassify, Table) {
  struct Case {
    std::string line;
    int32_t type;
  };
  const Case cases[] = {
      {kP1, kCard1P},
      {kP2, kCard2P},
      {withCols(kP2, 78, "B"), kCard2P},
      {withCols(kP1, 78, " "), kCardOther},
      {withCols(kP1, 78, "b1p"), kCardOther},
      // The card marks come before the keywords.
      {withCols("VECFIL=a.txt", 78, "B1P"), kCard1P},
      {withCols("OPXVECFILE=a", 79, "2P"), kCard2P},
      {"POS_VEL_ECI_STATE anything", kCardOpxState},
      {"pos_vel_eci_state", kCardOther},
      {"RUN_OPTION_DC_ONLY", kCardOpxDcOnly},
      {"VECFIL=a", kCardFile},
      {"VECFILE=a", kCardFile},
      {"VECTORFILE=a", kCardFile},
      {"ELTFILE=a", kCardFile},
      {"ELSETFILE=a", kCardFile},
      {"SATFIL=a", kCardFile},
      {" VECFIL=a", kCardOther},
      {"OPXVECFILE=a", kCardOpxVecFile},
      {"OPXCTRLFILE=a", kCardOpxCtrlFile},
      {"VX_DMA_ON", kCardDma},
      {"VX_DMA_O", kCardOther},
      {"", kCardOther},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kinemcardtype(pad(c.line)), c.type) << c.line;
    // Classification needs no padding.
    EXPECT_EQ(kinemcardtype(c.line), c.type) << c.line;
  }
}

}  // namespace
}  // namespace vx::kinem
