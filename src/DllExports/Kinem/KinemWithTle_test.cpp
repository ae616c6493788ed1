// The state-vector and element-set libraries used at once: separate stores
// and guards, one process-wide DMA registry, and each library refusing the
// other's DMA keys.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/HostText.h"
#include "veltrix/kernix.h"
#include "veltrix/kinem.h"
#include "veltrix/tle.h"

namespace {

using vx::testing::hostText;

const std::string kV1 = "  -5405.1320   3674.5167  -1796.0002   -1488.6831   -4955.9782   -5659.4070 UB1P";
const std::string kV2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000MMJ2K2P";
const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";

// The same vector or element set under another satellite number.
std::string withSat(const std::string& line, int at, int satNum) {
  std::string l = line, n = std::to_string(satNum);
  l.replace(static_cast<size_t>(at), 5, std::string(5 - n.size(), '0') + n);
  return l;
}
int64_t addVector(int satNum) {
  return KinemAddSatFrLines(hostText(kV1).c_str(), hostText(withSat(kV2, 0, satNum)).c_str());
}
int64_t addElset(int satNum) {
  return TleAddSatFrLines(hostText(withSat(kL1, 2, satNum)).c_str(), hostText(withSat(kL2, 2, satNum)).c_str());
}
std::string lastErr() {
  char m[128];
  KernixGetLastErrMsg(m);
  std::string s(m, 128);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// A key as the refusal lines put it: right-aligned in 19 columns, or in the
// 20 that the lowest keys need.
std::string key19(int64_t key) {
  const std::string s = std::to_string(key);
  return std::string(s.size() < 19 ? 19 - s.size() : 0, ' ') + s;
}

class KinemWithTle : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    KinemRemoveAllSats();
    TleRemoveAllSats();
    KernixSetElsetKeyMode(GetParam());
  }
  void TearDown() override {
    KinemRemoveAllSats();
    TleRemoveAllSats();
    KernixSetElsetKeyMode(0);
  }
};

