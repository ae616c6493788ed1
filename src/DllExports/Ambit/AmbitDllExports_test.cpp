#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "Ambit/AmbitTestSupport.h"
#include "veltrix/ambit.h"

namespace {

using vx::ambit::testing::AmbitStateTest;
using vx::ambit::testing::readfile;
using vx::ambit::testing::ScratchDir;

using EnvExportsTest = AmbitStateTest;

uint64_t bits(double x) { return std::bit_cast<uint64_t>(x); }

// The published constants of each set, typed in independently of the
// library's tables, in EnvGetGeoConst order 2..6 and 8..13 (1 is the
// flattening, checked by shape; 7 the rotation rate, the same for all).
struct Expected {
  int32_t idx;
  const char* name6;
  double modelflattening, j2, j3, j4, ke, radiuskm, ck2, ck4, velocityscale, earthratecanon, j5, mu;
};
const Expected kSets[] = {
    {2, "JGM2  ", 0.0033528106647474805, 0.00108262692563881, -2.53230781819177e-06, -1.6204299e-06,
     0.07436685995417885, 6378.1363, 0.000541313462819405, 6.076612125e-07, 0.12649635463367767,
     0.05883358650220168, 0.0, 398600.4415},
    {5, "GEM5  ", 0.003352835660760088, 0.001082629, -2.5412e-06, -1.6089e-06, 0.0743666129867, 6378.155,
     0.0005413145, 6.033375e-07, 0.12649640384753477, 0.05883378188534402, 0.0, 398601.299998451},
    {8, "EGM-08", 0.003352819752990295, 0.00108262617385222, -2.53241051856772e-06, -1.61989759991697e-06,
     0.07436685995417885, 6378.1363, 0.00054131308692611, 6.074615999688638e-07, 0.12649635463367764,
     0.05883358650220168, -2.27753590730836e-07, 398600.4415},
    {9, "GEM9  ", 0.003352835660760088, 0.00108262708, -2.5359e-06, -1.62462e-06, 0.0743668137601, 6378.14,
     0.00054131354, 6.092325e-07, 0.126496359827421, 0.05883362304757988, 0.0, 398600.639998969},
    {68, "SEM68R", 0.003352891869237217, 0.001082621, -2.627e-06, -1.583e-06, 0.0743667785, 6378.145,
     0.0005413105, 5.93625e-07, 0.126496320640168, 0.05883365094282389, 0.0, 398601.199437963},
    {72, "WGS-72", 0.003352779454167505, 0.001082616, -2.53881e-06, -1.65597e-06, 0.07436691613317341, 6378.135,
     0.000541308, 6.209887499999999e-07, 0.1264962848571814, 0.05883354205754931, -2.184827e-07, 398600.8},
    {84, "WGS-84", 0.0033528106647474805, 0.00108263, -2.5321531e-06, -1.6109876e-06, 0.07436685316871385,
     6378.137, 0.000541315, 6.0412035e-07, 0.12649635229263637, 0.0588335918703627, -2.3578565e-07, 398600.5},
    {96, "EGM-96", 0.003352819752990295, 0.00108262668355315, -2.53265648533224e-06, -1.619621591367e-06,
     0.07436685995417885, 6378.1363, 0.00054131334177655, 6.07358096762625e-07, 0.12649635463367767,
     0.05883358650220168, -2.27296082868698e-07, 398600.4415},
};

TEST_F(EnvExportsTest, EveryConstantOfEverySetUnderBothShapes) {
  for (int32_t shape : {1, 0}) {
    for (const Expected& e : kSets) {
      EnvSetEarthShape(shape);
      // Choose another set first, so the set is chosen under this shape.
      EnvSetGeoIdx(e.idx == 72 ? 84 : 72);
      EnvSetGeoIdx(e.idx);
      ASSERT_EQ(EnvGetGeoIdx(), e.idx);
      const std::string where = std::to_string(e.idx) + " shape " + std::to_string(shape);
      // Indexed by the EnvGetGeoConst index; 0 unused.
      const double want[14] = {0.0,   shape ? e.modelflattening : 0.0,
                               e.j2,  e.j3, e.j4, e.ke, e.radiuskm, 0.0043752690880113,
                               e.ck2, e.ck4, e.velocityscale, e.earthratecanon, e.j5, e.mu};
      for (int32_t k = 1; k <= 13; ++k) EXPECT_EQ(bits(EnvGetGeoConst(k)), bits(want[k])) << where << " index " << k;
      for (int32_t k : {0, 14, -1}) EXPECT_EQ(bits(EnvGetGeoConst(k)), bits(0.0)) << where << " index " << k;
      char name[7] = "??????";
      EnvGetGeoStr(name);
      EXPECT_STREQ(name, e.name6);
    }
  }
}

TEST_F(EnvExportsTest, FkConstantsAndAddress) {
  struct Fk {
    int32_t idx;
    double three[3];
  };
  const Fk sets[] = {{4, {0.017202791524949017, 5.06494548928754e-15, 1.73213060363866}},
                     {5, {0.017202791694070362, 5.075514194322695e-15, 1.7321343856509375}}};
  int64_t addr[2] = {};
  for (int i = 0; i < 2; ++i) {
    EnvSetFkIdx(sets[i].idx);
    ASSERT_EQ(EnvGetFkIdx(), sets[i].idx);
    addr[i] = EnvGetFkPtr();
    const double* stored = reinterpret_cast<const double*>(static_cast<intptr_t>(addr[i]));
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(bits(EnvGetFkConst(k + 1)), bits(sets[i].three[k])) << sets[i].idx << " index " << k + 1;
      EXPECT_EQ(bits(stored[k]), bits(sets[i].three[k])) << sets[i].idx << " address, field " << k;
    }
    for (int32_t k : {0, 4}) EXPECT_EQ(bits(EnvGetFkConst(k)), bits(0.0));
  }
  // Each set keeps its address; switching does not rewrite an address
  // handed out before.
  EnvSetFkIdx(4);
  EXPECT_EQ(EnvGetFkPtr(), addr[0]);
  EXPECT_EQ(bits(reinterpret_cast<const double*>(static_cast<intptr_t>(addr[1]))[0]), bits(sets[1].three[0]));
}

