#include "veltrix/orbix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Platform/orbix/Snapshot.h"
#include "Services/kernix.h"

namespace {

namespace orb = vx::orbix;

// A low orbit, a Molniya-type 12-hour orbit (deep space, resonant) and a
// set that decays: perigee below the surface.
const std::vector<double> kSets = {
    20635.5, 15.5, 0.001, 51.6, 10.0, 20.0, 30.0, 1.0e-4, 0.0, 0.0,
    20640.25, 2.006, 0.72, 63.4, 100.0, 270.0, 5.0, 1.0e-4, 0.0, 0.0,
    20635.5, 16.4, 0.05, 51.6, 10.0, 20.0, 180.0, 1.0e-4, 0.0, 0.0,
};
constexpr int32_t kCount = 3;

struct SnapshotFixture : ::testing::Test {
  OrbixSnapshot* snap = nullptr;
  void SetUp() override {
    int32_t status = -1;
    snap = OrbixSnapshotFromElements(kSets.data(), kCount, 0, 'i', &status);
    ASSERT_NE(snap, nullptr);
    ASSERT_EQ(status, VX_OK);
  }
  void TearDown() override { OrbixSnapshotFree(snap); }
};

TEST(OrbixSnapshot, BadArgumentsGiveNullAndFail) {
  const double one[ORBIX_ELEM_SIZE] = {20635.5, 15.5, 0.001, 51.6, 10, 20, 30, 1e-4, 0, 0};
  struct Row {
    const double* el;
    int32_t count, grav;
    char mode;
    bool ok;
  };
  const Row rows[] = {
      {one, 1, 0, 'a', true},     {one, 1, 72, 'i', true},  {one, 1, 84, 'a', true},
      {one, 1, 721, 'a', true},   {nullptr, 0, 0, 'a', true}, {one, -1, 0, 'a', false},
      {nullptr, 1, 0, 'a', false}, {one, 1, 85, 'a', false}, {one, 1, 0, 'x', false},
  };
  for (const Row& r : rows) {
    int32_t status = -1;
    OrbixSnapshot* s = OrbixSnapshotFromElements(r.el, r.count, r.grav, r.mode, &status);
    EXPECT_EQ(s != nullptr, r.ok) << r.count << " " << r.grav << " " << r.mode;
    EXPECT_EQ(status, r.ok ? VX_OK : VX_FAIL);
    if (!r.ok) {
      EXPECT_NE(vx::lasterrmsg().find("OrbixSnapshotFromElements: "), std::string::npos);
    }
    OrbixSnapshotFree(s);
  }
  EXPECT_EQ(OrbixSnapshotCount(nullptr), 0);
  EXPECT_EQ(OrbixSnapshotInitError(nullptr, 0), -1);
}

TEST_F(SnapshotFixture, InitErrorsAreKeptPerSet) {
  double bad[2 * ORBIX_ELEM_SIZE] = {20635.5, 15.5, 1.2, 51.6, 10, 20, 30, 1e-4, 0, 0,
                                     20635.5, 15.5, 0.001, 51.6, 10, 20, 30, 1e-4, 0, 0};
  int32_t status = -1;
  OrbixSnapshot* s = OrbixSnapshotFromElements(bad, 2, 0, 'a', &status);
  ASSERT_EQ(status, VX_OK);
  EXPECT_EQ(OrbixSnapshotCount(s), 2);
  EXPECT_EQ(OrbixSnapshotInitError(s, 0), 1);
  EXPECT_EQ(OrbixSnapshotInitError(s, 1), 0);
  EXPECT_EQ(OrbixSnapshotInitError(s, 2), -1);
  double t = 10.0, p[3] = {1, 1, 1}, v[3] = {1, 1, 1};
  int32_t err = -1;
  EXPECT_EQ(OrbixPropagate(s, 0, 1, &t, 1, 0, 0, p, v, &err), VX_OK);
  EXPECT_EQ(err, 1);
  EXPECT_EQ(p[0], 0.0);
  OrbixSnapshotFree(s);
  EXPECT_EQ(OrbixSnapshotCount(snap), kCount);
}

TEST_F(SnapshotFixture, BadRangesFailAndWriteNothing) {
  const double times[3] = {0.0, 60.0, 120.0};
  struct Row {
    int32_t first, count, timeCount, timeMode, layout;
  };
  const Row rows[] = {
      {-1, 1, 1, 0, 0}, {0, -1, 1, 0, 0}, {0, 1, -1, 0, 0}, {2, 2, 1, 0, 0}, {3, 1, 1, 0, 0},
      {0, 1, 1, 2, 0},  {0, 1, 1, 0, 2},  {0, 2, 3, 0, 1},  {0x7fffffff, 1, 1, 0, 0},
  };
  for (const Row& r : rows) {
    std::vector<double> p(30, 5.0), v(30, 5.0);
    std::vector<int32_t> e(10, 5);
    EXPECT_EQ(OrbixPropagate(snap, r.first, r.count, times, r.timeCount, r.timeMode, r.layout, p.data(),
                             v.data(), e.data()),
              VX_FAIL)
        << r.first << " " << r.count;
    EXPECT_NE(vx::lasterrmsg().find("OrbixPropagate: "), std::string::npos);
    for (double x : p) EXPECT_EQ(x, 5.0);
    for (int32_t x : e) EXPECT_EQ(x, 5);
  }
  double p[3], v[3];
  int32_t e;
  EXPECT_EQ(OrbixPropagate(nullptr, 0, 1, times, 1, 0, 0, p, v, &e), VX_FAIL);
  EXPECT_EQ(OrbixPropagate(snap, 0, 1, nullptr, 1, 0, 0, p, v, &e), VX_FAIL);
  EXPECT_EQ(OrbixPropagate(snap, 0, 1, times, 1, 0, 0, p, nullptr, &e), VX_FAIL);
  EXPECT_EQ(OrbixPropagate(snap, 3, 0, times, 1, 0, 0, nullptr, nullptr, nullptr), VX_OK);  // empty range
}

// Outer and zipped layouts, minutes and ds50, against the scalar model.
TEST_F(SnapshotFixture, LayoutsAgreeWithTheScalarModel) {
  const double times[2] = {-1440.0, 90.0};
  std::vector<double> po(2 * 2 * 3), vo(po.size());
  std::vector<int32_t> eo(4);
  ASSERT_EQ(OrbixPropagate(snap, 0, 2, times, 2, ORBIX_TIME_SINCE_EPOCH, ORBIX_LAYOUT_OUTER, po.data(),
                           vo.data(), eo.data()),
            VX_OK);
  for (int i = 0; i < 2; ++i) {
    orb::Sgp4Set set;
    ASSERT_EQ(orb::sgp4init(orb::gpToMeanElements(&kSets[i * ORBIX_ELEM_SIZE]), orb::GravConst::wgs72(),
                            orb::OpsMode::improved, set),
              0);
    for (int j = 0; j < 2; ++j) {
      double r[3], v[3];
      ASSERT_EQ(orb::sgp4(set, times[j], r, v), 0);
      EXPECT_EQ(eo[i * 2 + j], 0);
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(po[(i * 2 + j) * 3 + k], r[k], 1e-7);
        EXPECT_NEAR(vo[(i * 2 + j) * 3 + k], v[k], 1e-10);
      }
    }
  }
  // Zipped: set 0 at times[0], set 1 at times[1], given as ds50.
  const double ds50[2] = {kSets[0] + times[0] / 1440.0, kSets[ORBIX_ELEM_SIZE] + times[1] / 1440.0};
  double pz[6], vz[6];
  int32_t ez[2];
  ASSERT_EQ(OrbixPropagate(snap, 0, 2, ds50, 2, ORBIX_TIME_DS50, ORBIX_LAYOUT_ZIPPED, pz, vz, ez), VX_OK);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(pz[k], po[k], 1e-6);
    EXPECT_NEAR(pz[3 + k], po[9 + k], 1e-6);
    EXPECT_NEAR(vz[3 + k], vo[9 + k], 1e-9);
  }
}

