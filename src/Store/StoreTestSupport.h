// The smallest record a keyed store can hold, its traits, and helpers the
// store's tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Store/KeyedStore.h"

namespace vx::store {

// Links a node a test made itself, key and record as given (the retry rule
// for taken keys applies).
struct KeyedStoreTestAccess {
  template <class S>
  static int32_t addNode(S& s, typename S::Node* n) {
    return s.addNode(n);
  }
};

}  // namespace vx::store

namespace storetest {

// Copying a record can be made to fail, as an allocation would.
inline thread_local bool t_failCopies = false;
struct CopyBomb {
  CopyBomb() = default;
  CopyBomb(const CopyBomb&) { explode(); }
  CopyBomb& operator=(const CopyBomb&) { return explode(), *this; }
  CopyBomb(CopyBomb&&) noexcept = default;
  CopyBomb& operator=(CopyBomb&&) noexcept = default;
  static void explode() { t_failCopies ? throw std::bad_alloc() : void(); }
};

struct MiniRec {
  int32_t satNum = 0;
  double epoch = 0;  // its whole part enters the tree key
  int32_t payload = 0;
  int32_t type = 1;
  std::vector<int32_t> extra;  // optional part
  CopyBomb bomb;
};

struct MiniTraits {
  using Record = MiniRec;
  static int32_t validate(MiniRec& r) { return r.satNum < 0 ? 2 : 0; }
  static int64_t treeKey(const MiniRec& r) { return vx::kTreeKeyBase + int64_t{r.satNum} * 1000 + int64_t(r.epoch); }
  static int32_t eltType(const MiniRec& r) { return r.type; }
  static bool isElsetType(int32_t t) { return t == 1 || t == 2 || t == 3 || t == 7; }
  static bool equal(const MiniRec& a, const MiniRec& b) {
    return a.satNum == b.satNum && a.payload == b.payload && !vx::neqr(a.epoch, b.epoch);
  }
  static void sortText(const MiniRec& r, char* text) {
    vx::fmt::writeI(text, 9, r.satNum, 9);
    vx::fmt::writeF(text + 9, 16, 9, r.epoch);
  }
  static int32_t satNum(const MiniRec& r) { return r.satNum; }
  static bool keyRange(int32_t n, int64_t& lo, int64_t& hi) {
    if (n < 0) return false;
    lo = vx::kTreeKeyBase + int64_t{n} * 1000;
    hi = lo + 999;
    return true;
  }
  static double epochDs50(const MiniRec& r) { return r.epoch; }
  static int64_t epochKey(const MiniRec& r) { return r.satNum < 0 ? -1 : treeKey(r); }
  static bool typeKeyRange(int32_t n, int32_t, int64_t& lo, int64_t& hi) { return keyRange(n, lo, hi); }
  static void markNotFound(MiniRec& r) { r = MiniRec{-123, 0, 0, 1, {}, {}}; }
};

using Store = vx::store::KeyedStore<MiniTraits>;
using Node = Store::Node;

inline int64_t K(int64_t i) { return vx::kTreeKeyBase + i; }
inline int64_t keyOf(int32_t satNum, double epoch) { return MiniTraits::treeKey(MiniRec{satNum, epoch, 0, 1, {}, {}}); }
inline MiniRec rec(int32_t satNum, double epoch, int32_t payload = 0) {
  return MiniRec{satNum, epoch, payload, 1, {1, 2}, {}};
}

inline Node* makeNode(int64_t key, int32_t payload) {
  auto* n = new Node(key);
  n->rec.emplace(rec(7, 0, payload));
  return n;
}

inline std::string key19(int64_t key) {
  std::string s = std::to_string(key);
  return std::string(19 - s.size(), ' ') + s;
}
inline std::string padded(std::string_view s) { return std::string(s) + std::string(128 - s.size(), ' '); }
inline std::string lastErr() { return std::string(vx::lasterrmsg()); }

// Checks the AVL invariants below n and appends its keys in order; returns the height.
inline int checkShape(const Node* n, std::vector<std::pair<int64_t, int32_t>>& out) {
  if (n == nullptr) return 0;
  const int hl = checkShape(n->left, out);
  out.emplace_back(n->satKey, n->rec ? n->rec->payload : -1);
  const int hr = checkShape(n->right, out);
  EXPECT_EQ(n->balance, hr - hl) << "at key " << n->satKey;
  EXPECT_LE(std::abs(hr - hl), 1);
  return 1 + std::max(hl, hr);
}

inline constexpr vx::store::AddPolicy kTree{0, 0};
inline constexpr vx::store::AddPolicy kDma{1, 0};

template <class S>
int32_t addNode(S& s, typename S::Node* n) {
  return vx::store::KeyedStoreTestAccess::addNode(s, n);
}

// The payload of the record withRecord lends for key, -1 when it lends none.
template <class S>
int32_t payloadOf(S& s, int64_t key, char* msgOut = nullptr) {
  int32_t payload = -1;
  s.withRecord(key, [&](const MiniRec& r) { payload = r.payload; }, msgOut);
  return payload;
}

// Every test gets an empty store; adds make tree keys unless a test says
// otherwise through mode.
class StoreTest : public ::testing::Test {
 protected:
  void TearDown() override { t_failCopies = false; }
  Store store;
  vx::store::AddPolicy mode = kTree;  // how the adds of a test make their keys
};

}  // namespace storetest
