// The exported interface end to end: adding, finding, listing, fetching,
// removing, loading and saving, in tree and DMA key modes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/HostText.h"
#include "support/LatestHistory.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/kinem.h"

namespace {

namespace fs = std::filesystem;
using vx::testing::LogCapture;
using vx::testing::trimmed;

// Two epochs of satellite 25544 and one vector of 43013, as the library
// writes them.
const std::string kA1 = "  -5405.1320   3674.5167  -1796.0002   -1488.6831   -4955.9782   -5659.4070 UB1P";
const std::string kA2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000MMJ2K2P";
const std::string kB1 = "   4800.3201  -4646.9780   1141.2614    2637.3508    4166.7298    5872.9522 UB1P";
const std::string kB2 = "25544 98067A    18021093000.000  10827  999.010210000.005120000.000000000MMJ2K2P";
const std::string kC1 = "   1674.2887  -2606.9575   6504.0481   -5600.2583    3873.0896    2994.0476 UB1P";
const std::string kC2 = "43013 17073A    18020214354.000    901  999.003870000.002410000.000000000TMDAT2P";
const std::string kSample = std::string(VX_SOURCE_DIR) + "/data/vectors-sample.vec";
constexpr int32_t kSampleCount = 8;

std::string text(const std::string& s, size_t len = 512) { return vx::testing::hostText(s, len); }

std::string lastInfo() {
  char m[128];
  KernixGetLastInfoMsg(m);
  return trimmed(m, 128);
}

// satKey as the log lines show it: right-aligned in 19 columns.
std::string key19(int64_t key) {
  const std::string k = std::to_string(key);
  return std::string(k.size() < 19 ? 19 - k.size() : 0, ' ') + k;
}

// Runs every test in tree mode (0) and DMA mode (1), with a clean store.
class KinemExports : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    KinemRemoveAllSats();
    KernixSetElsetKeyMode(GetParam());
    KernixSetDupKeyMode(0);
    dir_ = fs::temp_directory_path() / ("vx_kinem_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    KinemRemoveAllSats();
    KernixSetElsetKeyMode(0);
    KernixSetDupKeyMode(0);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool dma() const { return GetParam() == 1; }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static int32_t load(const std::string& file) { return KinemLoadFile(text(file).c_str()); }
  static int64_t add(const std::string& l1, const std::string& l2) {
    return KinemAddSatFrLines(text(l1).c_str(), text(l2).c_str());
  }
  // Every loaded vector as its two cards, sorted: a whole-content view.
  static std::vector<std::string> contents() {
    std::vector<int64_t> keys(static_cast<size_t>(KinemGetCount()));
    if (!keys.empty()) KinemGetLoaded(9, keys.data());
    std::vector<std::string> out;
    for (int64_t k : keys) {
      char l1[512], l2[512];
      EXPECT_EQ(KinemGetLines(k, l1, l2), 0);
      out.push_back(trimmed(l1, 512) + "\n" + trimmed(l2, 512));
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
};

TEST_P(KinemExports, AddDuplicatesAndFetch) {
  LogCapture log;
  int64_t key = 0;
  KinemAddSatFrLinesML(text(kA1).c_str(), text(kA2).c_str(), &key);
  ASSERT_GT(key, 0);
  EXPECT_EQ(log.errors(), std::vector<std::string>{});
  const int64_t again = add(kA1, kA2);
  if (dma()) {
    EXPECT_GT(again, 0);
    EXPECT_EQ(again % 10, 0);
    EXPECT_NE(again, key);
    EXPECT_EQ(KinemGetCount(), 2);
  } else {
    EXPECT_EQ(again, 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"AddRecToMem: Duplicated record/key " + key19(key) + " found."});
    KernixSetDupKeyMode(1);
    log.clear();
    EXPECT_EQ(add(kA1, kA2), key);
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
    EXPECT_EQ(KinemGetCount(), 1);
  }
  int64_t viaOut = 0;
  KinemGetSatKeyML(25544, &viaOut);
  EXPECT_EQ(viaOut, KinemGetSatKey(25544));
  EXPECT_GT(viaOut, 0);

  // The cards come back as written, blank padded to 512, nothing past it.
  char l1[513], l2[513];
  l1[512] = l2[512] = '#';
  ASSERT_EQ(KinemGetLines(key, l1, l2), 0);
  EXPECT_EQ(std::string(l1, 512), text(kA1));
  EXPECT_EQ(std::string(l2, 512), text(kA2));
  EXPECT_EQ(l1[512], '#');
  EXPECT_EQ(l2[512], '#');

  char info[129];
  info[128] = '#';
  KinemGetInfo(info);
  EXPECT_EQ(info[128], '#');
  EXPECT_NE(trimmed(info, 128), "");
  EXPECT_EQ(KinemInit(), 0);
  EXPECT_EQ(KernixGetElsetKeyMode(), GetParam());
}

TEST_P(KinemExports, FailuresAndTheirMessages) {
  struct Case {
    const char* what;
    std::string l1, l2;
    std::vector<std::string> errors;
  };
  std::string lower = kA1;
  lower.replace(77, 3, "b1p");
  std::string classX = kA1;
  classX[76] = 'X';
  const Case cases[] = {
      {"cards swapped", kA2, kA1, {"Lines2Kinem: Invalid 1P card set."}},
      {"card mark in lower case", lower, kA2, {"Lines2Kinem: Invalid 1P card set."}},
      {"no 2P card", kA1, "", {"Lines2Kinem: Invalid 2P card set."}},
      {"classification X",
       classX,
       kA2,
       {"Lines2Kinem: Line1 = '" + text(classX) + "'.", "Lines2Kinem: Unknown Kinem's classify level 'X'."}},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(add(c.l1, c.l2), -1) << c.what;
    EXPECT_EQ(log.errors(), c.errors) << c.what;
  }
  EXPECT_EQ(KinemGetCount(), 0);

  LogCapture log;
  EXPECT_EQ(KinemGetSatKey(12345), -1);
  EXPECT_EQ(log.errors().back(), "GetSatKey: Unable to locate satellite number     12345 in the KINEM binary tree.");

  int64_t untouched[2] = {7, 7};
  KinemGetLoaded(0, untouched);
  EXPECT_EQ(untouched[0], 7);
  EXPECT_EQ(lastInfo(), "Warning-KinemGetLoaded: The binary tree is empty. No satKey returns.");
  EXPECT_EQ(KinemRemoveAllSats(), 0);

  const int64_t key = add(kA1, kA2);
  ASSERT_GT(key, 0);
  char l1[512], l2[512];
  const int64_t missing = dma() ? 1230 : key + 1;
  log.clear();
  EXPECT_EQ(KinemGetLines(missing, l1, l2), 2);
  EXPECT_EQ(trimmed(l1, 512), "");
  EXPECT_EQ(trimmed(l2, 512), "");
  EXPECT_EQ(log.errors(), std::vector<std::string>{"KinemGetLines: Unable to locate satKey " + key19(missing) +
                                                   " in the KINEM binary tree."});
  // The read hold was released: a writer gets through.
  EXPECT_EQ(KinemRemoveSat(key), 0);
  EXPECT_EQ(KinemRemoveSat(key), 2);
  EXPECT_EQ(KinemGetLines(key, l1, l2), 2);  // a stale DMA key is answered safely too
  EXPECT_EQ(KinemGetCount(), 0);
}

// Every function that takes a key names the key it cannot use in exactly
// one line, however long the key's text.
TEST_P(KinemExports, KeyFunctionsReportEveryKeyInOneLine) {
  char a[512], b[512];
  const std::vector<std::pair<std::string, std::function<int32_t(int64_t)>>> calls = {
      {"KinemGetLines: Unable to locate satKey ", [&](int64_t k) { return KinemGetLines(k, a, b); }},
      {"", [&](int64_t k) { return KinemRemoveSat(k); }},
  };
  ASSERT_GT(add(kA1, kA2), 0);
  for (int64_t key : {int64_t{-999999999999999999}, int64_t{-1000000000000000000}, INT64_MIN, int64_t{0},
                      (int64_t{1} << 60) + 5}) {
    const std::string shown = std::to_string(key);
    for (const auto& [head, call] : calls) {
      SCOPED_TRACE(head + shown);
      LogCapture log;
      EXPECT_EQ(call(key), 2);
      const auto errors = log.errors();
      ASSERT_EQ(errors.size(), 1u);
      if (!head.empty()) {
        EXPECT_EQ(errors[0], head + key19(key) + " in the KINEM binary tree.");
      }
    }
  }
  LogCapture log;
  EXPECT_EQ(KinemGetSatKey(INT32_MIN), -1);
  EXPECT_EQ(log.errors(), std::vector<std::string>{
                              "GetSatKey: Unable to locate satellite number -2147483648 in the KINEM binary tree."});
  EXPECT_EQ(KinemGetCount(), 1);
}

// The key from fields reads 20 characters, left-adjusted, blanks after the
// first two read as "0"; it looks nothing up.
TEST_P(KinemExports, FieldsToSatKey) {
  auto key = [](int32_t satNum, const std::string& epoch) {
    const std::string e = text(epoch, 20);
    int64_t viaOut = 0;
    KinemFieldsToSatKeyML(satNum, e.c_str(), &viaOut);
    const int64_t k = KinemFieldsToSatKey(satNum, e.c_str());
    EXPECT_EQ(viaOut, k);
    return k;
  };
  const int64_t plain = key(25544, "18020123456.789");
  ASSERT_GE(plain, int64_t{1} << 60);
  EXPECT_EQ(key(25544, "     18020123456.789"), plain);
  EXPECT_EQ(key(25544, "18020123456.78900000"), plain);
  EXPECT_EQ(key(25544, "18020 23456.789"), key(25544, "18020023456.789"));
  EXPECT_NE(key(25545, "18020123456.789"), plain);
  // Only 20 characters are read.
  const std::string longer = "18020123456.789     9999";
  EXPECT_EQ(KinemFieldsToSatKey(25544, longer.c_str()), plain);

  const int64_t stored = add(kA1, kA2);
  ASSERT_GT(stored, 0);
  EXPECT_EQ(stored == plain, !dma());
  EXPECT_EQ(key(25544, "18020123456.789"), plain);

  for (const auto& [satNum, epoch] : std::vector<std::pair<int32_t, std::string>>{
           {-1, "18020123456.789"}, {1000000000, "18020123456.789"}, {1, "nonsense"}, {1, ""}}) {
    LogCapture log;
    EXPECT_EQ(KinemFieldsToSatKey(satNum, text(epoch, 20).c_str()), -1) << satNum << " " << epoch;
    EXPECT_EQ(log.errors().size(), 1u) << satNum << " " << epoch;
  }
}

TEST_P(KinemExports, ListingOrders) {
  const int64_t a = add(kA1, kA2), c = add(kC1, kC2), b = add(kB1, kB2);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ASSERT_GT(c, 0);
  ASSERT_EQ(KinemGetCount(), 3);
  struct Case {
    int32_t order;
    std::vector<int64_t> keys;
  };
  std::vector<int64_t> ascending = {a, b, c};
  std::sort(ascending.begin(), ascending.end());
  const Case cases[] = {
      {0, {a, b, c}},  // by satellite number, then epoch
      {1, {c, b, a}},
      {2, {a, c, b}},  // load order
      {9, ascending},
      {-1, ascending},
  };
  for (const Case& t : cases) {
    std::vector<int64_t> keys(4, 7);
    KinemGetLoaded(t.order, keys.data());
    EXPECT_EQ(std::vector<int64_t>(keys.begin(), keys.begin() + 3), t.keys) << t.order;
    EXPECT_EQ(keys[3], 7) << t.order;

    // With a capacity: the first keys of the same order, never more.
    std::vector<int64_t> two(3, 7);
    int32_t total = 0;
    EXPECT_EQ(KinemGetLoadedN(t.order, 2, two.data(), &total), 2) << t.order;
    EXPECT_EQ(total, 3);
    EXPECT_EQ(std::vector<int64_t>(two.begin(), two.begin() + 2),
              std::vector<int64_t>(t.keys.begin(), t.keys.begin() + 2))
        << t.order;
    EXPECT_EQ(two[2], 7);
    std::vector<int64_t> room(5, 7);
    EXPECT_EQ(KinemGetLoadedN(t.order, 5, room.data(), nullptr), 3) << t.order;
    EXPECT_EQ(std::vector<int64_t>(room.begin(), room.begin() + 3), t.keys) << t.order;
  }
  int32_t total = -5;
  EXPECT_EQ(KinemGetLoadedN(0, 0, nullptr, &total), 0);
  EXPECT_EQ(total, 3);
  for (const auto& [capacity, keys] : std::vector<std::pair<int32_t, int64_t*>>{{-1, nullptr}, {1, nullptr}}) {
    LogCapture log;
    EXPECT_EQ(KinemGetLoadedN(0, capacity, keys, &total), -1);
    EXPECT_EQ(total, 0);
    const std::string shown = std::to_string(capacity);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"KinemGetLoadedN: Invalid capacity or no key array, capacity " +
                                                     std::string(11 - shown.size(), ' ') + shown + "."});
  }
}

