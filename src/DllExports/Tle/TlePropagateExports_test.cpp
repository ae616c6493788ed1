// Snapshots of the store's sets and one set at its times, through the
// exported interface, in both key modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "Services/chronom.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/orbix.h"
#include "veltrix/tle.h"

namespace {

// A low orbit, a 12-hour deep-space orbit and one whose perigee lies
// below the surface (it decays within the first revolution).
struct Gp {
  int32_t satNum, epochYr;
  double epochDays, bStar, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, nDotO2, n2DotO6;
};
const Gp kSets[] = {
    {25544, 2018, 20.59659722, 3.0975e-5, 51.6421, 313.2312, 0.000337, 277.6394, 199.7473, 15.54148547, 1.558e-5, 0},
    {11801, 1980, 230.29629788, 1.4311e-4, 46.7916, 230.4354, 0.7318036, 47.4722, 10.4117, 2.28537848, 1.431e-5, 0},
    {40000, 2020, 100.5, 1.0e-4, 51.6, 10.0, 0.05, 20.0, 180.0, 16.4, 0, 0},
};
constexpr int32_t kCount = 3;

int64_t add(const Gp& g, int32_t ephType = 0) {
  return TleAddSatFrFieldsGP2(g.satNum, 'U', "TEST    ", g.epochYr, g.epochDays, g.bStar, ephType, 1, g.incli,
                              g.raNode, g.eccen, g.argPer, g.mnAnomaly, g.mnMotion, 1, g.nDotO2, g.n2DotO6);
}

std::vector<double> values(const Gp& g) {
  return {vx::yrdays2ds50(g.epochYr, g.epochDays), g.mnMotion, g.eccen, g.incli, g.raNode, g.argPer,
          g.mnAnomaly, g.bStar, g.nDotO2, g.n2DotO6};
}

struct States {
  std::vector<double> pos, vel;
  std::vector<int32_t> err;
  States(const OrbixSnapshot* s, const std::vector<double>& times) {
    const size_t n = static_cast<size_t>(OrbixSnapshotCount(s)) * times.size();
    pos.assign(3 * n, -1.0);
    vel.assign(3 * n, -1.0);
    err.assign(n, -1);
    EXPECT_EQ(OrbixPropagate(s, 0, OrbixSnapshotCount(s), times.data(), static_cast<int32_t>(times.size()),
                             ORBIX_TIME_SINCE_EPOCH, ORBIX_LAYOUT_OUTER, pos.data(), vel.data(), err.data()),
              VX_OK);
  }
  bool operator==(const States& o) const {
    return err == o.err && std::memcmp(pos.data(), o.pos.data(), pos.size() * sizeof(double)) == 0 &&
           std::memcmp(vel.data(), o.vel.data(), vel.size() * sizeof(double)) == 0 && pos.size() == o.pos.size();
  }
};

std::vector<int64_t> ids(const OrbixSnapshot* s) {
  std::vector<int64_t> out(static_cast<size_t>(OrbixSnapshotCount(s)));
  EXPECT_EQ(OrbixSnapshotGetIds(s, 0, static_cast<int32_t>(out.size()), out.data()), VX_OK);
  return out;
}

class TlePropagate : public ::testing::TestWithParam<int32_t> {
 protected:
  std::vector<int64_t> keys;
  void SetUp() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(GetParam());
    for (const Gp& g : kSets) keys.push_back(add(g));
    for (int64_t k : keys) ASSERT_GT(k, 0);
  }
  void TearDown() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(0);
  }
};

