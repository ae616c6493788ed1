#include "Kinem/KinemTypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Services/chronom.h"

namespace vx::kinem {
namespace {

Kinemrecord vector(int32_t satNum, std::string_view epoch) {
  Kinemrecord r;
  r.satNum = satNum;
  std::memcpy(r.epochDtg.data(), epoch.data(), std::min(epoch.size(), r.epochDtg.size()));
  std::memcpy(r.coordSys.data(), "MMJ2K", 5);
  r.pos = {7000.0, 1.0, 2.0};
  r.vel = {1.0, 7500.0, 3.0};
  return r;
}

TEST(KinemTypes, DefaultsAndDeepCopies) {
  Kinemrecord r;
  EXPECT_EQ(r.secClass, 'U');
  EXPECT_EQ(r.coord(), kCoordSysNone);
  EXPECT_FALSE(r.covariance || r.controls || r.mnvrCards);
  EXPECT_EQ(Card4pinput().ctlCode, 12);
  EXPECT_EQ(Card4pinput().errCtrl, 10);

  r.covariance = std::make_unique<Covariance>();
  (*r.covariance)[54] = 5.0;
  r.controls = std::make_unique<Card4pinput>();
  r.controls->stepSize = 2.0;
  r.mnvrCards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
  r.mnvrCards[99].fill('M');
  r.numMnvrCards = 100;
  Kinemrecord c(r);
  ASSERT_TRUE(c.covariance && c.controls && c.mnvrCards);
  EXPECT_NE(c.covariance.get(), r.covariance.get());
  EXPECT_EQ((*c.covariance)[54], 5.0);
  EXPECT_EQ(c.controls->stepSize, 2.0);
  EXPECT_EQ(c.mnvrCards[99][511], 'M');
  freekinemrecord(c);
  freekinemrecord(c);  // twice is harmless
  EXPECT_FALSE(c.covariance || c.controls || c.mnvrCards);
  EXPECT_EQ(c.numMnvrCards, 100);
}

// equal compares number, epoch, coordinate system and the state; nothing else.
TEST(KinemTypes, EqualTestsTheVectorOnly) {
  const Kinemrecord a = vector(7, "18020.5");
  const struct {
    const char* what;
    void (*change)(Kinemrecord&);
    bool equal;
  } cases[] = {
      {"element set number", [](Kinemrecord& r) { r.elsetNum = 9; }, true},
      {"revolution", [](Kinemrecord& r) { r.epochRev = 9; }, true},
      {"designator", [](Kinemrecord& r) { r.intlDes.fill('X'); }, true},
      {"class", [](Kinemrecord& r) { r.secClass = 'S'; }, true},
      {"covariance", [](Kinemrecord& r) { r.covariance = std::make_unique<Covariance>(); }, true},
      {"same epoch other form", [](Kinemrecord& r) { std::memcpy(r.epochDtg.data(), "2018/020.5       ", 17); }, true},
      {"satellite", [](Kinemrecord& r) { r.satNum = 8; }, false},
      {"epoch", [](Kinemrecord& r) { std::memcpy(r.epochDtg.data(), "18020.6          ", 17); }, false},
      {"coordinate system", [](Kinemrecord& r) { std::memcpy(r.coordSys.data(), "MMB50", 5); }, false},
      {"pos z", [](Kinemrecord& r) { r.pos[2] += 1e-3; }, false},
      {"vel x", [](Kinemrecord& r) { r.vel[0] += 1e-3; }, false},
      {"bTerm", [](Kinemrecord& r) { r.bTerm = 0.01; }, false},
      {"agom", [](Kinemrecord& r) { r.agom = 0.01; }, false},
      {"thrust", [](Kinemrecord& r) { r.thrustAcc = 1e-9; }, false},
  };
  for (const auto& c : cases) {
    Kinemrecord b(a);
    c.change(b);
    EXPECT_EQ(equal(a, b), c.equal) << c.what;
  }
}

TEST(KinemTypes, SortTextAndKeys) {
  char text[33] = {0};
  Kinemrecord r = vector(7, "1950/025.5");
  fieldstostr(r, text);
  EXPECT_EQ(std::string(text, 32), std::string("000000007    25.500000000") + std::string(7, ' '));

  const int64_t k = fieldstosatkey(25544, "18020.59659722");
  EXPECT_GT(k, 0);
  EXPECT_EQ(fieldstosatkey(25544, "   18020.59659722"), k);  // left-adjusted first
  // Trailing blanks read as zeros of the fraction.
  EXPECT_EQ(fieldstosatkey(25544, "18020.596597"), fieldstosatkey(25544, "18020.59659700000000"));
  EXPECT_GT(fieldstosatkey(25544, "18020.596597"), 0);
  EXPECT_EQ(k, createsatkey(25544, kKinemEltType, "18020.59659722", 0.0));
  EXPECT_EQ(kinemrecsatkey(vector(25544, "18020.59659722")), k);
  EXPECT_EQ(fieldstosatkey(-1, "18020.59659722"), -1);
  EXPECT_EQ(fieldstosatkey(1, "not a date"), -1);
}

}  // namespace
}  // namespace vx::kinem
