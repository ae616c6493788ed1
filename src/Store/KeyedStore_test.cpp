#include "Store/KeyedStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// Copying a record can be made to fail, as an allocation would.
thread_local bool t_failCopies = false;
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
  static void markNotFound(MiniRec& r) { r = MiniRec{-123, 0, 0, 1, {}, {}}; }
};

using Store = vx::store::KeyedStore<MiniTraits>;
using Node = Store::Node;

int64_t K(int64_t i) { return vx::kTreeKeyBase + i; }
int64_t keyOf(int32_t satNum, double epoch) { return MiniTraits::treeKey(MiniRec{satNum, epoch, 0, 1, {}, {}}); }
MiniRec rec(int32_t satNum, double epoch, int32_t payload = 0) {
  return MiniRec{satNum, epoch, payload, 1, {1, 2}, {}};
}

Node* makeNode(int64_t key, int32_t payload) {
  auto* n = new Node(key);
  n->rec.emplace(rec(7, 0, payload));
  return n;
}

std::string key19(int64_t key) {
  std::string s = std::to_string(key);
  return std::string(19 - s.size(), ' ') + s;
}
std::string padded(std::string_view s) { return std::string(s) + std::string(128 - s.size(), ' '); }
std::string lastErr() { return std::string(vx::lasterrmsg()); }

// Checks the AVL invariants below n and appends its keys in order; returns the height.
int checkShape(const Node* n, std::vector<std::pair<int64_t, int32_t>>& out) {
  if (n == nullptr) return 0;
  const int hl = checkShape(n->left, out);
  out.emplace_back(n->satKey, n->rec ? n->rec->payload : -1);
  const int hr = checkShape(n->right, out);
  EXPECT_EQ(n->balance, hr - hl) << "at key " << n->satKey;
  EXPECT_LE(std::abs(hr - hl), 1);
  return 1 + std::max(hl, hr);
}

class KeyedStoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    vx::elsetkeymodeset(0);
    vx::dupkeymodeset(0);
    t_failCopies = false;
  }
  Store store;
};

TEST_F(KeyedStoreTest, RandomInsertRemoveKeepsAvlShapeAndMatchesMap) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    Store s;
    std::map<int64_t, int32_t> ref;
    std::mt19937 rng(seed);
    for (int step = 0; step < 3000; ++step) {
      const int64_t key = K(rng() % 200);
      if (rng() % 10 < 6) {
        const auto payload = static_cast<int32_t>(rng() % 3);
        int64_t expect = key;  // where the retry rule puts it, or -1 for a duplicate
        for (int attempt = 0;; ++attempt, ++expect) {
          if (attempt == 100 || (ref.count(expect) && ref[expect] == payload)) {
            expect = -1;
            break;
          }
          if (!ref.count(expect)) break;
        }
        Node* n = makeNode(key, payload);
        const int32_t status = s.addNode(n);
        if (expect < 0) {
          ASSERT_EQ(status, 3);
          delete n;
        } else {
          ASSERT_TRUE(status == 0 || status == 1);
          ASSERT_EQ(n->satKey, expect);
          ref[expect] = payload;
        }
      } else {
        ASSERT_EQ(s.remove(key), ref.erase(key) ? 0 : 2);
      }
      std::vector<std::pair<int64_t, int32_t>> inOrder;
      checkShape(s.root(), inOrder);
      const std::vector<std::pair<int64_t, int32_t>> expected(ref.begin(), ref.end());
      ASSERT_EQ(inOrder, expected) << "step " << step;
      ASSERT_EQ(s.count(), static_cast<int32_t>(ref.size()));
    }
  }
}

TEST_F(KeyedStoreTest, AscendingKeysGiveBalancedTree) {
  const int32_t statuses[] = {1, 1, 0, 1, 0, 0, 0};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(store.addNode(makeNode(K(i), i)), statuses[i - 1]) << "key " << i;
  std::vector<std::pair<int64_t, int32_t>> inOrder;
  EXPECT_EQ(checkShape(store.root(), inOrder), 3);  // seven nodes in three levels: every balance 0
  EXPECT_EQ(store.root()->satKey, K(4));
  EXPECT_EQ(store.root()->seqNum, 4);
}

