#include "Store/SatNumLookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Store/StoreTestSupport.h"

namespace {

using namespace storetest;
using SatNumLookupTest = StoreTest;

// The latest set of a number by a look at every set: by epoch, then key.
int64_t latestByWalk(Store& s, int32_t satNum) {
  int64_t key = -1;
  double epoch = 0;
  s.forEachKeyedInOrder([&](int64_t k, const MiniRec& r) {
    if (r.satNum != satNum) return;
    if (key == -1 || r.epoch > epoch || (r.epoch == epoch && k > key)) key = k, epoch = r.epoch;
  });
  return key;
}

// Both lookups by satellite number give exactly the walks' answers through
// adds with colliding keys (epochs that share a key) and keys spilling past
// their number's range, updates that change the number or the epoch,
// removals, and both key modes.
TEST_F(SatNumLookupTest, SatKeyGetAndLatestAgreeWithWalks) {
  std::mt19937 rng(7);
  std::vector<int64_t> live;
  for (int step = 0; step < 4000; ++step) {
    mode.keyMode = step % 500 < 100 ? 1 : 0;
    const int op = static_cast<int>(rng() % 10);
    const int32_t sat = static_cast<int32_t>(rng() % 40);
    if (op < 5 || live.empty()) {
      // Four epochs share each key; keys taken run past the end of the
      // number's key range at 999.
      MiniRec r = rec(sat, 985.0 + static_cast<double>(rng() % 60) / 4, static_cast<int32_t>(rng() % 3));
      const int64_t k = store.add(r, mode);
      if (k > 0) live.push_back(k);
    } else {
      const size_t at = rng() % live.size();
      const int64_t k = live[at];
      if (op < 7) {
        (void)store.update(k, rec(sat, static_cast<double>(rng() % 1000), 1));
      } else if (op < 8) {
        (void)store.modify(k, [&](MiniRec& m) { return m.satNum = sat, 0; });
      } else {
        ASSERT_EQ(store.remove(k), 0);
        live.erase(live.begin() + static_cast<ptrdiff_t>(at));
      }
    }
    for (int32_t n = -1; n < 41; ++n) {
      ASSERT_EQ(store.satKeyGet(n), store.satKeyGetByScan(n)) << "step " << step << " sat " << n;
      ASSERT_EQ(store.satKeyLatest(n), latestByWalk(store, n)) << "step " << step << " sat " << n;
    }
  }
  int32_t err = 1;
  store.emptyTree(err);
  EXPECT_EQ(store.satKeyGet(3), -1);
  EXPECT_EQ(store.satKeyLatest(3), -1);
}

}  // namespace
