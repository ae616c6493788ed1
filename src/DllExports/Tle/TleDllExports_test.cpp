// The exported interface end to end: adding, finding, listing, fetching,
// removing, loading and saving, in tree and DMA key modes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/HostText.h"
#include "support/LatestHistory.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/tle.h"

namespace {

namespace fs = std::filesystem;
using vx::testing::LogCapture;

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";
const std::string kCatalog = std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle";

std::string text(const std::string& s) { return vx::testing::hostText(s); }

using vx::testing::trimmed;

std::string lastInfo() {
  char m[128];
  KernixGetLastInfoMsg(m);
  return trimmed(m, 128);
}

// Runs every test in tree mode (0) and DMA mode (1), with a clean store.
class TleExports : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(GetParam());
    KernixSetDupKeyMode(0);
    dir_ = fs::temp_directory_path() / ("vx_tle_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(0);
    KernixSetDupKeyMode(0);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool dma() const { return GetParam() == 1; }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
    return path(name);
  }
  int32_t load(const std::string& file) { return TleLoadFile(text(file).c_str()); }

  // Every loaded element set as its CSV line, sorted: a whole-content view.
  std::vector<std::string> contents() {
    std::vector<int64_t> keys(static_cast<size_t>(TleGetCount()));
    if (!keys.empty()) TleGetLoaded(9, keys.data());
    std::vector<std::string> out;
    for (int64_t k : keys) {
      char csv[512];
      EXPECT_EQ(TleGetCsv(k, csv), 0);
      out.push_back(trimmed(csv, 512));
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
};

TEST_P(TleExports, AddDuplicatesAndFind) {
  LogCapture log;
  const int64_t key = TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str());
  ASSERT_GT(key, 0);
  const int64_t again = TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str());
  if (dma()) {
    EXPECT_GT(again, 0);
    EXPECT_EQ(again % 10, 0);
    EXPECT_NE(again, key);
    EXPECT_EQ(TleGetCount(), 2);
  } else {
    EXPECT_EQ(again, 0);
    ASSERT_FALSE(log.errors().empty());
    EXPECT_EQ(log.errors().back().rfind("AddRecToMem: Duplicated record/key ", 0), 0u);
    EXPECT_EQ(log.errors().back(), "AddRecToMem: Duplicated record/key " + std::string(19 - std::to_string(key).size(), ' ') +
                                       std::to_string(key) + " found.");
    KernixSetDupKeyMode(1);
    log.clear();
    EXPECT_EQ(TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str()), key);
    EXPECT_TRUE(log.errors().empty());
    EXPECT_EQ(TleGetCount(), 1);
  }
  EXPECT_EQ(TleGetSatKey(25544) > 0, true);

  char l1[512], l2[512];
  ASSERT_EQ(TleGetLines(key, l1, l2), 0);
  EXPECT_EQ(trimmed(l1, 512), "1 25544U 98067A   18020.59659722  .00001558  00000 0  30975-4 0 0999");
  EXPECT_EQ(trimmed(l2, 512), "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.5414854709635");
}

TEST_P(TleExports, FailuresAndTheirMessages) {
  LogCapture log;
  EXPECT_EQ(TleAddSatFrLines(text("hello").c_str(), text(kL2).c_str()), -1);
  EXPECT_EQ(log.errors().back(), "AddSatFrLines: Invalid TLE's first line.");
  EXPECT_EQ(TleAddSatFrCsv(text(kL1).c_str()), -1);

  EXPECT_EQ(TleGetSatKey(12345), -1);
  EXPECT_EQ(log.errors().back(), "GetSatKey: Unable to locate satellite number     12345 in the TLE binary tree.");

  int64_t untouched[2] = {7, 7};
  TleGetLoaded(0, untouched);
  EXPECT_EQ(untouched[0], 7);
  EXPECT_EQ(lastInfo(), "Warning-TleGetLoaded: The binary tree is empty. No satKey returns.");
  EXPECT_EQ(TleGetCount(), 0);
  EXPECT_EQ(TleRemoveAllSats(), 0);

  const int64_t key = TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str());
  ASSERT_GT(key, 0);
  char l1[512], l2[512];
  const int64_t missing = dma() ? 1230 : key + 1;
  EXPECT_EQ(TleGetLines(missing, l1, l2), 2);
  EXPECT_EQ(trimmed(l1, 512), "");
  EXPECT_EQ(trimmed(l2, 512), "");
  const std::string shown = std::to_string(missing);
  EXPECT_EQ(log.errors().back(),
            "TleGetLines: Unable to locate satKey " + std::string(19 - shown.size(), ' ') + shown + " in the TLE binary tree.");
  // The read hold was released: a writer gets through.
  EXPECT_EQ(TleRemoveSat(key), 0);
  EXPECT_EQ(TleRemoveSat(key), 2);
  EXPECT_EQ(TleGetLines(key, l1, l2), 2);  // stale DMA keys are answered safely too
  EXPECT_EQ(TleInit(), 0);
  EXPECT_EQ(GetTleKeyMode(), 0);
  EXPECT_EQ(SetTleKeyMode(), 0);
  EXPECT_EQ(KernixGetElsetKeyMode(), GetParam());
}

