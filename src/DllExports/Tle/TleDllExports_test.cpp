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
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/tle.h"

namespace {

namespace fs = std::filesystem;
using vx::testing::LogCapture;

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";
const std::string kCatalog = std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle";

std::string text(const std::string& s) {
  std::string t = s;
  t.resize(512, ' ');
  return t;
}

std::string trimmed(const char* buf, size_t n) {
  std::string s(buf, n);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

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
  std::string bad = std::string("garbage line\n") + kL1 + "\n" +  // line 1 whose line 2 comes later
                    "* comment\n\n" + std::string(700, 'x') + "\n" + bin +
                    std::string(kL1).replace(7, 1, "X") + "\n" + kL2 + "\n" +  // classification X
                    std::string(kL1).replace(40, 1, "?") + "\n" + kL2 + "\n" +  // unreadable number
                    std::string(kL1).replace(62, 1, "3") + "\n" +              // not a line 1: ignored
                    std::string(kL1).replace(2, 5, "00000") + "\n" +           // unrecognizable line 1
                    std::string(kL1).replace(20, 3, "030") + "\r\n" + kL2 + "\r\n" + std::string(kL1).replace(20, 3, "040") +
                    "\n";  // line 1 at the end without a line 2
  LogCapture log;
  ASSERT_EQ(load(write("bad.tle", bad)), 0);
  // kL1 pairs with the first line 2 (everything in between, the
  // classification-X line 1 included, is skipped without a count); then "?"
  // fails, the zero satellite number fails, the CRLF pair loads, and the
  // last line 1 lacks its line 2.
  EXPECT_EQ(lastInfo(), "Total TLEs = 5, Loaded = 2, Dup = 0, Bad = 3");

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

INSTANTIATE_TEST_SUITE_P(KeyModes, TleExports, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? std::string("Tree") : std::string("Dma"); });

}  // namespace
