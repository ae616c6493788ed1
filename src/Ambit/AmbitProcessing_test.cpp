#include "Ambit/AmbitProcessing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "Ambit/AmbitTestSupport.h"

namespace vx::ambit {
namespace {

using testing::AmbitStateTest;

using ProcessingTest = AmbitStateTest;

TEST_F(ProcessingTest, StateAtLoad) {
  const Environment env = currentenvironment();
  EXPECT_EQ(env.currgeo, 72);
  EXPECT_EQ(env.genvgeo, &geoset(kWgs72Slot, true));
  EXPECT_EQ(env.currfk, 5);
  EXPECT_EQ(env.genvfk, &fk5);
  EXPECT_EQ(env.guseoblateearth, 1);
  EXPECT_EQ(std::bit_cast<uint64_t>(genvgeo().flattening), std::bit_cast<uint64_t>(0.003352779454167505));
}

// Steps are "S<shape>" for setearthshape and "G<index>" for setenvgeo; the
// case gives the current set and whether its flattening is the model's
// afterwards.
TEST_F(ProcessingTest, FlatteningFollowsShapeOnlyAsTheRulesSay) {
  struct Case {
    std::vector<std::string> steps;
    int32_t geo;
    bool modelFlattening;
  };
  const Case cases[] = {
      {{"S0"}, 72, false},
      {{"S0", "S1"}, 72, true},
      {{"S0", "G84"}, 84, false},
      {{"S0", "G84", "S1"}, 84, true},
      {{"G96", "S0"}, 96, false},
      {{"G84", "S0", "S1"}, 84, true},
      // Sets that do not follow the shape at once.
      {{"G8", "S0"}, 8, true},
      {{"S0", "G8", "S1"}, 8, false},
      {{"S0", "G8", "S1", "G8"}, 8, false},
      {{"S0", "G8", "S1", "G72", "G8"}, 8, true},
      {{"G8", "S0", "G84", "G8"}, 8, false},
      {{"G8", "S0", "G8"}, 8, true},
      {{"G2", "S0"}, 2, true},
      {{"S0", "G2", "S1"}, 2, false},
      {{"G5", "S0"}, 5, true},
      {{"S0", "G5", "S1"}, 5, false},
      {{"G9", "S0"}, 9, true},
      {{"S0", "G9", "S1"}, 9, false},
      {{"G68", "S0"}, 68, true},
      {{"S0", "G68", "S1"}, 68, false},
      // An index that names no set changes nothing.
      {{"G84", "G3"}, 84, true},
      {{"S0", "G8", "S1", "G0", "G8"}, 8, false},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& s : c.steps) {
      const int32_t v = std::stoi(s.substr(1));
      if (s[0] == 'S') setearthshape(v);
      else setenvgeo(v);
      trace += s + ' ';
    }
    const geoconstants& g = genvgeo();
    EXPECT_EQ(getenvgeo(), c.geo) << trace;
    const double want = c.modelFlattening ? g.modelflattening : 0.0;
    EXPECT_EQ(std::bit_cast<uint64_t>(g.flattening), std::bit_cast<uint64_t>(want)) << trace;
    EXPECT_EQ(getgeostr(getenvgeo()), std::string_view(g.name.data(), 8)) << trace;
    restore();
  }
}

TEST_F(ProcessingTest, EarthShapeValues) {
  for (int32_t shape : {0, 1, 7, -1, 0}) {
    setearthshape(shape);
    EXPECT_EQ(isusingoblateearth(), shape != 0 ? 1 : 0) << shape;
  }
}

TEST_F(ProcessingTest, FkChoice) {
  setenvfk(6);
  EXPECT_EQ(getenvfk(), 5);
  setenvfk(4);
  EXPECT_EQ(getenvfk(), 4);
  EXPECT_EQ(&genvfk(), &fk4);
  for (int32_t bad : {0, 6, -5}) {
    setenvfk(bad);
    EXPECT_EQ(getenvfk(), 4) << bad;
  }
  setenvfk(5);
  EXPECT_EQ(&genvfk(), &fk5);
}

TEST_F(ProcessingTest, GetGeoAndGetFkChangeNothingCurrent) {
  setearthshape(0);
  const geoconstants* set = nullptr;
  getgeo(84, set);
  EXPECT_EQ(set, &geoset(6, false));
  getgeo(1, set);  // no set has index 1: WGS-72
  EXPECT_EQ(set, &geoset(kWgs72Slot, false));
  EXPECT_EQ(getenvgeo(), 72);

  const fkconstants* fk = &fk5;
  getfk(4, fk);
  EXPECT_EQ(fk, &fk4);
  getfk(6, fk);
  EXPECT_EQ(fk, &fk4);
  EXPECT_EQ(getenvfk(), 5);
}

TEST(ConstByIndex, OutOfRangeGivesZero) {
  const geoconstants& g = geoset(0, true);
  for (int32_t idx : {0, 14, -1, 1000}) EXPECT_EQ(geoconstbyindex(g, idx), 0.0) << idx;
  for (int32_t idx : {0, 4, -1}) EXPECT_EQ(fkconstbyindex(fk4, idx), 0.0) << idx;
}

// Readers never see a half-made switch: the index, the set and, for the sets
// that follow the shape at once, the flattening always agree with each other
// within one reading, while writers switch everything as fast as they can.
TEST_F(ProcessingTest, ConcurrentReadersSeeWholeChoices) {
  std::atomic<bool> stop{false};
  std::atomic<long> bad{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < 20000; ++i) {
      setenvgeo(kGeoIndexes[static_cast<size_t>(i) % kGeoSetCount]);
      setenvfk(4 + i % 2);
    }
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 20000; ++i) setearthshape(i % 3 == 0 ? 0 : 1);
  });
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&] {
      while (!stop.load()) {
        const Environment env = currentenvironment();
        const geoconstants& g = *env.genvgeo;
        bool ok = getgeostr(env.currgeo) == std::string_view(g.name.data(), 8);
        if (env.currgeo == 72 || env.currgeo == 84 || env.currgeo == 96)
          ok = ok && g.flattening == (env.guseoblateearth ? g.modelflattening : 0.0);
        ok = ok && (g.flattening == 0.0 || g.flattening == g.modelflattening);
        ok = ok && env.genvfk == (env.currfk == 4 ? &fk4 : &fk5);
        if (!ok) ++bad;
      }
    });
  }
  threads[0].join();
  threads[1].join();
  stop = true;
  for (size_t i = 2; i < threads.size(); ++i) threads[i].join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace vx::ambit
