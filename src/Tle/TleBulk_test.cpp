// The bulk exports: many keys to arrays in one call, and a load that hands
// back its counts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/HostText.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/tle.h"

namespace {

namespace fs = std::filesystem;
using vx::testing::hostText;
using vx::testing::LogCapture;

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";
const std::string kM1 = "1 43013U 17073A   18020.90595486 -.00000036  00000-0  37063-5 0  9990";
const std::string kM2 = "2 43013  98.7325 320.6416 0001320  96.1617 263.9712 14.19556508  9984";

class TleBulk : public ::testing::Test {
 protected:
  void SetUp() override {
    TleRemoveAllSats();
    KernixSetDupKeyMode(0);
    dir_ = fs::temp_directory_path() / ("vx_tlebulk_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    TleRemoveAllSats();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string write(const std::string& name, const std::string& body) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << body;
    return path;
  }
  static int64_t add(const std::string& l1, const std::string& l2) {
    return TleAddSatFrLines(hostText(l1).c_str(), hostText(l2).c_str());
  }
  fs::path dir_;
};

TEST_F(TleBulk, ArraysMatchOneByOneAndMarkMissingKeys) {
  const int64_t a = add(kL1, kL2), b = add(kM1, kM2);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  const std::vector<int64_t> keys = {b, 12345, a};
  // One spare row after the last must stay untouched.
  std::vector<double> rows(4 * 64, -7.0);
  std::vector<int32_t> found(3, -1);
  LogCapture log;
  EXPECT_EQ(TleDataToArrays(3, keys.data(), rows.data(), found.data()), 2);
  EXPECT_EQ(found, (std::vector<int32_t>{1, 0, 1}));
  for (int r : {0, 2}) {
    double one[64];
    char text[512];
    ASSERT_EQ(TleDataToArray(keys[r], one, text), 0);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(rows[r * 64 + k], one[k]) << "row " << r << " element " << k + 1;
  }
  for (int k = 0; k < 64; ++k) EXPECT_EQ(rows[64 + k], 0.0);
  for (int k = 0; k < 64; ++k) EXPECT_EQ(rows[3 * 64 + k], -7.0);
  EXPECT_EQ(rows[0], 43013.0);
  EXPECT_EQ(rows[2 * 64], 25544.0);
  ASSERT_EQ(log.errors().size(), 1u);
  EXPECT_EQ(log.errors()[0], "TleDataToArrays: 1 of 3 satKeys not loaded, the first               12345.");
}

TEST_F(TleBulk, ArraysAllFoundWithoutFoundBufferLogNothing) {
  const int64_t keys[] = {add(kL1, kL2), add(kM1, kM2)};
  double rows[2 * 64];
  LogCapture log;
  EXPECT_EQ(TleDataToArrays(2, keys, rows, nullptr), 2);
  EXPECT_EQ(TleDataToArrays(0, nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(log.errors().empty());
}

TEST_F(TleBulk, ArraysRefuseBadArguments) {
  const int64_t key = 1;
  double row[64];
  struct Case {
    int32_t count;
    const int64_t* keys;
    double* arrays;
    const char* message;
  } cases[] = {
      {-1, &key, row, "TleDataToArrays: Invalid count or no key or array buffer, count          -1."},
      {1, nullptr, row, "TleDataToArrays: Invalid count or no key or array buffer, count           1."},
      {1, &key, nullptr, "TleDataToArrays: Invalid count or no key or array buffer, count           1."},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(TleDataToArrays(c.count, c.keys, c.arrays, nullptr), -1);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0], c.message);
  }
}

// Columns of the whole store agree with the one-by-one arrays, in ascending
// key order, and never spill past the capacity or the element list.
TEST_F(TleBulk, ColumnsAgreeWithArraysAndKeepToTheirCapacity) {
  ASSERT_EQ(TleLoadFile(hostText(std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle").c_str()), 0);
  const int32_t n = TleGetCount();
  ASSERT_GT(n, 100);
  std::vector<int64_t> keys(static_cast<size_t>(n));
  int32_t total = 0;
  ASSERT_EQ(TleGetLoadedN(9, n, keys.data(), &total), n);
  std::vector<double> arrays(static_cast<size_t>(n) * 64);
  ASSERT_EQ(TleDataToArrays(n, keys.data(), arrays.data(), nullptr), n);

  const std::vector<int32_t> elems = {1, 2, 22, 26, 64};
  for (const int32_t cap : {0, 1, n - 1, n, n + 3}) {
    const size_t c = static_cast<size_t>(cap);
    std::vector<int64_t> ks(c + 1, -7);
    std::vector<double> cols(elems.size() * c + 1, -7.0);
    total = -1;
    const int32_t got = TleGetLoadedColumns(cap, static_cast<int32_t>(elems.size()), elems.data(), ks.data(),
                                            cols.data(), &total);
    ASSERT_EQ(got, std::min(cap, n)) << cap;
    EXPECT_EQ(total, n);
    EXPECT_EQ(ks[c], -7);
    EXPECT_EQ(cols.back(), -7.0);
    for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
      ASSERT_EQ(ks[i], keys[i]) << i;
      for (size_t j = 0; j < elems.size(); ++j)
        ASSERT_EQ(cols[j * c + i], arrays[i * 64 + static_cast<size_t>(elems[j] - 1)]) << i << " " << elems[j];
    }
  }
  const int32_t bad[] = {0, 65};
  int64_t k = 0;
  double v = 0;
  for (const int32_t e : bad) EXPECT_EQ(TleGetLoadedColumns(1, 1, &e, &k, &v, &total), -1) << e;
  EXPECT_EQ(TleGetLoadedColumns(-1, 0, nullptr, nullptr, nullptr, &total), -1);
  EXPECT_EQ(TleGetLoadedColumns(0, 0, nullptr, nullptr, nullptr, &total), 0);
  EXPECT_EQ(total, n);
}

TEST_F(TleBulk, LoadCountsMatchTheTotalsLine) {
  const std::string body = kL1 + "\n" + kL2 + "\n" + kL1 + "\n" + kL2 + "\n" +  // a duplicate
                           "1 99999U 17073A   18020.90595486\n" + kM2 + "\n" +  // line 1 too short
                           kM1 + "\n" + kM2 + "\n";
  const std::string file = hostText(write("three.tle", body));
  struct Case {
    int32_t loaded, dup, bad;
    const char* totals;
  } const cases[] = {
      {2, 1, 1, "Total TLEs = 4, Loaded = 2, Dup = 1, Bad = 1"},
      {0, 3, 1, "Total TLEs = 4, Loaded = 0, Dup = 3, Bad = 1"},  // the same file again
  };
  for (const Case& c : cases) {
    LogCapture log;
    int32_t loaded = -1, dup = -1, bad = -1;
    EXPECT_EQ(TleLoadFileCounts(file.c_str(), &loaded, &dup, &bad), 0);
    EXPECT_EQ(loaded, c.loaded);
    EXPECT_EQ(dup, c.dup);
    EXPECT_EQ(bad, c.bad);
    ASSERT_FALSE(log.infos().empty());
    EXPECT_EQ(log.infos().back(), c.totals);
  }
  EXPECT_EQ(TleGetCount(), 2);
}

TEST_F(TleBulk, LoadCountsOfAMissingFileAreZero) {
  const std::string file = hostText((dir_ / "absent.tle").string());
  int32_t loaded = -1, dup = -1, bad = -1;
  LogCapture log;
  EXPECT_EQ(TleLoadFileCounts(file.c_str(), &loaded, &dup, &bad), 2);
  EXPECT_EQ(loaded + dup + bad, 0);
  EXPECT_EQ(TleLoadFileCounts(file.c_str(), nullptr, nullptr, nullptr), 2);
  ASSERT_FALSE(log.errors().empty());
  EXPECT_EQ(log.errors()[0].rfind("TleLoadFile: cannot open \"", 0), 0u) << log.errors()[0];
}

// One thread reads many keys while another removes and adds them again:
// every row found is whole (its satellite number matches the key's).
TEST_F(TleBulk, ConcurrentArraysWhileWriting) {
  const int64_t a = add(kL1, kL2), b = add(kM1, kM2);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) {
      TleRemoveSat(b);
      add(kM1, kM2);
    }
    stop = true;
  });
  const int64_t keys[] = {a, b};
  double rows[2 * 64];
  int32_t found[2];
  int rounds = 0;
  while (!stop || rounds == 0) {
    const int32_t n = TleDataToArrays(2, keys, rows, found);
    ASSERT_EQ(n, found[0] + found[1]);
    ASSERT_EQ(found[0], 1);
    EXPECT_EQ(rows[0], 25544.0);
    EXPECT_EQ(rows[64], found[1] ? 43013.0 : 0.0);
    ++rounds;
  }
  writer.join();
}


// ---- Text to arrays without the store -------------------------------------------

struct Parsed {
  int32_t rc = -1, count = -1, bad = -1;
  std::vector<double> rows;      // capacity rows and one spare
  std::vector<int32_t> lines;    // capacity lines and one spare
  std::vector<std::pair<int32_t, std::string>> refused;  // line, message
};

Parsed parseText(const std::string& text, int32_t capacity) {
  Parsed p;
  p.rows.assign(static_cast<size_t>(capacity + 1) * 64, -7.0);
  p.lines.assign(static_cast<size_t>(capacity + 1), -7);
  auto onBad = [](int32_t line, int32_t, int64_t key, int32_t status, const char* msg, int32_t len, void* user) {
    EXPECT_EQ(key, -1);
    EXPECT_EQ(status, 2);
    static_cast<Parsed*>(user)->refused.emplace_back(line, std::string(msg, static_cast<size_t>(len)));
  };
  p.rc = TleParseTextArrays(text.data(), static_cast<int64_t>(text.size()), capacity, p.rows.data(), p.lines.data(),
                            &p.count, &p.bad, onBad, &p);
  return p;
}

TEST_F(TleBulk, TextToArraysTakesWhatALoadTakesAndSaysWhatIsBad) {
  char csv[512];
  ASSERT_EQ(TleLinesToCsv(hostText(kL1).c_str(), hostText(kL2).c_str(), csv), 0);
  const std::string csvLine = std::string(csv, 512).substr(0, std::string(csv, 512).find_last_not_of(' ') + 1);
  const std::string badClass = kL1.substr(0, 7) + "X" + kL1.substr(8);
  struct Case {
    std::string text;
    std::vector<int32_t> lines;  // of the rows taken
    std::vector<std::pair<int32_t, std::string>> refused;  // line, start of the message
  } const cases[] = {
      {"", {}, {}},
      {"ISS\n" + kL1 + "\n" + kL2 + "\n", {2}, {}},
      {kL1 + "\r\n" + kL2 + "\r\n" + kM1 + "\r\n" + kM2, {1, 3}, {}},  // no end of line after the last
      {csvLine + "\n", {1}, {}},
      {kL1 + "\n" + kM1 + "\n" + kM2 + "\n", {2}, {{1, "ReadOnlyTLEs: Line1 without its line2 (another line1"}}},
      {kL1.substr(0, 40) + "\n" + kL2 + "\n" + kM1 + "\n" + kM2 + "\n", {3},
       {{1, "ReadOnlyTLEs: Line1 ends before column 61 '"}}},
      {kL1 + "\n" + kL2.substr(0, 60) + "\n", {}, {{1, "ReadOnlyTLEs: Line2 ends before column 63 '"}}},
      {badClass + "\n" + kL2 + "\n", {}, {{1, "Lines2Tle: Unknown TLE's classify level 'X'."}}},
      {kM1 + "\n" + kM2 + "\n" + kL1 + "\n", {1}, {{3, ""}}},  // the text ends before its line 2
  };
  double one[64];
  char text[512];
  const int64_t key = add(kL1, kL2);
  ASSERT_EQ(TleDataToArray(key, one, text), 0);
  ASSERT_EQ(TleRemoveAllSats(), 0);
  for (const Case& c : cases) {
    LogCapture log;
    const Parsed p = parseText(c.text, 4);
    ASSERT_EQ(p.rc, 0) << c.text;
    EXPECT_EQ(p.count, static_cast<int32_t>(c.lines.size())) << c.text;
    EXPECT_EQ(p.bad, static_cast<int32_t>(c.refused.size())) << c.text;
    EXPECT_EQ(std::vector<int32_t>(p.lines.begin(), p.lines.begin() + p.count), c.lines) << c.text;
    ASSERT_EQ(p.refused.size(), c.refused.size()) << c.text;
    for (size_t i = 0; i < c.refused.size(); ++i) {
      EXPECT_EQ(p.refused[i].first, c.refused[i].first) << c.text;
      EXPECT_EQ(p.refused[i].second.substr(0, c.refused[i].second.size()), c.refused[i].second) << c.text;
      EXPECT_FALSE(p.refused[i].second.empty()) << c.text;
    }
    // A row of the ISS set is the array a load of it gives.
    for (int32_t r = 0; r < p.count; ++r) {
      if (p.rows[static_cast<size_t>(r) * 64] != 25544.0) continue;
      for (size_t k = 0; k < 64; ++k) EXPECT_EQ(p.rows[static_cast<size_t>(r) * 64 + k], one[k]) << k;
    }
    EXPECT_EQ(TleGetCount(), 0) << c.text;
  }
}

TEST_F(TleBulk, TextToArraysWritesNoRowPastCapacity) {
  const std::string text = kL1 + "\n" + kL2 + "\n" + kM1 + "\n" + kM2 + "\nx\n" + kL1 + "\n" + kL2 + "\n";
  for (int32_t cap = 0; cap <= 4; ++cap) {
    const Parsed p = parseText(text, cap);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.count, 3) << cap;
    const size_t written = static_cast<size_t>(std::min(cap, 3));
    const std::vector<int32_t> lines = {1, 3, 6};
    for (size_t i = 0; i < written; ++i) EXPECT_EQ(p.lines[i], lines[i]) << cap;
    for (size_t i = written; i < p.lines.size(); ++i) EXPECT_EQ(p.lines[i], -7) << cap << " " << i;
    for (size_t i = written * 64; i < p.rows.size(); ++i) ASSERT_EQ(p.rows[i], -7.0) << cap << " " << i;
    if (written > 1) {
      EXPECT_EQ(p.rows[64], 43013.0);
    }
  }
  // Refused calls say so, write nothing and count nothing.
  double v = -7.0;
  int32_t count = -1, bad = -1;
  struct Call {
    const char* text;
    int64_t len;
    int32_t cap;
    double* values;
  } const calls[] = {{"x", -1, 1, &v}, {"x", 1, -1, &v}, {nullptr, 1, 1, &v}, {"x", 1, 1, nullptr}};
  for (const Call& c : calls) {
    LogCapture log;
    EXPECT_EQ(TleParseTextArrays(c.text, c.len, c.cap, c.values, nullptr, &count, &bad, nullptr, nullptr), 2);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(bad, 0);
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind("TleParseTextArrays: Invalid text length, capacity or buffer", 0), 0u);
  }
  EXPECT_EQ(v, -7.0);
  EXPECT_EQ(TleParseTextArrays(nullptr, 0, 0, nullptr, nullptr, &count, &bad, nullptr, nullptr), 0);
  EXPECT_EQ(count, 0);
}
}  // namespace