// A DMA key of one library given to the other is refused, and the set it
// names stays whole.
TEST_P(KinemWithTle, EachLibraryRefusesTheOthersDmaKeys) {
  if (GetParam() != 1) GTEST_SKIP() << "DMA keys only";
  const int64_t vec = addVector(25544), elset = addElset(25544);
  ASSERT_GT(vec, 0);
  ASSERT_GT(elset, 0);
  char l1[512], l2[512];
  EXPECT_EQ(KinemRemoveSat(elset), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: This DMA object isn't a correct object. " + key19(elset));
  EXPECT_EQ(TleRemoveSat(vec), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: This DMA object isn't a correct object. " + key19(vec));
  EXPECT_EQ(KinemGetLines(elset, l1, l2), 2);
  EXPECT_EQ(TleGetLines(vec, l1, l2), 2);
  EXPECT_EQ(KinemGetLines(vec, l1, l2), 0);
  EXPECT_EQ(TleGetLines(elset, l1, l2), 0);
  EXPECT_EQ(KinemGetCount(), 1);
  EXPECT_EQ(TleGetCount(), 1);
  // Removing one library's sets leaves the other's alone.
  EXPECT_EQ(TleRemoveAllSats(), 0);
  EXPECT_EQ(KinemGetLines(vec, l1, l2), 0);
}

// Writers of both libraries update and remove the very sets that readers of
// both read.
TEST_P(KinemWithTle, ConcurrencyBothStoresAtOnce) {
  constexpr int kSets = 8, kRounds = 150;
  std::vector<std::atomic<int64_t>> vecs(kSets), elsets(kSets);
  for (int i = 0; i < kSets; ++i) {
    vecs[static_cast<size_t>(i)] = addVector(30000 + i);
    elsets[static_cast<size_t>(i)] = addElset(30000 + i);
  }
  std::atomic<int> writersLeft{2};
  std::thread vecWriter([&] {
    for (int r = 0; r < kRounds; ++r) {
      auto& k = vecs[static_cast<size_t>(r % kSets)];
      KinemSetField(k, 13, hostText("77").c_str());
      KinemRemoveSat(k);
      k = addVector(30000 + r % kSets);
    }
    --writersLeft;
  });
  std::thread elsetWriter([&] {
    for (int r = 0; r < kRounds; ++r) {
      auto& k = elsets[static_cast<size_t>(r % kSets)];
      TleSetField(k, 7, hostText("77").c_str());
      TleRemoveSat(k);
      k = addElset(30000 + r % kSets);
    }
    --writersLeft;
  });
  std::thread reader([&] {
    char a[512], b[512];
    for (int r = 0; writersLeft > 0 || r < 20; ++r) {
      const size_t i = static_cast<size_t>(r % kSets);
      if (KinemGetLines(vecs[i], a, b) == 0) {
        EXPECT_EQ(std::string(b, 5), std::to_string(30000 + static_cast<int>(i)));
      }
      if (TleGetLines(elsets[i], a, b) == 0) {
        EXPECT_EQ(std::string(a + 2, 5), std::to_string(30000 + static_cast<int>(i)));
      }
      KinemGetSatKey(30000 + static_cast<int>(i));
      TleGetSatKey(30000 + static_cast<int>(i));
    }
  });
  vecWriter.join();
  elsetWriter.join();
  reader.join();
  EXPECT_EQ(KinemGetCount(), kSets);
  EXPECT_EQ(TleGetCount(), kSets);
}

// Every refusal of a removal names the key the host gave, in both libraries,
// for every kind of bad key, and leaves the live sets alone.
TEST_P(KinemWithTle, RemovalRefusalsNameTheKey) {
  enum Says { kNoNode, kBadDma, kDeadDma, kWrongType };
  const auto line = [](Says says, int64_t key) -> std::string {
    switch (says) {
      case kNoNode: return "RemoveNode: Unable to locate this key " + key19(key) + " in its binary tree.";
      case kBadDma: return "RemoveNode: Invalid DMA key (<=0). " + key19(key);
      case kDeadDma: return "RemoveDMA: /DMA doesn't exist or was already deallocated " + key19(key);
      case kWrongType: return "RemoveDMA: This DMA object isn't a correct object. " + key19(key);
    }
    return {};
  };
  struct Library {
    const char* name;
    int64_t (*add)(int satNum);
    int32_t (*remove)(int64_t key);
    int32_t (*removeAll)();
    int32_t (*count)();
  };
  const Library libs[] = {
      {"tle", addElset, TleRemoveSat, TleRemoveAllSats, TleGetCount},
      {"kinem", addVector, KinemRemoveSat, KinemRemoveAllSats, KinemGetCount},
  };
  const bool dma = GetParam() == 1;
  for (size_t l = 0; l < 2; ++l) {
    const Library& lib = libs[l];
    const Library& other = libs[1 - l];
    const int64_t stale = lib.add(11);
    ASSERT_EQ(lib.removeAll(), 0);
    const int64_t removed = lib.add(12);
    ASSERT_EQ(lib.remove(removed), 0);
    const int64_t live = lib.add(13), foreign = other.add(14);
    ASSERT_GT(live, 0);
    ASSERT_GT(foreign, 0);
    const struct {
      const char* kind;
      int64_t key;
      Says tree, dmaMode;  // what the line says in each key mode
    } cases[] = {
        {"stale", stale, kNoNode, kDeadDma},
        {"removed", removed, kNoNode, kDeadDma},
        {"live plus one", live + 1, kNoNode, kDeadDma},
        {"random low", 7'351'902'468, kDeadDma, kDeadDma},
        {"random high", (int64_t{1} << 60) + 7'351'902'468, kNoNode, kNoNode},
        {"other library's", foreign, kNoNode, kWrongType},
        {"zero", 0, kBadDma, kBadDma},
        {"negative", -10, kBadDma, kBadDma},
        {"lowest", INT64_MIN, kBadDma, kBadDma},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(lib.name) + ": " + c.kind);
      EXPECT_EQ(lib.remove(c.key), 2);
      EXPECT_EQ(lastErr(), line(dma ? c.dmaMode : c.tree, c.key));
    }
    EXPECT_EQ(lib.count(), 1);
    EXPECT_EQ(other.count(), 1);
    ASSERT_EQ(lib.remove(live), 0);
    ASSERT_EQ(other.remove(foreign), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(KeyModes, KinemWithTle, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? "Tree" : "Dma"; });

}  // namespace