// Every function that takes a key names the key it cannot use in exactly
// one line, however long the key's text: 19 columns hold down to
// -999999999999999999, a lower key takes the 20 it needs.
TEST_P(TleExports, KeyFunctionsReportEveryKeyInOneLine) {
  char a[512], b[512];
  double arr[64] = {};
  int32_t i = 0;
  char c = ' ';
  double d = 0;
  const std::vector<std::pair<std::string, std::function<int64_t(int64_t)>>> calls = {
      {"TleGetLines: Unable to locate satKey ", [&](int64_t k) { return TleGetLines(k, a, b); }},
      {"TleGetCsv: Unable to locate satKey ", [&](int64_t k) { return TleGetCsv(k, a); }},
      {"TleGetField: Unable to locate satKey ", [&](int64_t k) { return TleGetField(k, 1, a); }},
      {"TleSetField: Unable to locate satKey ", [&](int64_t k) { return TleSetField(k, 7, "1"); }},
      {"TleGetAllFieldsGP: Unable to locate satKey ",
       [&](int64_t k) { return TleGetAllFieldsGP(k, &i, &c, a, &i, &d, &d, &i, &i, &d, &d, &d, &d, &d, &d, &i); }},
      {"TleGetAllFieldsGP2: Unable to locate satKey ",
       [&](int64_t k) {
         return TleGetAllFieldsGP2(k, &i, &c, a, &i, &d, &d, &i, &i, &d, &d, &d, &d, &d, &d, &i, &d, &d);
       }},
      {"TleGetAllFieldsSP: Unable to locate satKey ",
       [&](int64_t k) { return TleGetAllFieldsSP(k, &i, &c, a, &i, &d, &d, &d, &d, &i, &d, &d, &d, &d, &d, &d, &i); }},
      {"TleUpdateSatFrFieldsGP: Unable to locate satKey ",
       [&](int64_t k) { return TleUpdateSatFrFieldsGP(k, 'U', "X", 0, 1, 1, 1, 0, 1, 1, 15, 1); }},
      {"TleUpdateSatFrFieldsGP2: Unable to locate satKey ",
       [&](int64_t k) { return TleUpdateSatFrFieldsGP2(k, 'U', "X", 0, 1, 1, 1, 0, 1, 1, 15, 1, 0, 0); }},
      {"TleUpdateSatFrFieldsSP: Unable to locate satKey ",
       [&](int64_t k) { return TleUpdateSatFrFieldsSP(k, 'U', "X", 0, 0, 0, 1, 1, 1, 0, 1, 1, 15, 1); }},
      {"TleUpdateSatFrArray: Unable to locate satKey ", [&](int64_t k) { return TleUpdateSatFrArray(k, arr, "U"); }},
      {"TleDataToArray: Unable to locate satKey ", [&](int64_t k) { return TleDataToArray(k, arr, a); }},
      {"", [&](int64_t k) { return TleRemoveSat(k); }},
  };
  ASSERT_GT(TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str()), 0);
  for (int64_t key : {int64_t{-999999999999999999}, int64_t{-1000000000000000000}, INT64_MIN}) {
    const std::string shown = std::to_string(key);
    for (const auto& [head, call] : calls) {
      SCOPED_TRACE(head + shown);
      LogCapture log;
      EXPECT_EQ(call(key), 2);
      const auto errors = log.errors();
      ASSERT_EQ(errors.size(), 1u);
      if (!head.empty()) {
        EXPECT_EQ(errors[0], head + std::string(shown.size() < 19 ? 19 - shown.size() : 0, ' ') + shown +
                                 " in the TLE binary tree.");
      }
    }
  }
  LogCapture log;
  EXPECT_EQ(TleGetSatKey(INT32_MIN), -1);
  EXPECT_EQ(log.errors(),
            std::vector<std::string>{"GetSatKey: Unable to locate satellite number -2147483648 in the TLE binary tree."});
  EXPECT_EQ(TleGetCount(), 1);
}