// Keys, the whole store and element values give the same states, bit for
// bit, and TlePropagateSat gives them too.
TEST_P(TlePropagate, KeysStoreAndElementValuesAgree) {
  const std::vector<double> times = {-720.0, 0.0, 90.0, 1440.0};
  std::vector<double> els;
  for (const Gp& g : kSets) {
    const std::vector<double> v = values(g);
    els.insert(els.end(), v.begin(), v.end());
  }
  int32_t st = -1;
  OrbixSnapshot* byValues = OrbixSnapshotFromElements(els.data(), kCount, 0, 'i', &st);
  OrbixSnapshot* byKeys = TleSnapshot(keys.data(), kCount, 0, 0, &st);
  ASSERT_EQ(st, VX_OK);
  OrbixSnapshot* all = TleSnapshot(nullptr, -5, 72, 'i', &st);
  ASSERT_EQ(st, VX_OK);
  const States want(byValues, times);
  EXPECT_TRUE(States(byKeys, times) == want);
  EXPECT_EQ(ids(byKeys), keys);
  // The whole store in ascending key order.
  std::vector<int64_t> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(ids(all), sorted);
  OrbixSnapshot* inOrder = TleSnapshot(sorted.data(), kCount, 0, 'i', &st);
  EXPECT_TRUE(States(all, times) == States(inOrder, times));
  for (size_t i = 0; i < keys.size(); ++i) {
    std::vector<double> p(3 * times.size()), v(p.size());
    std::vector<int32_t> e(times.size());
    ASSERT_EQ(TlePropagateSat(keys[i], times.data(), 4, ORBIX_TIME_SINCE_EPOCH, 0, 'i', p.data(), v.data(),
                              e.data()),
              VX_OK);
    EXPECT_EQ(std::memcmp(p.data(), &want.pos[i * p.size()], p.size() * sizeof(double)), 0) << i;
    EXPECT_EQ(std::memcmp(v.data(), &want.vel[i * v.size()], v.size() * sizeof(double)), 0) << i;
  }
  for (OrbixSnapshot* s : {byValues, byKeys, all, inOrder}) OrbixSnapshotFree(s);
}

// Keys without a set: removed, off by one, random, DMA-looking, 0 and -1.
TEST_P(TlePropagate, KeysWithoutASetGiveCode8AndOneLogLine) {
  const int64_t stale = keys[2];
  ASSERT_EQ(TleRemoveSat(stale), VX_OK);
  const int64_t list[] = {keys[0], stale, keys[1] + 1, 0x5a5a5a5a5a5a, 10, 0, -1, keys[1]};
  constexpr int32_t n = 8;
  vx::testing::LogCapture log;
  int32_t st = -1;
  OrbixSnapshot* s = TleSnapshot(list, n, 0, 'a', &st);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(st, VX_FAIL);
  ASSERT_EQ(log.errors().size(), 1u);
  char key19[20];
  std::snprintf(key19, sizeof key19, "%19lld", static_cast<long long>(stale));
  EXPECT_EQ(log.errors()[0], std::string("TleSnapshot: 6 of 8 satKeys not loaded, the first ") + key19 + ".");
  EXPECT_EQ(ids(s), std::vector<int64_t>(list, list + n));
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(OrbixSnapshotInitError(s, i), i == 0 || i == 7 ? 0 : 8) << i;
  const States got(s, {10.0});
  for (int32_t i = 1; i < 7; ++i) EXPECT_EQ(got.pos[3 * static_cast<size_t>(i)], 0.0);
  OrbixSnapshotFree(s);

  double t = 0.0, p[3], v[3];
  int32_t e = -1;
  log.clear();
  EXPECT_EQ(TlePropagateSat(stale, &t, 1, 0, 0, 'i', p, v, &e), VX_FAIL);
  ASSERT_EQ(log.errors().size(), 1u);
  EXPECT_EQ(log.errors()[0], std::string("TlePropagateSat: No element set of satKey ") + key19);
  EXPECT_EQ(e, -1);
}

TEST_P(TlePropagate, EmptyListsAndBadArguments) {
  int32_t st = -1;
  OrbixSnapshot* s = TleSnapshot(keys.data(), 0, 0, 'i', &st);
  EXPECT_EQ(st, VX_OK);
  EXPECT_EQ(OrbixSnapshotCount(s), 0);
  OrbixSnapshotFree(s);
  TleRemoveAllSats();
  s = TleSnapshot(nullptr, 0, 0, 'i', &st);
  EXPECT_EQ(st, VX_OK);
  EXPECT_EQ(OrbixSnapshotCount(s), 0);
  OrbixSnapshotFree(s);
  struct Row {
    int32_t count, grav;
    char ops;
  };
  const Row rows[] = {{-1, 0, 'i'}, {1, 85, 'i'}, {1, 0, 'x'}};
  for (const Row& r : rows) {
    vx::testing::LogCapture log;
    st = -1;
    EXPECT_EQ(TleSnapshot(keys.data(), r.count, r.grav, r.ops, &st), nullptr);
    EXPECT_EQ(st, VX_FAIL);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind("TleSnapshot: ", 0), 0u);
  }
  keys[0] = add(kSets[0]);
  double t = 0.0, p[3] = {5, 5, 5}, v[3];
  int32_t e = 5;
  EXPECT_EQ(TlePropagateSat(keys[0], &t, -1, 0, 0, 'i', p, v, &e), VX_FAIL);
  EXPECT_EQ(TlePropagateSat(keys[0], nullptr, 1, 0, 0, 'i', p, v, &e), VX_FAIL);
  EXPECT_EQ(TlePropagateSat(keys[0], &t, 1, 2, 0, 'i', p, v, &e), VX_FAIL);
  EXPECT_EQ(TlePropagateSat(keys[0], &t, 1, 0, 0, 'i', p, nullptr, &e), VX_FAIL);
  EXPECT_EQ(TlePropagateSat(keys[0], &t, 1, 0, 1, 'i', p, v, &e), VX_FAIL);
  EXPECT_EQ(p[0], 5.0);
  EXPECT_EQ(e, 5);
  EXPECT_EQ(TlePropagateSat(keys[0], nullptr, 0, 0, 0, 'i', nullptr, nullptr, nullptr), VX_OK);
}

