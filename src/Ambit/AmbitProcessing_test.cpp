#include "Ambit/AmbitProcessing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Ambit/AmbitTestSupport.h"

namespace vx::ambit {
namespace {

using ProcessingTest = testing::AmbitStateTest;

// Steps: "S<shape>" is setearthshape, "G<index>" setenvgeo. Each case gives
// the current set afterwards and whether its flattening is the model's.
TEST_F(ProcessingTest, FlatteningFollowsTheShapeAsTheRulesSay) {
  struct Case {
    std::vector<std::string> steps;
    int32_t geo;
    bool model;
  };
  std::vector<Case> cases = {
      // WGS-72, WGS-84 and EGM-96 follow the shape at once.
      {{"S0"}, 72, false}, {{"S0", "S1"}, 72, true}, {{"S0", "G84"}, 84, false},
      {{"S0", "G84", "S1"}, 84, true}, {{"G96", "S0"}, 96, false},
      // Choosing the current set again changes nothing; an index of no set
      // changes nothing.
      {{"S0", "G8", "S1", "G8"}, 8, false}, {{"S0", "G8", "S1", "G72", "G8"}, 8, true},
      {{"G8", "S0", "G84", "G8"}, 8, false}, {{"G84", "G3"}, 84, true}, {{"S0", "G8", "S1", "G0"}, 8, false},
  };
  // The other five keep the flattening they were chosen with.
  for (const char* g : {"G2", "G5", "G8", "G9", "G68"}) {
    const int32_t idx = std::stoi(g + 1);
    cases.push_back({{g, "S0"}, idx, true});
    cases.push_back({{"S0", g, "S1"}, idx, false});
  }
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& s : c.steps) {
      const int32_t v = std::stoi(s.substr(1));
      s[0] == 'S' ? setearthshape(v) : setenvgeo(v);
      trace += s + ' ';
    }
    const geoconstants& g = genvgeo();
    EXPECT_EQ(getenvgeo(), c.geo) << trace;
    EXPECT_EQ(getgeostr(c.geo), std::string_view(g.name.data(), 8)) << trace;
    EXPECT_EQ(g.flattening, c.model ? g.modelflattening : 0.0) << trace;
    restore();
  }
}

// Readers never see half a switch: within one reading the index, the set
// and, for the sets that follow the shape at once, the flattening agree,
// while two writers switch everything as fast as they can.
TEST_F(ProcessingTest, ConcurrentReadersSeeWholeChoices) {
  std::atomic<bool> stop{false};
  std::atomic<long> bad{0};
  std::thread sets([] {
    for (int i = 0; i < 20000; ++i) {
      setenvgeo(kGeoIndexes[static_cast<size_t>(i) % kGeoSetCount]);
      setenvfk(4 + i % 2);
    }
  });
  std::thread shapes([] {
    for (int i = 0; i < 20000; ++i) setearthshape(i % 3 == 0 ? 0 : 1);
  });
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const Environment env = currentenvironment();
        const geoconstants& g = *env.genvgeo;
        bool ok = getgeostr(env.currgeo) == std::string_view(g.name.data(), 8);
        if (env.currgeo == 72 || env.currgeo == 84 || env.currgeo == 96)
          ok = ok && g.flattening == (env.guseoblateearth ? g.modelflattening : 0.0);
        ok = ok && env.genvfk == (env.currfk == 4 ? &fk4 : &fk5);
        if (!ok) ++bad;
      }
    });
  }
  sets.join();
  shapes.join();
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace vx::ambit