TEST_F(EnvExportsTest, SettersTakeValidInputOnly) {
  EnvSetGeoIdx(2);
  for (int32_t bad : {0, 1, 3, 73, 100}) EnvSetGeoIdx(bad);
  for (const char* bad : {"WGS", "08", "SPECTR", "", " WGS84"}) EnvSetGeoStr(bad);
  EXPECT_EQ(EnvGetGeoIdx(), 2);
  char geoStr[6];
  EnvGetGeoStr(geoStr);
  EXPECT_EQ(std::string(geoStr, 6), "JGM2  ");

  // Six characters with no NUL, names ended by a NUL, lower case.
  const std::pair<const char*, int32_t> names[] = {{"EGM-08", 8}, {"jgm2\0x", 2}, {"68\0WGS", 68}, {"egm96 ", 96}};
  for (const auto& [text, idx] : names) {
    char host[6];
    std::memcpy(host, text, sizeof host);
    EnvSetGeoStr(host);
    EXPECT_EQ(EnvGetGeoIdx(), idx) << text;
  }

  EnvSetFkIdx(4);
  for (int32_t bad : {0, 3, 6}) EnvSetFkIdx(bad);
  EXPECT_EQ(EnvGetFkIdx(), 4);
}

TEST_F(EnvExportsTest, InitResetsNothing) {
  EXPECT_EQ(EnvGetEarthShape(), 1);
  EXPECT_EQ(EnvGetGeoIdx(), 72);
  EXPECT_EQ(EnvGetFkIdx(), 5);
  EnvSetEarthShape(0);
  EXPECT_EQ(EnvInit(), 0);
  EXPECT_EQ(EnvGetEarthShape(), 0);
  EnvSetEarthShape(5);
  EXPECT_EQ(EnvGetEarthShape(), 1);

  char info[129];
  std::memset(info, '\0', sizeof info);
  EnvGetInfo(info);
  const std::string text(info, 128);
  EXPECT_NE(text.find("Ambit"), std::string::npos);
  EXPECT_EQ(text.find('\0'), std::string::npos) << "blank padded, no NUL";
}

TEST_F(EnvExportsTest, SaveAndLoadThroughHostBuffers) {
  ScratchDir dir;
  const std::string path = dir.file("env.txt");
  char name[512];
  std::memset(name, ' ', sizeof name);  // blank padded, no NUL
  std::memcpy(name, path.data(), path.size());
  EnvSetGeoIdx(84);
  EnvSetFkIdx(4);
  ASSERT_EQ(EnvSaveFile(name, 0), 0);
  EXPECT_EQ(readfile(path), "\n\n\n*** Geopotential Model ***\nBCONST=WGS-84  \n*** FK Model ***\nFKCONST=FK4 \n");
  EnvSetGeoIdx(72);
  EnvSetFkIdx(5);
  EXPECT_EQ(EnvLoadFile(path.c_str()), 0);
  EXPECT_EQ(EnvGetGeoIdx(), 84);
  EXPECT_EQ(EnvGetFkIdx(), 4);
  EXPECT_NE(EnvLoadFile(dir.path().c_str()), 0);
  EXPECT_EQ(EnvGetGeoIdx(), 84);
}

}  // namespace
