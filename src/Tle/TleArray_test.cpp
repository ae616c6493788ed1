#include "Tle/TleArray.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Tle/TleCardReading.h"
#include "support/LogCapture.h"
#include "veltrix/tle.h"

namespace vx::tle {
namespace {

const std::string kL1 = "1 41568U 98067JS  18020.44277298  .00034283  00000-0  18740-3 0  9991";
const std::string kL2 = "2 41568  51.6293 344.6959 0000617 270.9238  89.1693 15.79522238 93852";

struct Layout {
  std::vector<int32_t> elements;
  std::vector<std::string> names;
  std::vector<int32_t> isInteger;
};

Layout layoutOf(int32_t capacity) {
  Layout l;
  l.elements.assign(static_cast<size_t>(capacity) + 1, -7);
  l.isInteger.assign(static_cast<size_t>(capacity) + 1, -7);
  std::vector<char> names((static_cast<size_t>(capacity) + 1) * kColumnNameLen, '#');
  const int32_t n = TleGetArrayLayout(capacity, l.elements.data(), names.data(), l.isInteger.data());
  for (int32_t i = 0; i <= capacity; ++i)
    l.names.emplace_back(names.data() + static_cast<size_t>(i) * kColumnNameLen, kColumnNameLen);
  l.elements.push_back(n);
  return l;
}

TEST(TleArrayLayout, NamesTheColumnsHostsReadInElementOrder) {
  const Layout l = layoutOf(32);
  ASSERT_EQ(l.elements.back(), 14);
  const std::map<std::string, std::pair<int32_t, int32_t>> want = {
      {"satnum", {1, 1}},        {"epoch", {2, 0}},         {"ndot", {3, 0}},          {"nddot", {4, 0}},
      {"bstar", {5, 0}},         {"ephtype", {6, 1}},       {"inclination", {21, 0}},  {"raan", {22, 0}},
      {"eccentricity", {23, 0}}, {"arg_perigee", {24, 0}},  {"mean_anomaly", {25, 0}}, {"mean_motion", {26, 0}},
      {"rev_num", {27, 1}},      {"elset_num", {31, 1}}};
  for (size_t i = 0; i < 14; ++i) {
    std::string name = l.names[i];
    name.erase(name.find_last_not_of(' ') + 1);
    ASSERT_TRUE(want.count(name)) << name;
    EXPECT_EQ(want.at(name), std::make_pair(l.elements[i], l.isInteger[i])) << name;
    if (i > 0) {
      EXPECT_LT(l.elements[i - 1], l.elements[i]);
    }
  }
  EXPECT_EQ(l.names[14], std::string(kColumnNameLen, '#'));
}

TEST(TleArrayLayout, ElementsHoldTheRecordValues) {
  Tlerecord rec;
  ASSERT_EQ(lines2tle(kL1, kL2, rec), 0);
  TleArray arr;
  tle2arrayvalues(rec, arr);
  const Layout l = layoutOf(14);
  const std::map<std::string, double> want = {{"satnum", 41568}, {"ephtype", 0}, {"rev_num", 9385}, {"elset_num", 999},
                                              {"inclination", 51.6293}, {"mean_motion", 15.79522238}};
  for (size_t i = 0; i < 14; ++i) {
    std::string name = l.names[i];
    name.erase(name.find_last_not_of(' ') + 1);
    if (want.count(name)) {
      EXPECT_EQ(arr[static_cast<size_t>(l.elements[i] - 1)], want.at(name)) << name;
    }
  }
}

TEST(TleArrayLayout, CapacityBoundsEveryOutput) {
  for (int32_t cap : {0, 1, 13}) {
    const Layout l = layoutOf(cap);
    EXPECT_EQ(l.elements.back(), 14) << cap;
    const auto c = static_cast<size_t>(cap);
    EXPECT_EQ(l.elements[c], -7) << cap;
    EXPECT_EQ(l.isInteger[c], -7) << cap;
    EXPECT_EQ(l.names[c], std::string(kColumnNameLen, '#')) << cap;
  }
  EXPECT_EQ(TleGetArrayLayout(0, nullptr, nullptr, nullptr), 14);
}

TEST(TleArrayLayout, BadArgumentsAreRefusedAndLogged) {
  vx::testing::LogCapture log;
  int32_t e[2], k[2];
  char n[2 * kColumnNameLen];
  EXPECT_EQ(TleGetArrayLayout(-1, e, n, k), -1);
  EXPECT_EQ(TleGetArrayLayout(2, e, nullptr, k), -1);
  EXPECT_EQ(log.errors(), (std::vector<std::string>{
                              "TleGetArrayLayout: Invalid capacity or no buffer, capacity          -1.",
                              "TleGetArrayLayout: Invalid capacity or no buffer, capacity           2."}));
}

}  // namespace
}  // namespace vx::tle
