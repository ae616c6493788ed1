#include "Kinem/KinemLines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemColumns.h"
#include "Platform/kernix/core/Text.h"
#include "support/LogCapture.h"

namespace vx::kinem {
namespace {

using vx::testing::LogCapture;
using R = Kinemrecord&;

template <size_t N>
void setText(std::array<char, N>& field, std::string_view text) {
  field.fill(' ');
  std::memcpy(field.data(), text.data(), std::min(N, text.size()));
}

Kinemrecord goodVector() {
  Kinemrecord r;
  r.pos = {6524.834, -6862.875, 6448.296};
  r.vel = {4901.327, 5533.756, -1976.341};
  r.satNum = 25544;
  setText(r.intlDes, "98067A");
  setText(r.epochDtg, "18020.5");
  r.epochRev = 96357;
  r.elsetNum = 999;
  r.bTerm = 0.0123;
  setText(r.coordSys, "MMJ2K");
  return r;
}

// Every value check at its bound and one past it, with the whole message of
// each refusal.
TEST(KinemValueChecks, AtTheirBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double above1e9 = std::nextafter(1e9, 2e9), above1e6 = std::nextafter(1e6, 2e6);
  struct Case {
    const char* what;
    std::function<void(Kinemrecord&)> change;
    std::string message;  // empty: the record passes
  };
  const std::string v = "ValidateKinemValues: Invalid ";
  const std::vector<Case> cases = {
      {"default", [](R r) { r = Kinemrecord(); }, ""},
      {"posX 1e9", [](R r) { r.pos[0] = 1e9; }, ""},
      {"posX above 1e9", [=](R r) { r.pos[0] = above1e9; }, v + "PosX = 1000000000.0000001 (valid=-1E9 to 1E9)"},
      {"posY -1e9", [](R r) { r.pos[1] = -1e9; }, ""},
      {"posY below -1e9", [=](R r) { r.pos[1] = -above1e9; }, v + "PosY = -1000000000.0000001 (valid=-1E9 to 1E9)"},
      {"posZ NaN", [=](R r) { r.pos[2] = nan; }, v + "PosZ = NaN (valid=-1E9 to 1E9)"},
      {"velX 1e6", [](R r) { r.vel[0] = 1e6; }, ""},
      {"velX above 1e6", [=](R r) { r.vel[0] = above1e6; }, v + "VelX = 1000000.0000000001 (valid=-1E6 to 1E6)"},
      {"velY -1e6", [](R r) { r.vel[1] = -1e6; }, ""},
      {"velY 2e6", [](R r) { r.vel[1] = 2e6; }, v + "VelY = 2000000.0000000000 (valid=-1E6 to 1E6)"},
      {"velZ -inf", [=](R r) { r.vel[2] = -inf; }, v + "VelZ = -Infinity (valid=-1E6 to 1E6)"},
      {"satNum -1", [](R r) { r.satNum = -1; }, v + "satellite number = -1 (valid=1-999999999)"},
      {"satNum 0", [](R r) { r.satNum = 0; }, ""},
      {"satNum max", [](R r) { r.satNum = 999999999; }, ""},
      {"satNum max+1", [](R r) { r.satNum = 1000000000; }, v + "satellite number = 1000000000 (valid=1-999999999)"},
      {"epochRev -1", [](R r) { r.epochRev = -1; }, v + "Epoch Revolution = -1 (valid=0-99999)"},
      {"epochRev 0", [](R r) { r.epochRev = 0; }, ""},
      {"epochRev 999999", [](R r) { r.epochRev = 999999; }, ""},
      {"epochRev 1000000", [](R r) { r.epochRev = 1000000; }, v + "Epoch Revolution = 1000000 (valid=0-99999)"},
      {"elset -1", [](R r) { r.elsetNum = -1; }, v + "Element Set Number = -1 (valid=0-9999)"},
      {"elset 0", [](R r) { r.elsetNum = 0; }, ""},
      {"elset 9999", [](R r) { r.elsetNum = 9999; }, ""},
      {"elset 10000", [](R r) { r.elsetNum = 10000; }, v + "Element Set Number = 10000 (valid=0-9999)"},
      {"TMDAT", [](R r) { setText(r.coordSys, "TMDAT"); }, ""},
      {"TMEPO", [](R r) { setText(r.coordSys, "TMEPO"); }, ""},
      {"MMB50", [](R r) { setText(r.coordSys, "MMB50"); }, ""},
      {"blanks", [](R r) { setText(r.coordSys, ""); }, ""},
      {"mmj2k", [](R r) { setText(r.coordSys, "mmj2k"); },
       v + "vector coordinate system = mmj2k (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"},
      {" MMJ2", [](R r) { setText(r.coordSys, " MMJ2"); },
       v + "vector coordinate system =  MMJ2 (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"},
      {"coordSys tab", [](R r) { r.coordSys[4] = '\t'; }, v + "character code in Coordinate System = 9 (valid=32-126)"},
      // Reals without a range must still be numbers.
      {"bTerm max", [](R r) { r.bTerm = std::numeric_limits<double>::max(); }, ""},
      {"bTerm NaN", [=](R r) { r.bTerm = nan; }, v + "Ballistic Coefficient = NaN (finite)"},
      {"agom inf", [=](R r) { r.agom = inf; }, v + "Solar Radiation Pressure Coefficient = Infinity (finite)"},
      {"thrustAcc -inf", [=](R r) { r.thrustAcc = -inf; }, v + "In-track Thrust Acceleration = -Infinity (finite)"},
      {"weightedRms NaN", [=](R r) { r.weightedRms = nan; }, v + "Weighted RMS = NaN (finite)"},
      {"covariance term 55", [=](R r) { r.covariance = std::make_unique<Covariance>(), (*r.covariance)[54] = inf; },
       v + "Covariance Term 55 = Infinity (finite)"},
      {"stepSize NaN", [=](R r) { r.controls = std::make_unique<Card4pinput>(), r.controls->stepSize = nan; },
       v + "Integrator Step Size = NaN (finite)"},
      // Texts hold printable ASCII only: 32 to 126.
      {"class 31", [](R r) { r.secClass = '\x1f'; }, v + "character code in Classification = 31 (valid=32-126)"},
      {"class X", [](R r) { r.secClass = 'X'; }, ""},
      {"intlDes 126", [](R r) { r.intlDes[7] = '~'; }, ""},
      {"intlDes 127", [](R r) { r.intlDes[7] = '\x7f'; },
       v + "character code in International Designator = 127 (valid=32-126)"},
      {"epoch 128", [](R r) { r.epochDtg[0] = '\x80'; }, v + "character code in Epoch = 128 (valid=32-126)"},
      {"epoch newline", [](R r) { r.epochDtg[16] = '\n'; }, v + "character code in Epoch = 10 (valid=32-126)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Kinemrecord r = goodVector();
    c.change(r);
    const Kinemrecord before = r;
    LogCapture log;
    EXPECT_EQ(validatekinemvalues(r), c.message.empty() ? 0 : 2);
    EXPECT_EQ(log.errors(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(std::memcmp(r.pos.data(), before.pos.data(), sizeof r.pos), 0);  // nothing corrected
  }
}

// Every check runs, in order, each failing one logging its own line.
TEST(KinemValueChecks, AllRunInOrder) {
  Kinemrecord r = goodVector();
  r.bTerm = std::numeric_limits<double>::quiet_NaN();
  r.elsetNum = -2;
  r.pos[2] = 2e9;
  r.intlDes[0] = '\x01';
  LogCapture log;
  EXPECT_EQ(validatekinemvalues(r), 2);
  EXPECT_EQ(log.errors(), (std::vector<std::string>{
                              "ValidateKinemValues: Invalid PosZ = 2000000000.0000000 (valid=-1E9 to 1E9)",
                              "ValidateKinemValues: Invalid Element Set Number = -2 (valid=0-9999)",
                              "ValidateKinemValues: Invalid Ballistic Coefficient = NaN (finite)",
                              "ValidateKinemValues: Invalid character code in International Designator = 1 (valid=32-126)",
                          }));
}

TEST(KinemWriter, FieldForms) {
  struct Case {
    std::function<void(Kinemrecord&)> change;
    bool line1;
    Cols cols;
    std::string text;
  };
  const Case cases[] = {
      {[](R r) { r.pos[0] = -0.00004; }, true, card1p::kPos[0], "     -0.0000"},
      {[](R r) { r.pos[0] = 9999999.99994; }, true, card1p::kPos[0], "9999999.9999"},
      {[](R r) { r.pos[0] = 1e8; }, true, card1p::kPos[0], "************"},
      {[](R r) { r.pos[0] = std::nan(""); }, true, card1p::kPos[0], "************"},
      {[](R r) { r.vel[2] = -9999999.9999; }, true, card1p::kVel[2], "-9999999.9999"},
      {[](R r) { r.vel[2] = -1e8; }, true, card1p::kVel[2], "*************"},
      {[](R r) { r.secClass = ' '; }, true, {76, 80}, "  B1P"},
      {[](R r) { r.satNum = 0; }, false, card2p::kSatNum, "00000"},
      {[](R r) { r.satNum = 100000; }, false, card2p::kSatNum, "A0000"},
      {[](R r) { r.satNum = 339999; }, false, card2p::kSatNum, "Z9999"},
      {[](R r) { r.satNum = 340000; }, false, card2p::kSatNum, "*****"},
      // The epoch text right-adjusted; blanks inside it stay.
      {[](R r) { setText(r.epochDtg, " 18020 5"); }, false, {14, 32}, std::string(11, ' ') + "18020 5 "},
      {[](R r) { setText(r.epochDtg, "2018/020.59659722"); }, false, card2p::kEpochDtg, "2018/020.59659722"},
      {[](R r) { setText(r.epochDtg, ""); }, false, card2p::kEpochDtg, std::string(17, ' ')},
      {[](R r) { r.epochRev = 999999; }, false, {32, 38}, " 999999"},
      {[](R r) { r.epochRev = 1000000; }, false, {32, 38}, " ******"},
      {[](R r) { r.elsetNum = 9999; }, false, {39, 43}, " 9999"},
      {[](R r) { r.elsetNum = 10000; }, false, {39, 43}, " ****"},
      {[](R r) { r.bTerm = -0.5; }, false, card2p::kTerms[0], "-.50000000"},
      {[](R r) { r.bTerm = 123456.789; }, false, card2p::kTerms[0], "123456.789"},
      {[](R r) { r.bTerm = 999999999.4; }, false, card2p::kTerms[0], "999999999."},
      {[](R r) { r.bTerm = 1e9; }, false, card2p::kTerms[0], "**********"},
      {[](R r) { r.agom = 1.5e-3; }, false, card2p::kTerms[1], ".001500000"},
      {[](R r) { r.thrustAcc = 4e-10; }, false, card2p::kTerms[2], ".000000000"},
      {[](R r) { setText(r.coordSys, "TMDAT"); }, false, {74, 80}, "TMDAT2P"},
  };
  for (const Case& c : cases) {
    Kinemrecord r = goodVector();
    c.change(r);
    char o1[kLineLen], o2[kLineLen];
    kinem2lines(r, o1, o2);
    EXPECT_EQ(colText(std::string_view(c.line1 ? o1 : o2, kLineLen), c.cols), c.text);
    EXPECT_EQ(std::string_view(o1 + kCardCols, kLineLen - kCardCols), std::string(kLineLen - kCardCols, ' '));
    EXPECT_EQ(std::string_view(o2 + kCardCols, kLineLen - kCardCols), std::string(kLineLen - kCardCols, ' '));
  }
}

// A value too wide for its columns is written as asterisks, which the
// reader refuses.
TEST(KinemWriter, TooWideFailsOnReading) {
  Kinemrecord r = goodVector();
  r.pos[0] = 1e8;
  char o1[kLineLen], o2[kLineLen];
  kinem2lines(r, o1, o2);
  LogCapture log;
  Kinemrecord back;
  EXPECT_EQ(lines2kinem({o1, kLineLen}, {o2, kLineLen}, back), 2);
  EXPECT_EQ(log.errors(), std::vector<std::string>{"Lines2Kinem: Error reading 1P: " + std::string(o1, kLineLen)});
}

// Random valid vectors within the card ranges come back to card precision.
TEST(KinemWriter, RoundTripToCardPrecision) {
  std::mt19937_64 gen(20240601);
  std::uniform_real_distribution<double> pos(-999999.0, 9999999.0), vel(-1e6, 1e6), term(-99999.0, 99999.0);
  std::uniform_int_distribution<int32_t> sat(0, 339999), rev(0, 999999), elset(0, 9999), pick(0, 4);
  const char* codes[] = {"TMDAT", "TMEPO", "MMB50", "MMJ2K", ""};
  const char classes[] = {' ', 'C', 'S', 'U', 'U'};
  for (int i = 0; i < 2000; ++i) {
    Kinemrecord r;
    for (double& p : r.pos) p = pos(gen);
    for (double& v : r.vel) v = vel(gen);
    for (auto m : card2p::kTermMembers) r.*m = term(gen) * std::pow(10.0, -pick(gen) * 2);
    r.satNum = sat(gen);
    r.epochRev = rev(gen);
    r.elsetNum = elset(gen);
    r.secClass = classes[pick(gen)];
    setText(r.intlDes, i % 2 ? "98067A" : "x y");
    setText(r.epochDtg, i % 3 ? "18020.5" : "2018/020.59659722");
    setText(r.coordSys, codes[pick(gen)]);
    SCOPED_TRACE(i);

    char o1[kLineLen], o2[kLineLen];
    kinem2lines(r, o1, o2);
    EXPECT_EQ(kinemlinesloss(r, o1, o2), "");
    Kinemrecord b;
    ASSERT_EQ(lines2kinem({o1, kLineLen}, {o2, kLineLen}, b), 0);
    for (size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(b.pos[k], r.pos[k], 0.5e-4 * (1 + 1e-9));
      EXPECT_NEAR(b.vel[k], r.vel[k], 0.5e-4 * (1 + 1e-9));
    }
    // Nine or ten characters of digits and point.
    for (auto m : card2p::kTermMembers) EXPECT_NEAR(b.*m, r.*m, 5e-8 * std::max(1.0, std::fabs(r.*m)) + 5e-10);
    EXPECT_EQ(b.satNum, r.satNum);
    EXPECT_EQ(b.epochRev, r.epochRev);
    EXPECT_EQ(b.elsetNum, r.elsetNum);
    EXPECT_EQ(b.secClass, r.secClass);
    EXPECT_EQ(b.intlDes, r.intlDes);
    EXPECT_EQ(b.coordSys, r.coordSys);
    EXPECT_EQ(trimmed(b.epoch()), trimmed(r.epoch()));
    EXPECT_EQ(b.epochDtg[16], r.epochDtg[r.epoch().find_last_not_of(' ')]);  // right-adjusted
  }
}

TEST(KinemLinesLoss, Reasons) {
  struct Case {
    const char* what;
    std::function<void(Kinemrecord&)> change;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"good", [](R) {}, ""},
      {"term below its last digit", [](R r) { r.agom = 4e-10; }, ""},
      {"satNum 339999", [](R r) { r.satNum = 339999; }, ""},
      {"satNum 340000", [](R r) { r.satNum = 340000; }, "satellite number outside 0-339999 of the cards"},
      {"class X", [](R r) { r.secClass = 'X'; }, "classification other than blank, C, S or U"},
      {"velocity refused", [](R r) { r.vel[1] = 2e6; }, "a value the checks refuse on reading"},
      {"coordSys refused", [](R r) { setText(r.coordSys, "mmj2k"); }, "a value the checks refuse on reading"},
      {"negative revolution", [](R r) { r.epochRev = -1; }, "a value the checks refuse on reading"},
      // Twelve columns hold seven integer digits, or a sign and six.
      {"position 1e7", [](R r) { r.pos[1] = 1e7; }, "position Y too wide for columns 13-24"},
      {"position below 1e7", [](R r) { r.pos[1] = 9999999.9999; }, ""},
      {"position -1e6", [](R r) { r.pos[1] = -1e6; }, "position Y too wide for columns 13-24"},
      {"position above -1e6", [](R r) { r.pos[1] = -999999.9999; }, ""},
      {"bTerm 1e9", [](R r) { r.bTerm = 1e9; }, "ballistic coefficient too wide for columns 44-53"},
      {"thrust -1e8", [](R r) { r.thrustAcc = -1e8; }, "thrust acceleration too wide for columns 64-73"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Kinemrecord r = goodVector();
    c.change(r);
    char o1[kLineLen], o2[kLineLen];
    kinem2lines(r, o1, o2);
    LogCapture log;
    EXPECT_EQ(kinemlinesloss(r, o1, o2), c.reason);
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
  }
  // Cards that are not what the writer made for the vector.
  Kinemrecord r = goodVector();
  char o1[kLineLen], o2[kLineLen];
  kinem2lines(r, o1, o2);
  struct Broken {
    char* line;
    int col;
    char c;
    std::string reason;
  };
  const Broken broken[] = {
      {o1, 79, ' ', "cards cannot be written"},
      {o2, 80, ' ', "cards cannot be written"},
      {o1, 40, '9', "velocity X changes when written"},
      {o2, 50, '9', "ballistic coefficient changes when written"},
      {o2, 5, '5', "satellite number changes when written"},
      {o2, 7, '0', "designator changes when written"},
      {o2, 15, '2', "epoch changes when written"},
      {o2, 38, '0', "revolution number changes when written"},
      {o2, 43, '0', "element set number changes when written"},
      {o2, 78, 'X', "coordinate system changes when written"},
  };
  for (const Broken& b : broken) {
    const char was = b.line[b.col - 1];
    b.line[b.col - 1] = b.c;
    EXPECT_EQ(kinemlinesloss(r, o1, o2), b.reason) << b.col;
    b.line[b.col - 1] = was;
  }
}

}  // namespace
}  // namespace vx::kinem