// Bad times and a decayed set give their codes, zero states, never NaN; a
// set of ephemeris type 4 gives code 9.
TEST_P(TlePropagate, BadTimesDecayAndType4) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double ds0 = vx::yrdays2ds50(kSets[0].epochYr, kSets[0].epochDays);
  struct Row {
    size_t set;
    double t;
    int32_t mode, code;
  };
  const Row rows[] = {{0, nan, 0, 7},        {0, inf, 0, 7},        {0, -inf, 1, 7},   {0, 2e9, 0, 7},
                      {0, ds0 + 1e6, 1, 7},  {0, ds0 + 0.5, 1, 0},  {1, 1e5, 0, 0},    {2, 44.0, 0, 6}};
  for (const Row& r : rows) {
    double p[3], v[3];
    int32_t e = -1;
    ASSERT_EQ(TlePropagateSat(keys[r.set], &r.t, 1, r.mode, 0, 'i', p, v, &e), VX_OK);
    EXPECT_EQ(e, r.code) << r.set << " " << r.t;
    for (int k = 0; k < 3; ++k) {
      EXPECT_FALSE(std::isnan(p[k]) || std::isnan(v[k]));
      if (r.code != 0) {
        EXPECT_EQ(p[k], 0.0);
      }
    }
  }
  const int64_t type4 = add(Gp{20000, 2020, 50.5, 1e-4, 98.0, 10.0, 0.001, 0.0, 0.0, 14.2, 0, 0}, 4);
  ASSERT_GT(type4, 0);
  double t = 0.0, p[3], v[3];
  int32_t e = -1;
  ASSERT_EQ(TlePropagateSat(type4, &t, 1, 0, 0, 'i', p, v, &e), VX_OK);
  EXPECT_EQ(e, 9);
  int32_t st = -1;
  OrbixSnapshot* s = TleSnapshot(&type4, 1, 0, 'i', &st);
  EXPECT_EQ(st, VX_OK);
  EXPECT_EQ(OrbixSnapshotInitError(s, 0), 9);
  OrbixSnapshotFree(s);
}

// A snapshot is propagated on one thread while another empties the store
// and fills it again: every result stays what it was.
TEST_P(TlePropagate, ConcurrencyStoreEmptiedWhileSnapshotInUse) {
  int32_t st = -1;
  OrbixSnapshot* s = TleSnapshot(nullptr, 0, 0, 'i', &st);
  ASSERT_EQ(st, VX_OK);
  const std::vector<double> times = {0.0, 60.0, 600.0};
  const States want(s, times);
  std::atomic<bool> done{false};
  std::atomic<int> differ{0};
  std::thread prop([&] {
    for (int i = 0; i < 300; ++i) {
      if (!(States(s, times) == want)) ++differ;
    }
    done = true;
  });
  std::thread writer([&] {
    while (!done) {
      TleRemoveAllSats();
      for (const Gp& g : kSets) (void)add(g);
    }
  });
  prop.join();
  writer.join();
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(ids(s).size(), keys.size());
  OrbixSnapshotFree(s);
}

INSTANTIATE_TEST_SUITE_P(KeyModes, TlePropagate, ::testing::Values(VX_KEY_MODE_TREE, VX_KEY_MODE_DMA));

}  // namespace