TEST_P(KinemExports, LoadsTheSampleAndSavesIt) {
  LogCapture log;
  ASSERT_EQ(load(kSample), 0);
  EXPECT_EQ(log.infos(),
            (std::vector<std::string>{"KinemLoadFile: Reading KINEMs from file \"" + kSample + "\".",
                                      "Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0"}));
  EXPECT_EQ(log.errors(), std::vector<std::string>{});
  EXPECT_EQ(KinemGetCount(), kSampleCount);
  EXPECT_GT(KinemGetSatKey(123456), 0);  // an alpha-5 number
  const auto before = contents();
  const std::string out = path("saved.vec");
  ASSERT_EQ(KinemSaveFile(text(out).c_str(), 0), 0);
  ASSERT_EQ(KinemRemoveAllSats(), 0);
  ASSERT_EQ(load(out), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0");
  EXPECT_EQ(contents(), before);
  // A second load of the same file: duplicates in tree mode.
  ASSERT_EQ(load(kSample), 0);
  EXPECT_EQ(lastInfo(), dma() ? "Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0"
                              : "Total Kinems = 8, Loaded = 0, Dup = 8, Bad = 0");
}

// Readers fetch, list and look up the very vectors writers remove, add
// again and load again: every card set read is whole, and the counts add
// up at the end.
TEST_P(KinemExports, ConcurrencyReadersAndWritersOnTheSameVectors) {
  ASSERT_EQ(load(kSample), 0);
  std::map<std::string, std::string> cards;  // 2P -> 1P of every sample vector
  {
    std::vector<int64_t> keys(kSampleCount);
    KinemGetLoaded(2, keys.data());
    for (int64_t k : keys) {
      char l1[512], l2[512];
      ASSERT_EQ(KinemGetLines(k, l1, l2), 0);
      cards[std::string(l2, 512)] = std::string(l1, 512);
    }
  }
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::atomic<long> whole{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r)
    readers.emplace_back([&, r] {
      std::vector<int64_t> keys(256);
      char l1[512], l2[512];
      while (!stop.load()) {
        int32_t total = 0;
        const int32_t n = KinemGetLoadedN(r, static_cast<int32_t>(keys.size()), keys.data(), &total);
        if (n < 0 || n > total) ++bad;
        for (int32_t i = 0; i < n; ++i) {
          if (KinemGetLines(keys[static_cast<size_t>(i)], l1, l2) != 0) continue;  // removed meanwhile
          const auto it = cards.find(std::string(l2, 512));
          if (it == cards.end() || it->second != std::string(l1, 512))
            ++bad;
          else
            ++whole;
        }
        // The writers never take both vectors of 25544 away at once.
        if (KinemGetSatKey(25544) <= 0) ++bad;
      }
    });
  // One writer removes the first vector of 25544 and adds it again.
  std::thread remover([&] {
    for (int i = 0; i < 200; ++i) {
      int64_t k = 0;
      std::vector<int64_t> keys(256);
      const int32_t n = KinemGetLoadedN(0, 256, keys.data(), nullptr);
      for (int32_t j = 0; j < n; ++j) {
        char l1[512], l2[512];
        if (KinemGetLines(keys[static_cast<size_t>(j)], l1, l2) == 0 && std::string(l2, 512) == text(kA2)) {
          k = keys[static_cast<size_t>(j)];
          break;
        }
      }
      // In tree mode a load may have put the vector back first: a duplicate.
      if (k <= 0 || KinemRemoveSat(k) != 0 || add(kA1, kA2) < 0) ++bad;
    }
  });
  // Two more load the sample at the same time: duplicates in tree mode.
  std::vector<std::thread> loaders;
  for (int t = 0; t < 2; ++t)
    loaders.emplace_back([&] {
      if (load(kSample) != 0) ++bad;
    });
  remover.join();
  for (auto& t : loaders) t.join();
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_GT(whole.load(), 0);
  EXPECT_EQ(KinemGetCount(), dma() ? 3 * kSampleCount : kSampleCount);
}

// KinemGetSatKey answers the first vector of a number in the tree's
// pre-order; KinemGetLatestSatKey the latest epoch. The history holds two
// epochs a second apart (one key advanced in tree mode), two different
// vectors of one epoch and a repeated vector (a second key in DMA mode),
// beside later vectors of the neighbouring numbers.
TEST_P(KinemExports, GetLatestSatKeyFindsTheLatestEpochNotTheFirstVector) {
  auto card2 = [](const char* num, const char* epoch) { return std::string(kA2).replace(0, 5, num).replace(16, 15, epoch); };
  ASSERT_GT(add(kC1, card2("25543", "18040000000.000")), 0);
  ASSERT_GT(add(kC1, card2("25545", "18041000000.000")), 0);
  const std::vector<std::pair<const std::string*, const char*>> vectors = {
      {&kA1, "18020123456.789"}, {&kA1, "18021093001.000"}, {&kA1, "18021093000.000"}, {&kA1, "18019000000.000"},
      {&kB1, "18021093001.000"}, {&kA1, "18020123456.789"}};
  // YYDDDHHMMSS.SSS read as a number orders the epochs of one century.
  std::vector<double> epochs;
  for (const auto& v : vectors) epochs.push_back(std::stod(v.second));
  auto addVector = [&](size_t i) { return add(*vectors[i].first, card2("25544", vectors[i].second)); };
  vx::testing::LatestHistory{25544, epochs, addVector, KinemGetLatestSatKey, KinemRemoveSat}.runBothOrders();

  LogCapture log;
  EXPECT_EQ(KinemGetLatestSatKey(25544), -1);
  EXPECT_EQ(log.errors().back(), "GetLatestSatKey: Unable to locate satellite number     25544 in the KINEM binary tree.");
}

INSTANTIATE_TEST_SUITE_P(KeyModes, KinemExports, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? std::string("Tree") : std::string("Dma"); });

}  // namespace