TEST_F(SnapshotFixture, FailedEntriesAreZeroNeverNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double times[3] = {nan, std::numeric_limits<double>::infinity(), 44.0};
  double p[9], v[9];
  int32_t e[3];
  ASSERT_EQ(OrbixSnapshotInitError(snap, 2), 0);
  ASSERT_EQ(OrbixPropagate(snap, 2, 1, times, 3, 0, 0, p, v, e), VX_OK);
  EXPECT_EQ(e[0], 7);
  EXPECT_EQ(e[1], 7);
  EXPECT_EQ(e[2], 6);  // perigee below the surface, half a revolution on
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(p[i], 0.0);
    EXPECT_EQ(v[i], 0.0);
  }
}

TEST(OrbixSnapshot, IdsAndGivenCodes) {
  const int64_t ids[kCount] = {-5, 7, INT64_MAX};
  const int32_t codes[kCount] = {0, 9, 0};
  int32_t status = -1;
  OrbixSnapshot* s = OrbixSnapshotFromElementsCodes(kSets.data(), ids, codes, kCount, 0, 0, &status);
  ASSERT_EQ(status, VX_OK);  // opsMode 0 is the improved mode
  EXPECT_EQ(OrbixSnapshotInitError(s, 1), 9);
  int64_t got[4] = {1, 1, 1, 1};
  ASSERT_EQ(OrbixSnapshotGetIds(s, 1, 2, got), VX_OK);
  EXPECT_EQ(got[0], 7);
  EXPECT_EQ(got[1], INT64_MAX);
  EXPECT_EQ(got[2], 1);
  struct Row {
    int32_t first, count;
    bool ok;
  };
  const Row rows[] = {{0, 3, true}, {3, 0, true}, {-1, 1, false}, {0, -1, false}, {1, 3, false}, {4, 0, false}};
  for (const Row& r : rows) {
    int64_t buf[4] = {1, 1, 1, 1};
    EXPECT_EQ(OrbixSnapshotGetIds(s, r.first, r.count, buf), r.ok ? VX_OK : VX_FAIL) << r.first << " " << r.count;
    if (!r.ok) {
      EXPECT_EQ(buf[0], 1);
    }
  }
  EXPECT_EQ(OrbixSnapshotGetIds(nullptr, 0, 0, got), VX_FAIL);
  EXPECT_EQ(OrbixSnapshotGetIds(s, 0, 1, nullptr), VX_FAIL);
  OrbixSnapshotFree(s);
  s = OrbixSnapshotFromElementsIds(kSets.data(), nullptr, kCount, 0, 'a', &status);
  ASSERT_EQ(OrbixSnapshotGetIds(s, 0, 3, got), VX_OK);
  EXPECT_EQ(got[0] | got[1] | got[2], 0);
  EXPECT_EQ(OrbixSnapshotInitError(s, 1), 0);
  OrbixSnapshotFree(s);
}

TEST(OrbixMessage, BlankPaddedPerCode) {
  struct Row {
    int32_t code;
    std::string start;
  };
  const Row rows[] = {{0, "no error"}, {6, "satellite has decayed"}, {8, "no element set for this key"},
                      {9, "not a mean element set of the SGP4 model (ephemeris type 4 or 6)"}, {10, "unknown error"}, {-1, "unknown error"}};
  for (const Row& r : rows) {
    char msg[129];
    msg[128] = 'X';
    OrbixGetMessage(r.code, msg);
    const std::string s(msg, 128);
    EXPECT_EQ(s.substr(0, r.start.size()), r.start);
    EXPECT_EQ(s.find_first_not_of(' ', r.start.size()), std::string::npos) << r.code;
    EXPECT_EQ(msg[128], 'X');
  }
}

}  // namespace
