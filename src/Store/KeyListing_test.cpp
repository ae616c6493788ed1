#include "Store/KeyListing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
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
using KeyListingTest = StoreTest;

TEST(KeyListingOrder, HostValuesMapToOrders) {
  using vx::store::ListOrder;
  const struct {
    int32_t value;
    ListOrder order;
  } cases[] = {{0, ListOrder::BySortText}, {1, ListOrder::BySortTextReversed}, {2, ListOrder::ByLoad},
               {3, ListOrder::ByKey},      {-1, ListOrder::ByKey},             {INT32_MAX, ListOrder::ByKey}};
  for (const auto& c : cases) EXPECT_EQ(vx::store::toListOrder(c.value), c.order) << c.value;
}

TEST_F(KeyListingTest, EnumerationOrders) {
  // Loaded out of order; 10/5.2 collides with 10/5.7 and gets the next key.
  const int64_t k20 = keyOf(20, 3.0), k10 = keyOf(10, 5.7), k10b = k10 + 1, k5 = keyOf(5, 9.0);
  for (MiniRec r : {rec(20, 3.0), rec(10, 5.7), rec(10, 5.2), rec(5, 9.0)}) (void)store.add(r, mode);
  const struct {
    int32_t order;
    std::vector<int64_t> keys;
  } cases[] = {
      {0, {k5, k10b, k10, k20}}, {1, {k20, k10, k10b, k5}}, {2, {k20, k10, k10b, k5}},
      {3, {k5, k10, k10b, k20}}, {-1, {k5, k10, k10b, k20}},
  };
  for (const auto& c : cases) {
    int64_t keys[6] = {-7, 0, 0, 0, 0, -7};
    int32_t n = 1;  // written after what the caller already has
    store.getTreeKeys(n, keys, c.order);
    EXPECT_EQ(n, 5) << "order " << c.order;
    EXPECT_EQ(std::vector<int64_t>(keys + 1, keys + 5), c.keys) << "order " << c.order;
    EXPECT_EQ(keys[0], -7);
    EXPECT_EQ(keys[5], -7);
  }
  // The tree is k10b(k10(k5), k20): the pre-order search meets k10b first.
  EXPECT_EQ(store.satKeyGet(10), k10b);
  EXPECT_EQ(store.satKeyGet(99), -1);

  Store empty, one;
  MiniRec r = rec(3, 2.0);
  (void)one.add(r, mode);
  for (int32_t order : {0, 1, 2, 3}) {
    int64_t keys[1] = {-7};
    int32_t n = 0;
    empty.getTreeKeys(n, keys, order);
    EXPECT_EQ(n, 0);
    one.getTreeKeys(n, keys, order);
    EXPECT_TRUE(n == 1 && keys[0] == keyOf(3, 2.0));
  }
  EXPECT_EQ(empty.count(), 0);
  EXPECT_EQ(empty.satKeyGet(3), -1);
}

// Load order as the texts define it: each load number written I12.12 into a
// 32-character text, keys taken in reverse key order, sorted by text.
std::vector<int64_t> loadOrderByTexts(const Node* root) {
  std::vector<int64_t> keys;
  std::string texts;
  std::function<void(const Node*)> walk = [&](const Node* n) {
    if (n == nullptr) return;
    walk(n->right);
    keys.push_back(n->satKey);
    std::string text(vx::store::kSortTextLen, ' ');
    vx::fmt::writeI(text.data(), 12, n->seqNum, 12);
    texts += text;
    walk(n->left);
  };
  walk(root);
  texts += ' ';
  vx::quicksortiterative(keys.size(), texts.data(), keys.data(), vx::store::kSortTextLen);
  return keys;
}

TEST_F(KeyListingTest, LoadOrderEqualsTextOrderOfLoadNumbers) {
  const struct {
    int32_t loaded, keptEvery;                    // every n-th loaded node stays
    std::vector<std::pair<int, int32_t>> forced;  // load numbers of a wrapped counter: key, number
  } cases[] = {
      {9, 2, {}}, {3000, 3, {}}, {140000, 2, {}},  // above 65,536 keys: radix sort
      {100000, 25, {}},                            // few keys, load numbers above 65,535
      {9, 1, {{3, -5}, {6, -2147483647}}},         // negative: asterisks, tied
      {9, 1, {{2, 6}}},                            // repeated: equal texts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.loaded);
    Store s;
    std::vector<int64_t> keys;
    for (int32_t i = 0; i < c.loaded; ++i) keys.push_back(K(i));
    std::shuffle(keys.begin(), keys.end(), std::mt19937(static_cast<uint32_t>(c.loaded)));
    for (int64_t k : keys) addNode(s, makeNode(k, 0));
    for (size_t i = 0; i < keys.size(); ++i) {
      if (i % static_cast<size_t>(c.keptEvery) != 0) {
        ASSERT_EQ(s.remove(keys[i]), 0);
      }
    }
    for (const auto& [i, seq] : c.forced) {
      const Node* n = s.root();
      while (n->satKey != K(i)) n = K(i) < n->satKey ? n->left : n->right;
      const_cast<Node*>(n)->seqNum = seq;
    }
    const std::vector<int64_t> expected = loadOrderByTexts(s.root());
    std::vector<int64_t> got(expected.size() + 1, -7);
    int32_t n = 1;
    s.getTreeKeys(n, got.data(), 2);
    ASSERT_EQ(n, static_cast<int32_t>(expected.size()) + 1);
    EXPECT_EQ(got[0], -7);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.begin() + 1));
  }
}

TEST_F(KeyListingTest, ListingWithCapacityNeverWritesPastIt) {
  for (int i = 0; i < 10; ++i) {
    MiniRec r = rec(10 - i, 1.0, i);
    (void)store.add(r, mode);
  }
  for (const int32_t order : {0, 1, 2, 9}) {
    int32_t n = 0;
    std::vector<int64_t> all(10);
    store.getTreeKeys(n, all.data(), order);
    for (const int32_t cap : {0, 1, 9, 10, 11}) {
      std::vector<int64_t> got(12, -7);
      int32_t total = -1;
      const int32_t written = store.getTreeKeysN(order, cap, got.data(), total);
      EXPECT_EQ(total, 10);
      ASSERT_EQ(written, std::min(cap, 10)) << "order " << order << " cap " << cap;
      EXPECT_TRUE(std::equal(got.begin(), got.begin() + written, all.begin()));
      EXPECT_EQ(got[static_cast<size_t>(written)], -7);
    }
  }
}

}  // namespace
