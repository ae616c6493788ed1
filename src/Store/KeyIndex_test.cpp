#include "Store/KeyIndex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

struct Item {};
using Index = vx::store::KeyIndex<Item>;

// Random inserts, removals and re-pointings against a map, over keys one,
// 160 or 2^40 apart, in phases that fill and drain the table: it stays a
// power of two between 30% and 70% full and finds exactly the map's keys.
TEST(KeyIndexTest, AgreesWithMapThroughGrowthAndShrinking) {
  for (const int64_t stride : {int64_t{1}, int64_t{160}, int64_t{1} << 40}) {
    SCOPED_TRACE(stride);
    std::mt19937 rng(7);
    std::vector<Item> items(2000);
    Index index;
    std::unordered_map<int64_t, Item*> ref;
    for (int step = 0; step < 20000; ++step) {
      const size_t i = rng() % items.size();
      const int64_t key = (int64_t{1} << 60) + static_cast<int64_t>(i) * stride;
      const bool filling = (step / 5000) % 2 == 0;
      const auto roll = static_cast<uint32_t>(rng() % 10);
      if (roll < (filling ? 7u : 3u)) {
        if (ref.count(key) == 0) {
          ASSERT_TRUE(index.insert(key, &items[i]));
          ref[key] = &items[i];
        }
      } else if (roll < 9) {
        index.erase(key);
        ref.erase(key);
      } else {
        Item* other = &items[(i + 1) % items.size()];
        ASSERT_EQ(index.repoint(key, other), ref.count(key) == 1);
        if (ref.count(key)) ref[key] = other;
      }
      ASSERT_EQ(index.find(key), ref.count(key) ? ref[key] : nullptr);
      ASSERT_EQ(index.size(), ref.size());
      const size_t cap = index.capacity();
      ASSERT_EQ(cap & (cap - 1), 0u);
      ASSERT_LE(index.size() * 10, cap * 7);
      if (cap > Index::kMinCapacity) {
        ASSERT_GE(index.size() * 10, cap * 3);
      }
      if (step % 64 == 0) {
        for (const auto& [k, item] : ref) ASSERT_EQ(index.find(k), item) << "step " << step;
      }
    }
  }
}

}  // namespace

namespace {

TEST(KeyIndexTest, AssignFilesEveryEntryInSortedPasses) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{17}, size_t{5000}, size_t{70000}}) {
    std::vector<Item> items(n);
    std::vector<Index::Slot> entries(n);
    for (size_t i = 0; i < n; ++i) entries[i] = {static_cast<int64_t>(i * 10 + 7), &items[i]};
    Index index;
    Item old;
    ASSERT_TRUE(index.insert(-5, &old));
    ASSERT_TRUE(index.assign(entries.data(), n));
    EXPECT_EQ(index.size(), n);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(index.find(static_cast<int64_t>(i * 10 + 7)), &items[i]) << n;
    EXPECT_EQ(index.find(-5), nullptr);  // the old contents are gone
    EXPECT_EQ(index.find(8), nullptr);
  }
}

}  // namespace