// Adding from lines: each refusal is -1 and one line saying why. Days count
// from 0, so day 000.5 is stored; day 366.5 of a common year reaches the
// value checks.
TEST_P(TleExports, AddFromLinesEpochDaysAndNumbers) {
  struct Case {
    std::string columns;  // columns 19-32, or 3-7 when five characters long
    std::string error;    // empty: added
  };
  const Case cases[] = {
      {"18000.50000000", ""},
      {"18000.00000000", ""},
      {"16366.50000000", ""},
      {"18365.99999999", ""},
      {"18366.50000000", "ValidateTleValues: Invalid Day of Epoch = 366.50000000000000 (valid=0-365)"},
      {"16367.00000000", "ValidateTleValues: Invalid Day of Epoch = 367.00000000000000 (valid=0-366)"},
      {"-1234", "CreateSatKey: Invalid satellite number = -1234 (valid=0-999999999)"},
      {"00000", "Line1ToSatKey: Invalid TLE's 1st line."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.columns);
    std::string l1 = text(kL1);
    if (c.columns.size() == 5)
      l1.replace(2, 5, c.columns);
    else
      l1.replace(18, 14, c.columns);
    LogCapture log;
    const int64_t key = TleAddSatFrLines(l1.c_str(), text(kL2).c_str());
    if (c.error.empty()) {
      EXPECT_GT(key, 0);
      EXPECT_EQ(log.errors(), std::vector<std::string>{});
      char o1[512], o2[512];
      ASSERT_EQ(TleGetLines(key, o1, o2), 0);
      EXPECT_EQ(std::string(o1 + 18, 14), c.columns);
    } else {
      EXPECT_EQ(key, -1);
      EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
    }
  }
}

// A sweep over the key's fields: every -1 comes with exactly one line, every
// key without one.
TEST_P(TleExports, FieldsToSatKeyLogsEveryRefusal) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  int refused = 0;
  for (int32_t satNum : {INT32_MIN, -1, 0, 1, 999999999, 1000000000})
    for (int32_t year : {-1, 0, 49, 56, 57, 99, 100, 1949, 1950, 2149, 2150})
      for (double day : {-1.0, 0.0, 0.5, 365.5, 366.5, 1e9, nan})
        for (int32_t type : {0, 4, 5}) {
          LogCapture log;
          int64_t viaOut = 0;
          const int64_t key = TleFieldsToSatKey(satNum, year, day, type);
          TleFieldsToSatKeyML(satNum, year, day, type, &viaOut);
          EXPECT_EQ(viaOut, key);
          const size_t lines = log.errors().size();
          if (key == -1) {
            ++refused;
            EXPECT_EQ(lines, 2u) << satNum << " " << year << " " << day << " " << type;  // one per call
          } else {
            EXPECT_GE(key, int64_t{1} << 60);
            EXPECT_EQ(lines, 0u) << satNum << " " << year << " " << day << " " << type;
          }
        }
  EXPECT_GT(refused, 0);
  LogCapture log;
  EXPECT_EQ(TleFieldsToSatKey(1, 2150, 1.0, 0), -1);
  EXPECT_EQ(log.errors(), std::vector<std::string>{"CreateSatKey: Invalid epoch in days since 1950 = 73050.000000000000 "
                                                   "(valid=years 1950-2149)"});
  EXPECT_EQ(TleFieldsToSatKey(1, 18, 0.5, 0), TleFieldsToSatKey(1, 17, 365.5, 0));
}

// A load writes its information lines in order: the file it reads, then the
// totals.
TEST_P(TleExports, LoadWritesItsInformationLines) {
  const std::string file = write("two.tle", kL1 + "\n" + kL2 + "\n" + std::string(kL1).replace(20, 3, "021") + "\n" + kL2 + "\n");
  LogCapture log;
  ASSERT_EQ(load(file), 0);
  EXPECT_EQ(log.infos(), (std::vector<std::string>{"TleLoadFile: Reading TLEs from file \"" + file + "\".",
                                                   "Total TLEs = 2, Loaded = 2, Dup = 0, Bad = 0"}));
  EXPECT_EQ(log.errors(), std::vector<std::string>{});
}

TEST_P(TleExports, CsvLineAsLine1AndOrders) {
  char csv[512];
  ASSERT_EQ(TleLinesToCsv(text(kL1).c_str(), text(kL2).c_str(), csv), 0);
  const int64_t k1 = TleAddSatFrLines(csv, text("anything").c_str());
  ASSERT_GT(k1, 0);
  std::string later = kL1;
  later.replace(20, 3, "021");
  const int64_t k2 = TleAddSatFrLines(text(later).c_str(), text(kL2).c_str());
  ASSERT_GT(k2, 0);
  int64_t keys[2];
  TleGetLoaded(0, keys);
  EXPECT_EQ(keys[0], k1);  // same satellite and type: earlier epoch first
  EXPECT_EQ(keys[1], k2);
  TleGetLoaded(1, keys);
  EXPECT_EQ(keys[0], k2);
  TleGetLoaded(2, keys);
  EXPECT_EQ(keys[0], k1);
  TleGetLoaded(-1, keys);
  EXPECT_LT(keys[0], keys[1]);
}

