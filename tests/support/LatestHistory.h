// For tests of the lookup of a satellite's latest element set: a history of
// sets added in a given order and then removed from the latest down, every
// answer checked against a scan of what the test itself stored.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vx::testing {

struct StoredSet {
  int64_t key;
  double epoch;
};

// The latest of sets by epoch, the larger key among equal epochs; -1 for none.
inline int64_t latestByScan(const std::vector<StoredSet>& sets) {
  const StoredSet* best = nullptr;
  for (const StoredSet& s : sets)
    if (best == nullptr || s.epoch > best->epoch || (s.epoch == best->epoch && s.key > best->key)) best = &s;
  return best != nullptr ? best->key : -1;
}

struct LatestHistory {
  int32_t satNum;                          // the number of every set
  std::vector<double> epochs;              // epoch of set i, in any unit that orders them
  std::function<int64_t(size_t)> add;      // adds set i: its key, or not above 0 when none was stored
  std::function<int64_t(int32_t)> latest;  // the lookup under test
  std::function<int32_t(int64_t)> remove;  // 0 when removed

  // Adds the sets in order, checking the lookup after each add, then
  // removes the answer until nothing is left.
  void run(const std::vector<size_t>& order) const {
    std::vector<StoredSet> stored;
    for (size_t i : order) {
      const int64_t key = add(i);
      if (key > 0) stored.push_back({key, epochs[i]});
      ASSERT_EQ(latest(satNum), latestByScan(stored)) << "after adding set " << i;
    }
    while (!stored.empty()) {
      const int64_t key = latest(satNum);
      ASSERT_EQ(key, latestByScan(stored)) << stored.size() << " sets left";
      ASSERT_EQ(remove(key), 0);
      std::erase_if(stored, [&](const StoredSet& s) { return s.key == key; });
    }
    EXPECT_EQ(latest(satNum), -1);
  }

  void runBothOrders() const {
    std::vector<size_t> order(epochs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    run(order);
    std::vector<size_t> reversed(order.rbegin(), order.rend());
    run(reversed);
  }
};

}  // namespace vx::testing