TEST_F(KeyedStoreTest, CollidingKeysFollowRetryAndDuplicateRules) {
  const int64_t k = keyOf(5, 1.0);
  struct Case {
    const char* name;
    int32_t dupMode;
    std::vector<int32_t> payloads;  // records of satellite 5 at epoch 1.0, added in turn
    std::vector<int64_t> results;
    int32_t finalCount;
    std::string lastMessage;
  } cases[] = {
      {"equal twice, reported", 0, {1, 1}, {k, 0}, 1, "AddRecToMem: Duplicated record/key " + key19(k) + " found."},
      {"equal twice, silent", 1, {1, 1}, {k, k}, 1, "marker"},
      {"different record advances", 0, {1, 2}, {k, k + 1}, 2, "marker"},
      {"advanced duplicate, silent gives first key", 1, {1, 2, 2}, {k, k + 1, k}, 2, "marker"},
      {"advanced duplicate, reported with first key", 0, {1, 2, 2}, {k, k + 1, 0}, 2,
       "AddRecToMem: Duplicated record/key " + key19(k) + " found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Store s;
    vx::dupkeymodeset(c.dupMode);
    vx::tracelogerror("marker");
    for (size_t i = 0; i < c.payloads.size(); ++i) {
      MiniRec r = rec(5, 1.0, c.payloads[i]);
      Node* node = nullptr;
      EXPECT_EQ(s.add(r, &node), c.results[i]);
      EXPECT_EQ(node != nullptr, static_cast<int32_t>(i) < c.finalCount);
    }
    EXPECT_EQ(s.count(), c.finalCount);
    EXPECT_EQ(s.seqnum(), c.finalCount);
    EXPECT_EQ(lastErr(), c.lastMessage);
  }
  // A hundred keys taken by different records: the add counts as a duplicate.
  for (int i = 0; i < 100; ++i) store.addNode(makeNode(k + i, 100 + i));
  MiniRec r = rec(5, 1.0, 1);
  EXPECT_EQ(store.add(r), 0);
  EXPECT_EQ(lastErr(), "AddRecToMem: Duplicated record/key " + key19(k) + " found.");
  EXPECT_EQ(store.count(), 100);
}

TEST_F(KeyedStoreTest, RemovingNodeWithTwoChildrenKeepsPredecessorsLoadNumber) {
  for (int i : {4, 2, 6, 1, 3, 5, 7}) store.addNode(makeNode(K(i), 10 * i));
  const Node* root = store.root();
  ASSERT_EQ(store.remove(K(4)), 0);
  ASSERT_EQ(store.root(), root);  // the node stays, its contents move
  EXPECT_EQ(root->satKey, K(3));
  EXPECT_EQ(root->seqNum, 5);
  EXPECT_EQ(root->rec->payload, 30);
  std::vector<std::pair<int64_t, int32_t>> inOrder;
  checkShape(root, inOrder);
  int32_t n = 0;
  int64_t keys[6];
  store.getTreeKeys(n, keys, 2);
  EXPECT_EQ(std::vector<int64_t>(keys, keys + n), (std::vector<int64_t>{K(2), K(6), K(1), K(3), K(5), K(7)}));
}

TEST_F(KeyedStoreTest, EnumerationOrders) {
  // Loaded out of order; 10/5.2 collides with 10/5.7 and gets the next key.
  const int64_t k20 = keyOf(20, 3.0), k10 = keyOf(10, 5.7), k10b = k10 + 1, k5 = keyOf(5, 9.0);
  for (MiniRec r : {rec(20, 3.0), rec(10, 5.7), rec(10, 5.2), rec(5, 9.0)}) store.add(r);
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
  one.add(r);
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

TEST_F(KeyedStoreTest, LoadNumbersContinueAfterEmptying) {
  MiniRec a = rec(1, 1.0), b = rec(2, 1.0);
  for (MiniRec* r : {&a, &b, &a}) store.add(*r);  // the duplicate uses no load number
  EXPECT_EQ(store.seqnum(), 2);
  int32_t err = 7;
  store.emptyTree(err);
  EXPECT_TRUE(err == 0 && store.isEmpty());
  err = 5;
  store.emptyTree(err);
  EXPECT_EQ(err, 5);
  Node* node = nullptr;
  EXPECT_EQ(store.add(b, &node), keyOf(2, 1.0));
  EXPECT_EQ(node->seqNum, 3);
}

TEST_F(KeyedStoreTest, LoggedMessagesWordForWord) {
  MiniRec r = rec(1, 1.0, 5);
  store.add(r);
  const std::string absent = key19(K(999));
  const struct {
    std::function<int32_t()> call;
    std::string message;
  } cases[] = {
      {[&] { return store.remove(K(999)); },
       "RemoveNode: Unable to locate this key " + absent + " in its binary tree."},
      {[&] { return store.remove(0); }, "RemoveNode: Invalid DMA key (<=0)."},
      {[&] { return store.update(-10, r); }, "UpdateRec: Invalid DMA key (<=0)."},
      {[&] { return store.update(K(999), r); }, "UpdateRec: Unable to locate key " + absent + " in its binary tree."},
      {[&] { return store.update(12340, r); }, "UpdateRec: rec/DMA doesn't exist or was already deallocated"},
      {[&] { return store.remove(12340); }, "RemoveDMA: /DMA doesn't exist or was already deallocated"},
      {[&] { return store.removeDma(12340); }, "RemoveDMA: /DMA doesn't exist or was already deallocated"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), 2);
    EXPECT_EQ(lastErr(), c.message);
  }
  EXPECT_EQ(store.count(), 1);
}

TEST_F(KeyedStoreTest, FindMessagesGoOnlyToTheBuffer) {
  Store empty;
  MiniRec r = rec(1, 1.0, 5);
  store.add(r);
  const struct {
    Store* s;
    int64_t key;
    std::string_view findRec, findRecPtr;
  } cases[] = {
      {&empty, K(1), "FindRec: Search tree is empty.", "FindRecPtr: Search tree is empty."},
      {&store, K(2), "FindRec: search key doens't exist.", "FindRecPtr: search key doens't exist."},
      {&store, 0, "FindRec: Invalid DMA key (<=0).", "FindRecPtr: Invalid DMA key (<=0)."},
      {&store, -30, "FindRec: Invalid DMA key (<=0).", "FindRecPtr: Invalid DMA key (<=0)."},
      {&store, 12340, "", "FindRecPtr: Invalid DMA key."},
  };
  vx::tracelogerror("marker");
  for (const auto& c : cases) {
    char buf[128];
    MiniRec out = rec(9, 9.0);
    EXPECT_EQ(c.s->findRec(c.key, out, buf), 2);
    EXPECT_EQ(std::string(buf, 128), padded(c.findRec));
    EXPECT_EQ(out.satNum, -123);
    EXPECT_TRUE(out.extra.empty());
    EXPECT_EQ(c.s->findRecPtr(c.key, buf), nullptr);
    c.s->endRead();
    EXPECT_EQ(std::string(buf, 128), padded(c.findRecPtr));
  }
  EXPECT_EQ(lastErr(), "marker");

  char buf[128];
  MiniRec out;
  EXPECT_EQ(store.findRec(keyOf(1, 1.0), out, buf), 0);
  EXPECT_TRUE(out.payload == 5 && out.extra.size() == 2);
  EXPECT_EQ(std::string(buf, 128), padded(""));
  EXPECT_EQ(store.findRecPtr(keyOf(1, 1.0), nullptr)->payload, 5);
  store.endRead();
}

TEST_F(KeyedStoreTest, FailedCopiesLeaveTheStoreUnchanged) {
  MiniRec r = rec(1, 1.0, 5), changed = rec(1, 1.0, 6);
  ASSERT_EQ(store.add(r), keyOf(1, 1.0));
  t_failCopies = true;
  MiniRec other = rec(2, 1.0);
  EXPECT_EQ(store.add(other), -1);
  EXPECT_EQ(lastErr(), "AddRecToMem: Memory allocation failed");
  EXPECT_EQ(store.update(keyOf(1, 1.0), changed), 2);
  EXPECT_EQ(lastErr(), "UpdateRec: Memory allocation failed");
  char buf[128];
  MiniRec out;
  EXPECT_EQ(store.findRec(keyOf(1, 1.0), out, buf), 2);
  EXPECT_EQ(out.satNum, -123);
  EXPECT_EQ(std::string(buf, 128), padded("FindRec: Memory allocation failed"));
  vx::elsetkeymodeset(1);
  EXPECT_EQ(store.add(other), -1);
  EXPECT_EQ(lastErr(), "AddRecToMem: Cannot allocate memory for a new rec.");
  t_failCopies = false;
  EXPECT_EQ(store.count(), 1);
  EXPECT_EQ(store.seqnum(), 1);
  EXPECT_EQ(store.findRecPtr(keyOf(1, 1.0))->payload, 5);
  store.endRead();
}

TEST_F(KeyedStoreTest, DmaModeKeysAndLifecycle) {
  MiniRec treeRec = rec(1, 1.0, 1);
  const int64_t treeKey = store.add(treeRec);
  vx::elsetkeymodeset(1);
  MiniRec r = rec(4, 2.0, 7);
  std::vector<int64_t> keys;
  for (int i = 0; i < 3; ++i) keys.push_back(store.add(r));  // equal records: never duplicates
  for (int64_t k : keys) EXPECT_TRUE(k > 0 && k % 10 == 0 && vx::isdma(k)) << k;
  EXPECT_EQ(std::set<int64_t>(keys.begin(), keys.end()).size(), 3u);
  EXPECT_EQ(store.count(), 4);
  EXPECT_NE(store.findRecPtr(treeKey), nullptr);  // a tree key keeps working
  store.endRead();

  const int64_t k = keys[0];
  EXPECT_EQ(store.update(k, rec(4, 2.0, 8)), 0);
  MiniRec out;
  EXPECT_EQ(store.findRec(k, out), 0);
  EXPECT_EQ(out.payload, 8);
  EXPECT_EQ(store.findRecPtr(k)->payload, 8);
  store.endRead();
  EXPECT_TRUE(vx::isdma(store.satKeyGet(4)));
  int32_t n = 0;
  int64_t sorted[4];
  store.getTreeKeys(n, sorted, 0);
  EXPECT_EQ(sorted[0], treeKey);  // satellite 1 before satellite 4

  // Stale key: answered from the registry, the freed object is never read.
  ASSERT_EQ(store.remove(k), 0);
  EXPECT_EQ(store.count(), 3);
  char buf[128];
  EXPECT_EQ(store.findRec(k, out, buf), 2);
  EXPECT_EQ(out.satNum, -123);
  EXPECT_EQ(std::string(buf, 128), padded(""));
  EXPECT_EQ(store.findRecPtr(k, buf), nullptr);
  store.endRead();
  EXPECT_EQ(std::string(buf, 128), padded("FindRecPtr: Invalid DMA key."));
  EXPECT_EQ(store.update(k, r), 2);
  EXPECT_EQ(lastErr(), "UpdateRec: rec/DMA doesn't exist or was already deallocated");
  EXPECT_EQ(store.remove(k), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: /DMA doesn't exist or was already deallocated");

  auto* obj = static_cast<vx::store::DmaObject*>(vx::keytocptr(keys[1]));
  obj->eltType = 9;
  EXPECT_EQ(store.remove(keys[1]), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: This DMA object isn't a correct object.");
  EXPECT_EQ(store.findRec(keys[1], out), 2);
  obj->eltType = 1;
  obj->selfAddr = 0;
  EXPECT_EQ(store.remove(keys[1]), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: /DMA doesn't exist or was already deallocated");
  obj->selfAddr = vx::satkeytoaddr(keys[1]);
  EXPECT_EQ(store.count(), 3);

  // An object held from outside loses its record and its node, not itself.
  obj->extData1 = obj;
  ASSERT_EQ(store.remove(keys[1]), 0);
  EXPECT_TRUE(vx::dmaislive(obj));
  EXPECT_EQ(obj->rec, nullptr);
  EXPECT_EQ(store.findRecPtr(keys[1], buf), nullptr);
  store.endRead();
  EXPECT_EQ(std::string(buf, 128), padded("FindRecPtr: Prop data doesn't exist."));
  obj->extData1 = nullptr;
  EXPECT_EQ(store.removeDma(keys[1]), 0);
  EXPECT_FALSE(vx::dmaislive(obj));

  int32_t err = 3;
  store.emptyTree(err);
  EXPECT_EQ(err, 0);
  EXPECT_FALSE(vx::dmaislive(vx::keytocptr(keys[2])));
}

// Both lookups of key agree with ref; the count agrees with a walk.
template <class S>
void expectLookup(S& s, int64_t key, const std::map<int64_t, int32_t>& ref) {
  const auto it = ref.find(key);
  const int32_t want = it == ref.end() ? -1 : it->second;
  MiniRec out;
  ASSERT_EQ(s.findRec(key, out), want < 0 ? 2 : 0) << "key " << key;
  const MiniRec* p = s.findRecPtr(key);
  const int32_t viaPtr = p != nullptr ? p->payload : -1;
  s.endRead();
  ASSERT_EQ(viaPtr, want) << "key " << key;
  if (want >= 0) {
    ASSERT_EQ(out.payload, want) << "key " << key;
  }
}

template <class S>
void expectAllFound(S& s, const std::map<int64_t, int32_t>& ref) {
  for (const auto& kv : ref) ASSERT_NO_FATAL_FAILURE(expectLookup(s, kv.first, ref));
  int32_t walked = 0;
  s.forEachInOrder([&](const MiniRec&) { ++walked; });
  ASSERT_EQ(walked, static_cast<int32_t>(ref.size()));
  ASSERT_EQ(s.count(), walked);
}

TEST_F(KeyedStoreTest, LookupsAgreeWithTreeThroughRandomAddsRemovalsAndEmptying) {
  for (uint32_t seed : {11u, 12u}) {
    Store s;
    std::map<int64_t, int32_t> ref;
    std::mt19937 rng(seed);
    int twoChildRemovals = 0;
    for (int step = 0; step < 5000; ++step) {
      const bool filling = (step / 800) % 2 == 0;  // the index grows and shrinks
      // Bulk windows (nested once): the index is set aside, then rebuilt.
      if (seed == 12 && (step == 1000 || step == 1200)) s.beginBulkAdd();
      if (seed == 12 && (step == 1400 || step == 2500)) s.endBulkAdd();
      const int64_t key = K(rng() % 1200);
      const auto roll = static_cast<uint32_t>(rng() % 20);
      const auto payload = static_cast<int32_t>(rng() % 1000);
      if (step == 3300) {
        int32_t err = 1;
        s.emptyTree(err);
        ref.clear();
      } else if (roll < (filling ? 13u : 6u)) {
        Node* n = makeNode(key, payload);
        if (s.addNode(n) == 3) delete n;
        else ref[n->satKey] = payload;  // a taken key moves the node on
      } else if (roll < 19) {
        const Node* n = s.root();
        while (n != nullptr && n->satKey != key) n = key < n->satKey ? n->left : n->right;
        if (n != nullptr && n->left != nullptr && n->right != nullptr) ++twoChildRemovals;
        ASSERT_EQ(s.remove(key), ref.erase(key) ? 0 : 2);
      } else {
        ASSERT_EQ(s.update(key, rec(7, 0, payload)), ref.count(key) ? 0 : 2);
        if (ref.count(key)) ref[key] = payload;
      }
      ASSERT_NO_FATAL_FAILURE(expectLookup(s, key, ref)) << "step " << step;
      if (step % 50 == 0) {
        ASSERT_NO_FATAL_FAILURE(expectAllFound(s, ref)) << "step " << step;
      }
    }
    EXPECT_GT(twoChildRemovals, 300);  // the predecessor's key moved into the node that stays
  }
}

// The index's memory can be refused, one thread at a time.
thread_local bool t_refuseIndex = false;
struct RefusableIndexMemory {
  static void* allocate(size_t bytes) noexcept {
    return t_refuseIndex ? nullptr : vx::store::IndexMemory::allocate(bytes);
  }
  static void release(void* p) noexcept { vx::store::IndexMemory::release(p); }
};

TEST_F(KeyedStoreTest, RefusedIndexMemoryFallsBackToTheTreeAndRecovers) {
  const struct {
    int before, refused, removed;  // adds before refusing, adds and removals while refused
    bool empty;                    // empty the store while refused
  } cases[] = {{0, 40, 10, false}, {5, 40, 10, false}, {60, 200, 120, false}, {60, 100, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    vx::store::KeyedStore<MiniTraits, RefusableIndexMemory> s;
    std::map<int64_t, int32_t> ref;
    int sat = 0;
    auto add = [&](int n) {
      for (int i = 0; i < n; ++i, ++sat) {
        MiniRec r = rec(sat, 1.0, sat);
        ref[s.add(r)] = sat;
      }
    };
    add(c.before);
    t_refuseIndex = true;
    add(c.refused);
    EXPECT_FALSE(s.indexInUse());
    for (int i = 0; i < c.removed; ++i) {  // from the middle: mostly nodes with two children
      const auto mid = std::next(ref.begin(), static_cast<long>(ref.size() / 2));
      ASSERT_EQ(s.remove(mid->first), 0);
      ref.erase(mid);
    }
    ASSERT_NO_FATAL_FAILURE(expectAllFound(s, ref));
    ASSERT_NO_FATAL_FAILURE(expectLookup(s, keyOf(99999, 1.0), ref));
    if (c.empty) {
      int32_t err = 1;
      s.emptyTree(err);
      ref.clear();
      EXPECT_TRUE(s.indexInUse());
    }
    t_refuseIndex = false;
    add((c.before + c.refused) / 8 + 1);  // rebuilt by then
    EXPECT_TRUE(s.indexInUse());
    ASSERT_NO_FATAL_FAILURE(expectAllFound(s, ref));
  }
}

TEST_F(KeyedStoreTest, NodesWithoutRecordsAreNotFoundWhereverTheyMove) {
  // Tree 4(2(1,3),6(5,7)) with no record on 3 and 5. Removing 4 moves 3's key
  // and contents into the root; the update gives 5 a record.
  Store s;
  for (int i : {4, 2, 6, 1, 3, 5, 7}) s.addNode(i == 3 || i == 5 ? new Node(K(i)) : makeNode(K(i), i));
  std::map<int64_t, int32_t> ref = {{K(1), 1}, {K(2), 2}, {K(4), 4}, {K(6), 6}, {K(7), 7}};
  for (int i = 1; i <= 7; ++i) ASSERT_NO_FATAL_FAILURE(expectLookup(s, K(i), ref));
  ASSERT_EQ(s.remove(K(4)), 0);
  ASSERT_EQ(s.update(K(5), rec(7, 0, 5)), 0);
  ref.erase(K(4));
  ref[K(5)] = 5;
  for (int i = 1; i <= 7; ++i) ASSERT_NO_FATAL_FAILURE(expectLookup(s, K(i), ref));
  EXPECT_EQ(s.count(), 6);
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

TEST_F(KeyedStoreTest, LoadOrderEqualsTextOrderOfLoadNumbers) {
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
    for (int64_t k : keys) s.addNode(makeNode(k, 0));
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

// Every key that is not exactly ten times a live object's address is refused
// without touching memory, and the element set stays whole.
TEST_F(KeyedStoreTest, DmaKeysMustBeExactAndStaleKeysStayRefused) {
  vx::elsetkeymodeset(1);
  MiniRec r = rec(4, 2.0, 7);
  const int64_t k = store.add(r);
  ASSERT_GT(k, 0);
  for (int64_t off = 1; off <= 9; ++off) {
    const int64_t bad = k + off;
    MiniRec out;
    EXPECT_EQ(store.findRec(bad, out), 2) << off;
    EXPECT_EQ(store.findRecPtr(bad), nullptr) << off;
    store.endRead();
    EXPECT_EQ(store.update(bad, rec(4, 2.0, 9)), 2) << off;
    EXPECT_EQ(store.modify(bad, [](MiniRec& m) { return m.payload = 9, 0; }), -1) << off;
    EXPECT_EQ(store.remove(bad), 2) << off;
    EXPECT_EQ(lastErr(), "RemoveDMA: /DMA doesn't exist or was already deallocated");
  }
  EXPECT_EQ(store.count(), 1);
  EXPECT_EQ(store.findRecPtr(k)->payload, 7);
  store.endRead();

  // A removed set's key is refused even after more sets have been added: the
  // address stays out of reuse for a while.
  ASSERT_EQ(store.remove(k), 0);
  std::vector<int64_t> later;
  for (int i = 0; i < 64; ++i) {
    MiniRec other = rec(5 + i, 2.0, 100 + i);
    later.push_back(store.add(other));
  }
  EXPECT_EQ(std::count(later.begin(), later.end(), k), 0);
  MiniRec out;
  EXPECT_EQ(store.findRec(k, out), 2);
  EXPECT_EQ(out.satNum, -123);
  EXPECT_EQ(store.remove(k), 2);
  EXPECT_EQ(store.count(), 64);
  int32_t err = 1;
  store.emptyTree(err);
}

// A change made through modify is one step: two threads changing different
// fields of the same record lose none of each other's changes.
TEST_F(KeyedStoreTest, ConcurrencyModifyLosesNoUpdate) {
  for (const bool dma : {false, true}) {
    vx::elsetkeymodeset(dma ? 1 : 0);
    MiniRec r = rec(3, 1.0, 0);
    const int64_t k = store.add(r);
    ASSERT_GT(k, 0);
    constexpr int kRounds = 2000;
    std::thread a([&] {
      for (int i = 0; i < kRounds; ++i) store.modify(k, [](MiniRec& m) { return ++m.payload, 0; });
    });
    std::thread b([&] {
      for (int i = 0; i < kRounds; ++i)
        store.modify(k, [](MiniRec& m) { return m.extra.push_back(1), 0; });
    });
    a.join();
    b.join();
    MiniRec out;
    ASSERT_EQ(store.findRec(k, out), 0);
    EXPECT_EQ(out.payload, kRounds) << "dma " << dma;
    EXPECT_EQ(out.extra.size(), 2u + kRounds) << "dma " << dma;
    // A refused change leaves the record as it was.
    EXPECT_EQ(store.modify(k, [](MiniRec& m) { return m.payload = -5, 2; }), 2);
    ASSERT_EQ(store.findRec(k, out), 0);
    EXPECT_EQ(out.payload, kRounds);
    int32_t err = 1;
    store.emptyTree(err);
  }
}

// Writers update and remove the very sets the readers read, in both key
// modes; readers see each set whole or not at all.
TEST_F(KeyedStoreTest, ConcurrencyReadersOfSetsBeingUpdatedAndRemoved) {
  for (const bool dma : {false, true}) {
    vx::elsetkeymodeset(dma ? 1 : 0);
    constexpr int kSets = 64, kRounds = 300;
    std::vector<std::atomic<int64_t>> keys(kSets);
    for (int i = 0; i < kSets; ++i) {
      MiniRec r = rec(i, 1.0, i);
      keys[static_cast<size_t>(i)] = store.add(r);
    }
    std::atomic<bool> done{false};
    std::thread writer([&] {
      for (int round = 0; round < kRounds; ++round) {
        const int i = round % kSets;
        auto& slot = keys[static_cast<size_t>(i)];
        store.update(slot, rec(i, 1.0, i));
        store.modify(slot, [](MiniRec& m) { return m.extra.assign(3, m.payload), 0; });
        store.remove(slot);
        MiniRec r = rec(i, 1.0, i);
        slot = store.add(r);
      }
      done = true;
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t)
      readers.emplace_back([&, t] {
        for (int round = 0; !done || round < 50; ++round) {
          const int i = (round * 5 + t) % kSets;
          const int64_t k = keys[static_cast<size_t>(i)];
          MiniRec out;
          if (store.findRec(k, out) == 0) {
            EXPECT_EQ(out.payload, i);
          }
          if (const MiniRec* p = store.findRecPtr(k)) {
            EXPECT_EQ(p->satNum, i);
            for (int32_t v : p->extra) (void)v;
          }
          store.endRead();
          const int64_t bySat = store.satKeyGet(i);
          EXPECT_TRUE(bySat == -1 || bySat > 0);
        }
      });
    writer.join();
    for (auto& r : readers) r.join();
    EXPECT_EQ(store.count(), kSets);
    int32_t err = 1;
    store.emptyTree(err);
  }
}

// The lookup by satellite number gives exactly the pre-order walk's answer
// through adds with colliding and spilling keys, updates that change the
// number, removals, both key modes and DMA records released from outside.
TEST_F(KeyedStoreTest, SatKeyGetAgreesWithPreOrderWalk) {
  std::mt19937 rng(7);
  std::vector<int64_t> live;
  for (int step = 0; step < 4000; ++step) {
    vx::elsetkeymodeset(step % 500 < 100 ? 1 : 0);
    const int op = static_cast<int>(rng() % 10);
    const int32_t sat = static_cast<int32_t>(rng() % 40);
    if (op < 5 || live.empty()) {
      // Epochs 990..1009 run past the end of the number's key range.
      MiniRec r = rec(sat, 990.0 + static_cast<double>(rng() % 20), static_cast<int32_t>(rng() % 3));
      const int64_t k = store.add(r);
      if (k > 0) live.push_back(k);
    } else {
      const size_t at = rng() % live.size();
      const int64_t k = live[at];
      if (op < 7) {
        store.update(k, rec(sat, 1.0, 1));
      } else if (op < 8) {
        store.modify(k, [&](MiniRec& m) { return m.satNum = sat, 0; });
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

TEST_F(KeyedStoreTest, ListingWithCapacityNeverWritesPastIt) {
  for (int i = 0; i < 10; ++i) {
    MiniRec r = rec(10 - i, 1.0, i);
    store.add(r);
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

TEST_F(KeyedStoreTest, ConcurrencyFindRecPtrHoldsWritersOff) {
  MiniRec r = rec(1, 1.0);
  const int64_t k = store.add(r);
  ASSERT_NE(store.findRecPtr(k), nullptr);
  std::atomic<bool> removed{false};
  std::thread writer([&] {
    store.remove(k);
    removed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(removed);
  store.endRead();
  writer.join();
  EXPECT_TRUE(removed);
  EXPECT_TRUE(store.isEmpty());
}

// Writers add, update and remove their own satellites while readers look at a
// stable set and walk everything; the readers must always see a whole tree.
void runReadersAndWriters(Store& store, bool dma) {
  constexpr int kStable = 200, kWriters = 2, kPerWriter = 500;
  std::vector<int64_t> stable;
  for (int i = 0; i < kStable; ++i) {
    MiniRec r = rec(i, 1.0, i);
    stable.push_back(store.add(r));
  }
  if (dma) vx::elsetkeymodeset(1);
  std::atomic<int> writersLeft{kWriters};
  std::vector<std::thread> threads;
  std::vector<std::vector<int64_t>> kept(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < kPerWriter; ++i) {
        const int32_t sat = 1000 * (w + 1) + i;
        MiniRec r = rec(sat, 1.0, 0);
        const int64_t k = store.add(r);
        EXPECT_EQ(store.update(k, rec(sat, 1.0, 1)), 0);
        if (i % 2 == 0) {
          EXPECT_EQ(store.remove(k), 0);
        } else {
          kept[w].push_back(k);
        }
      }
      --writersLeft;
    });
  }
  for (int rd = 0; rd < 3; ++rd) {
    threads.emplace_back([&, rd] {
      std::vector<int64_t> keys(kStable + kWriters * kPerWriter);
      for (int round = 0; writersLeft > 0 || round < 20; ++round) {
        const int i = (round * 7 + rd) % kStable;
        MiniRec out;
        EXPECT_EQ(store.findRec(stable[i], out), 0);
        EXPECT_EQ(out.payload, i);
        const MiniRec* p = store.findRecPtr(stable[i]);
        EXPECT_TRUE(p != nullptr && p->payload == i);
        store.endRead();
        EXPECT_EQ(store.satKeyGet(i), stable[i]);
        EXPECT_GE(store.count(), kStable);
        int32_t n = 0;
        store.getTreeKeys(n, keys.data(), round % 4);
        EXPECT_GE(n, kStable);
        if (round % 4 == 3) {
          EXPECT_TRUE(std::is_sorted(keys.begin(), keys.begin() + n));
        }
        int32_t visited = 0;
        store.forEachInOrder([&](const MiniRec&) { ++visited; });
        EXPECT_GE(visited, kStable);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(store.count(), kStable + kWriters * kPerWriter / 2);
  for (const auto& ks : kept)
    for (int64_t k : ks) {
      MiniRec out;
      EXPECT_EQ(store.findRec(k, out), 0);
      EXPECT_EQ(out.payload, 1);
    }
}

TEST_F(KeyedStoreTest, ConcurrencyReadersAndWritersTreeKeys) { runReadersAndWriters(store, false); }
TEST_F(KeyedStoreTest, ConcurrencyReadersAndWritersDmaKeys) {
  runReadersAndWriters(store, true);
  int32_t err = 1;
  store.emptyTree(err);
}

}  // namespace