TEST_P(TleExports, LoadsTheCatalogAndSavesBothForms) {
  ASSERT_EQ(load(kCatalog), 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0");
  EXPECT_EQ(TleGetCount(), 979);
  const auto before = contents();
  for (int32_t form : {0, 1}) {
    const std::string out = path("saved" + std::to_string(form));
    ASSERT_EQ(TleSaveFile(text(out).c_str(), 0, form), 0);
    ASSERT_EQ(TleRemoveAllSats(), 0);
    ASSERT_EQ(load(out), 0);
    EXPECT_EQ(lastInfo(), "Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0");
    EXPECT_EQ(contents(), before) << "form " << form;
  }
  // A second load of the same file: duplicates in tree mode.
  ASSERT_EQ(load(kCatalog), 0);
  EXPECT_EQ(lastInfo(), dma() ? "Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0"
                              : "Total TLEs = 979, Loaded = 0, Dup = 979, Bad = 0");
}

TEST_P(TleExports, BadLinesAreCountedNeverFatal) {
  std::string bin = "\x01\x02\xff\xfe binary\n";
  bin[1] = '\0';
  std::string bad = std::string("garbage line\n") + kL1 + "\n" +  // line 1 that loses its line 2
                    "* comment\n\n" + std::string(700, 'x') + "\n" + bin +
                    std::string(kL1).replace(7, 1, "X") + "\n" + kL2 + "\n" +  // classification X
                    std::string(kL1).replace(40, 1, "?") + "\n" + kL2 + "\n" +  // unreadable number
                    std::string(kL1).replace(62, 1, "3") + "\n" +              // not a line 1: ignored
                    std::string(kL1).replace(2, 5, "00000") + "\n" +           // unrecognizable line 1
                    std::string(kL1).replace(20, 3, "030") + "\r\n" + kL2 + "\r\n" + std::string(kL1).replace(20, 3, "040") +
                    "\n";  // line 1 at the end without a line 2
  LogCapture log;
  ASSERT_EQ(load(write("bad.tle", bad)), 0);
  // kL1 is left without its line 2 by the classification-X line 1, which
  // pairs with the first line 2 and fails; then "?" fails, the zero
  // satellite number fails, the CRLF pair loads, and the last line 1 lacks
  // its line 2.
  EXPECT_EQ(lastInfo(), "Total TLEs = 6, Loaded = 1, Dup = 0, Bad = 5");

  EXPECT_NE(load(path("missing.tle")), 0);
  EXPECT_NE(load(dir_.string()), 0);
  const std::string cards = write("cards.tle", "ELTFIL=" + path("missing.tle") + "\n");
  EXPECT_NE(load(cards), 0);
}

TEST_P(TleExports, FileCardsAndDmaCard) {
  const std::string inner = write("inner.tle", std::string(kL1) + "\n" + kL2 + "\nELTFIL=" + path("nothing") + "\n");
  std::string other = kL1;
  other.replace(20, 3, "025");
  const std::string outer = write("outer.tle", "eltfil = " + inner + "\n" + other + "\n" + kL2 + "\n");
  ASSERT_EQ(load(outer), 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 2, Loaded = 2, Dup = 0, Bad = 0");
  ASSERT_EQ(TleRemoveAllSats(), 0);

  KernixSetElsetKeyMode(0);
  const std::string dmaFirst = write("dma.tle", "VX_DMA_ON\nELTFIL=" + inner + "\n");
  ASSERT_EQ(load(dmaFirst), 0);
  EXPECT_EQ(KernixGetElsetKeyMode(), 1);
  int64_t key = 0;
  TleGetLoaded(0, &key);
  EXPECT_EQ(key % 10, 0);
  EXPECT_LT(key, int64_t{1} << 60);
}

TEST_P(TleExports, ConcurrencyReadersWritersAndLoads) {
  ASSERT_EQ(load(kCatalog), 0);
  std::vector<int64_t> keys(979);
  TleGetLoaded(0, keys.data());
  std::atomic<bool> stop{false};
  std::atomic<int> badReads{0};
  std::vector<std::thread> threads;
  for (int r = 0; r < 3; ++r)
    threads.emplace_back([&, r] {
      char l1[512], l2[512], csv[512], field[512];
      std::vector<int64_t> listed(2000);
      for (size_t i = static_cast<size_t>(r); !stop.load(); i = (i + 7) % keys.size()) {
        // Every text read is a whole element set: it converts back.
        if (TleGetLines(keys[i], l1, l2) != 0 || TleLinesToCsv(l1, l2, csv) != 0) ++badReads;
        if (TleGetField(keys[i], 1, field) != 0 || std::atoi(std::string(field, 512).c_str()) <= 0) ++badReads;
        if (TleGetSatKey(25544) <= 0) ++badReads;
        if (TleGetCount() < 979) ++badReads;
        TleGetLoaded(static_cast<int32_t>(i % 3), listed.data());  // room for everything the writers may add
      }
    });
  // A writer adds, updates and removes element sets of its own.
  threads.emplace_back([&] {
    for (int day = 100; day < 160; ++day) {
      std::string l1 = kL1;
      l1.replace(20, 3, std::to_string(day));
      const int64_t k = TleAddSatFrLines(text(l1).c_str(), text(kL2).c_str());
      if (k <= 0 || TleSetField(k, 7, text("123").c_str()) != 0 || TleRemoveSat(k) != 0) ++badReads;
    }
  });
  // Two threads load the same other file at once.
  std::string file;
  for (int day = 200; day < 240; ++day) file += std::string(kL1).replace(20, 3, std::to_string(day)) + "\n" + kL2 + "\n";
  const std::string extra = write("extra.tle", file);
  std::atomic<int> loadedTotal{0};
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      if (load(extra) != 0) ++badReads;
      ++loadedTotal;
    });
  threads[3].join();
  threads[4].join();
  threads[5].join();
  stop = true;
  for (int i = 0; i < 3; ++i) threads[static_cast<size_t>(i)].join();
  EXPECT_EQ(badReads.load(), 0);
  EXPECT_EQ(loadedTotal.load(), 2);
  EXPECT_EQ(TleGetCount(), dma() ? 979 + 80 : 979 + 40);
}

