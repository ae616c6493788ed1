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

// The lookup by satellite number gives exactly the pre-order walk's answer
// through adds with colliding and spilling keys, updates that change the
// number, removals, both key modes and DMA records released from outside.
TEST_F(SatNumLookupTest, SatKeyGetAgreesWithPreOrderWalk) {
  std::mt19937 rng(7);
  std::vector<int64_t> live;
  for (int step = 0; step < 4000; ++step) {
    mode.keyMode = step % 500 < 100 ? 1 : 0;
    const int op = static_cast<int>(rng() % 10);
    const int32_t sat = static_cast<int32_t>(rng() % 40);
    if (op < 5 || live.empty()) {
      // Epochs 990..1009 run past the end of the number's key range.
      MiniRec r = rec(sat, 990.0 + static_cast<double>(rng() % 20), static_cast<int32_t>(rng() % 3));
      const int64_t k = store.add(r, mode);
      if (k > 0) live.push_back(k);
    } else {
      const size_t at = rng() % live.size();
      const int64_t k = live[at];
      if (op < 7) {
        (void)store.update(k, rec(sat, 1.0, 1));
      } else if (op < 8) {
        (void)store.modify(k, [&](MiniRec& m) { return m.satNum = sat, 0; });
      } else {
        ASSERT_EQ(store.remove(k), 0);
        live.erase(live.begin() + static_cast<ptrdiff_t>(at));
      }
    }
    for (int32_t n = -1; n < 41; ++n) ASSERT_EQ(store.satKeyGet(n), store.satKeyGetByScan(n)) << "step " << step << " sat " << n;
  }
  int32_t err = 1;
  store.emptyTree(err);
  EXPECT_EQ(store.satKeyGet(3), -1);
}

}  // namespace
