// The exported interface used the way a careless or hostile host would: keys
// that are stale or off by a few, several threads on one element set in both
// key modes, listing while writers add.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/HostText.h"
#include "veltrix/kernix.h"
#include "veltrix/tle.h"

namespace {

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";

std::string text(const std::string& s) { return vx::testing::hostText(s); }

// The same element set under another satellite number (columns 3-7 of both lines).
int64_t addSat(int satNum) {
  std::string l1 = kL1, l2 = kL2;
  const std::string num = std::to_string(satNum);
  const std::string five = std::string(5 - num.size(), '0') + num;
  l1.replace(2, 5, five);
  l2.replace(2, 5, five);
  return TleAddSatFrLines(text(l1).c_str(), text(l2).c_str());
}

std::string field(int64_t key, int32_t idx) {
  char v[513] = {0};
  if (TleGetField(key, idx, v) != 0) return "?";
  std::string s(v, 512);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

class TleSharedUse : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(GetParam());
  }
  void TearDown() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(0);
  }
};

// Two threads each set their own field of one element set and read it back:
// a change by one must never undo the other's.
TEST_P(TleSharedUse, ConcurrencyFieldUpdatesAreNeverLost) {
  const int64_t key = addSat(25544);
  ASSERT_GT(key, 0);
  std::atomic<int> lost{0};
  auto setter = [&](int32_t idx) {
    for (int i = 1; i <= 1000; ++i) {
      const std::string v = std::to_string(i);
      ASSERT_EQ(TleSetField(key, idx, text(v).c_str()), 0);
      if (field(key, idx) != v) ++lost;
    }
  };
  std::thread a(setter, 7), b(setter, 14);
  a.join();
  b.join();
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(field(key, 7), "1000");
  EXPECT_EQ(field(key, 14), "1000");
  EXPECT_EQ(TleGetCount(), 1);
}

// Readers fetch lines and fields of the very sets that writers update,
// remove and add again.
TEST_P(TleSharedUse, ConcurrencyReadersOfSetsBeingUpdatedAndRemoved) {
  constexpr int kSets = 16;
  std::vector<std::atomic<int64_t>> keys(kSets);
  for (int i = 0; i < kSets; ++i) keys[static_cast<size_t>(i)] = addSat(10000 + i);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int round = 0; round < 300; ++round) {
      auto& slot = keys[static_cast<size_t>(round % kSets)];
      TleSetField(slot, 8, text("51.5").c_str());
      TleUpdateSatFrFieldsGP(slot, 'U', "X", 1e-4, 1, 51.0, 10.0, 0.001, 1.0, 1.0, 15.0, 1);
      TleRemoveSat(slot);
      slot = addSat(10000 + round % kSets);
      if (round % 100 == 99) {
        TleRemoveAllSats();
        for (int i = 0; i < kSets; ++i) keys[static_cast<size_t>(i)] = addSat(10000 + i);
      }
    }
    done = true;
  });
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t)
    readers.emplace_back([&, t] {
      char l1[512], l2[512], v[512];
      for (int round = 0; !done || round < 50; ++round) {
        const int i = (round + t) % kSets;
        const int64_t k = keys[static_cast<size_t>(i)];
        if (TleGetLines(k, l1, l2) == 0) {
          EXPECT_EQ(std::string(l1 + 2, 5), std::to_string(10000 + i));
        }
        TleGetField(k, 8, v);
        TleGetSatKey(10000 + i);
      }
    });
  writer.join();
  for (auto& r : readers) r.join();
  EXPECT_EQ(TleGetCount(), kSets);
}

// Listing with a capacity while another thread adds never writes past the
// host's array.
TEST_P(TleSharedUse, ConcurrencyListingWithCapacityWhileAdding) {
  for (int i = 0; i < 50; ++i) addSat(20000 + i);
  std::atomic<bool> done{false};
  std::thread adder([&] {
    for (int i = 50; i < 400; ++i) addSat(20000 + i);
    done = true;
  });
  std::vector<int64_t> keys(64 + 1);
  while (!done) {
    keys.back() = -7;
    int32_t total = 0;
    const int32_t n = TleGetLoadedN(0, 64, keys.data(), &total);
    ASSERT_EQ(n, std::min(total, 64));
    ASSERT_EQ(keys.back(), -7);
  }
  adder.join();
  int32_t total = 0;
  EXPECT_EQ(TleGetLoadedN(9, 0, nullptr, &total), 0);
  EXPECT_EQ(total, 400);
  EXPECT_EQ(TleGetLoadedN(0, -1, keys.data(), &total), -1);
}

INSTANTIATE_TEST_SUITE_P(KeyModes, TleSharedUse, ::testing::Values(0, 1));

// DMA keys: only the exact key reaches a set; a removed set's key stays
// refused after other sets are added.
TEST(TleDmaKeys, OnlyTheExactKeyReachesASetAndStaleKeysAreRefused) {
  TleRemoveAllSats();
  KernixSetElsetKeyMode(1);
  const int64_t key = addSat(25544);
  ASSERT_GT(key, 0);
  char l1[512], l2[512];
  for (int64_t off = 1; off <= 9; ++off) {
    EXPECT_EQ(TleGetLines(key + off, l1, l2), 2) << off;
    EXPECT_EQ(TleSetField(key + off, 7, text("5").c_str()), 2) << off;
    EXPECT_EQ(TleRemoveSat(key + off), 2) << off;
    EXPECT_EQ(TleGetCount(), 1) << off;
  }
  EXPECT_EQ(TleGetLines(key, l1, l2), 0);
  EXPECT_EQ(std::string(l1, 7), "1 25544");
  ASSERT_EQ(TleRemoveSat(key), 0);
  for (int i = 0; i < 32; ++i) {
    const int64_t other = addSat(30000 + i);
    EXPECT_NE(other, key);
  }
  EXPECT_EQ(TleGetLines(key, l1, l2), 2);
  EXPECT_EQ(TleRemoveSat(key), 2);
  EXPECT_EQ(TleGetCount(), 32);
  TleRemoveAllSats();
  KernixSetElsetKeyMode(0);
}

}  // namespace