// TleGetSatKey answers the first set of a number in the tree's pre-order,
// often the oldest; TleGetLatestSatKey answers the latest epoch of any type.
// The history has sets of three types, the latest of the lowest type code, an
// epoch within the 8 seconds of a key taken by another set (an advanced
// key in tree mode, whichever comes first), equal epochs of two types and a
// repeated set (a second key in DMA mode), beside later sets of the
// neighbouring numbers.
TEST_P(TleExports, GetLatestSatKeyFindsTheLatestEpochNotTheFirstSet) {
  struct Set {
    const char* epoch;
    char ephType;
    double order;  // the epoch as a number, for the scan
  };
  const std::vector<Set> sets = {{"18020.59659722", '0', 18020.59659722}, {"18021.50000000", '2', 18021.5},
                                 {"18021.50000500", '2', 18021.500005},   {"18023.00000000", '0', 18023.0},
                                 {"18022.00000000", '4', 18022.0},        {"18023.00000000", '2', 18023.0},
                                 {"18020.59659722", '0', 18020.59659722}};
  auto line1 = [&](const std::string& num, const char* epoch, char ephType) {
    std::string l1 = kL1;
    l1.replace(2, 5, num).replace(18, 14, epoch)[62] = ephType;
    return l1;
  };
  std::string l2 = kL2;
  ASSERT_GT(TleAddSatFrLines(text(line1("25543", "18040.00000000", '0')).c_str(), text(l2.replace(2, 5, "25543")).c_str()), 0);
  ASSERT_GT(TleAddSatFrLines(text(line1("25545", "18041.00000000", '0')).c_str(), text(l2.replace(2, 5, "25545")).c_str()), 0);
  l2.replace(2, 5, "25544");
  std::vector<double> epochs;
  for (const Set& s : sets) epochs.push_back(s.order);
  auto addSet = [&](size_t i) {
    return TleAddSatFrLines(text(line1("25544", sets[i].epoch, sets[i].ephType)).c_str(), text(l2).c_str());
  };
  vx::testing::LatestHistory{25544, epochs, addSet, TleGetLatestSatKey, TleRemoveSat}.runBothOrders();

  LogCapture log;
  EXPECT_EQ(TleGetLatestSatKey(25544), -1);
  EXPECT_EQ(log.errors().back(), "GetLatestSatKey: Unable to locate satellite number     25544 in the TLE binary tree.");
}

INSTANTIATE_TEST_SUITE_P(KeyModes, TleExports, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? std::string("Tree") : std::string("Dma"); });

}  // namespace
