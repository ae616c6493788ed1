#include "Store/KeyedStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
using KeyedStoreTest = StoreTest;

// The tree's own shape rules are tested with integer keys (AvlTree_test);
// here the retry rule for taken keys, the count and the shape together.
TEST_F(KeyedStoreTest, RandomAddsAndRemovalsFollowTheRetryRule) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    std::map<int64_t, int32_t> ref;  // key to payload
    Store s;
    for (int step = 0; step < 3000; ++step) {
      const int64_t key = K(rng() % 200);
      if (rng() % 10 < 6) {
        const auto payload = static_cast<int32_t>(rng() % 3);
        int64_t expect = key;  // where the retry rule puts it, or -1 when nowhere
        int32_t refusal = 0;   // 3 equal record found, kLinkNoFreeKey none free
        for (int attempt = 0;; ++attempt, ++expect) {
          if (attempt == 100 || (ref.count(expect) && ref[expect] == payload)) {
            refusal = attempt == 100 ? vx::store::kLinkNoFreeKey : 3;
            expect = -1;
            break;
          }
          if (!ref.count(expect)) break;
        }
        Node* n = makeNode(key, payload);
        const int32_t status = addNode(s, n);
        if (expect < 0) {
          ASSERT_EQ(status, refusal);
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
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(addNode(store, makeNode(K(i), i)), statuses[i - 1]) << "key " << i;
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
    mode.dupMode = c.dupMode;
    vx::tracelogerror("marker");
    for (size_t i = 0; i < c.payloads.size(); ++i) {
      MiniRec r = rec(5, 1.0, c.payloads[i]);
      Node* node = nullptr;
      EXPECT_EQ(s.add(r, mode, &node), c.results[i]);
      EXPECT_EQ(node != nullptr, static_cast<int32_t>(i) < c.finalCount);
    }
    EXPECT_EQ(s.count(), c.finalCount);
    EXPECT_EQ(s.seqnum(), c.finalCount);
    EXPECT_EQ(lastErr(), c.lastMessage);
  }
}

// Every key of the retry sequence taken by a different record is a failure
// of the add, never a duplicate, whatever the policy: one line naming the
// first key tried, -1, nothing linked. With one key of the sequence still
// free the last attempt takes it.
TEST_F(KeyedStoreTest, NoFreeKeyIsAFailureNotADuplicate) {
  const int64_t k = keyOf(5, 1.0);
  const std::string noFreeKey = "AddRecToMem: No free key within 100 tries from satKey " + key19(k);
  const vx::store::AddPolicy dupSilent{0, 1};
  const struct {
    const char* name;
    int taken;  // keys k, k + 1, ... taken by different records
    vx::store::AddPolicy policy;
    int64_t result;
    std::string message;
  } cases[] = {
      {"99 taken: the 100th key", 99, kTree, k + 99, "marker"},
      {"100 taken, duplicates reported", 100, kTree, -1, noFreeKey},
      {"100 taken, duplicates silent", 100, dupSilent, -1, noFreeKey},
      {"100 taken, unchecked", 100, vx::store::AddPolicy::uncheckedTreeKey(), -1, noFreeKey},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Store s;
    for (int i = 0; i < c.taken; ++i) ASSERT_LE(addNode(s, makeNode(k + i, 100 + i)), 1);
    vx::tracelogerror("marker");
    MiniRec r = rec(5, 1.0, 1);
    Node* node = nullptr;
    EXPECT_EQ(s.add(r, c.policy, &node), c.result);
    EXPECT_EQ(lastErr(), c.message);
    EXPECT_EQ(node != nullptr, c.result > 0);
    EXPECT_EQ(s.count(), c.taken + (c.result > 0 ? 1 : 0));
  }
  // The link status says which refusal it was.
  Store s;
  for (int i = 0; i < 100; ++i) addNode(s, makeNode(k + i, 100 + i));
  Node* n = makeNode(k, 1);
  EXPECT_EQ(addNode(s, n), vx::store::kLinkNoFreeKey);
  delete n;
}

// The add makes its key by the policy it is given, whatever the process-wide
// switches say; the unchecked policy skips the value checks, always makes a
// tree key and logs nothing.
TEST_F(KeyedStoreTest, AddFollowsThePolicyItIsGiven) {
  vx::elsetkeymodeset(1);
  vx::dupkeymodeset(1);
  MiniRec a = rec(5, 1.0, 1);
  EXPECT_EQ(store.add(a, kTree), keyOf(5, 1.0));
  EXPECT_EQ(store.add(a, kTree), 0);  // reported duplicate: dupMode 0 in the policy
  vx::elsetkeymodeset(0);
  vx::dupkeymodeset(0);
  EXPECT_TRUE(vx::isdma(store.add(a, kDma)));

  const vx::store::AddPolicy unchecked = vx::store::AddPolicy::uncheckedTreeKey();
  vx::tracelogerror("marker");
  const struct {
    MiniRec r;
    int64_t result;
  } cases[] = {
      {rec(5, 1.0, 1), 0},                  // equal record stored: not linked, not logged
      {rec(5, 1.0, 2), keyOf(5, 1.0) + 1},  // different record: advanced
      {rec(-3, 1.0, 1), keyOf(-3, 1.0)},    // fails the value checks, which are not run
  };
  for (const auto& c : cases) {
    MiniRec r = c.r;
    EXPECT_EQ(store.addTaking(r, vx::store::AddPolicy{1, 1, true}), c.result);  // key mode 1 ignored
  }
  MiniRec bad = rec(-3, 2.0, 1);
  EXPECT_EQ(store.add(bad, kTree), -1);  // checked: refused
  MiniRec dup = rec(5, 1.0, 2);
  EXPECT_EQ(store.add(dup, unchecked), 0);
  EXPECT_EQ(lastErr(), "marker");
  EXPECT_EQ(store.count(), 4);
}

TEST_F(KeyedStoreTest, RemovingNodeWithTwoChildrenKeepsPredecessorsLoadNumber) {
  for (int i : {4, 2, 6, 1, 3, 5, 7}) addNode(store, makeNode(K(i), 10 * i));
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

TEST_F(KeyedStoreTest, LoadNumbersContinueAfterEmptying) {
  MiniRec a = rec(1, 1.0), b = rec(2, 1.0);
  for (MiniRec* r : {&a, &b, &a}) (void)store.add(*r, mode);  // the duplicate uses no load number
  EXPECT_EQ(store.seqnum(), 2);
  int32_t err = 7;
  store.emptyTree(err);
  EXPECT_TRUE(err == 0 && store.isEmpty());
  err = 5;
  store.emptyTree(err);
  EXPECT_EQ(err, 5);
  Node* node = nullptr;
  EXPECT_EQ(store.add(b, mode, &node), keyOf(2, 1.0));
  EXPECT_EQ(node->seqNum, 3);
}

TEST_F(KeyedStoreTest, LoggedMessagesWordForWord) {
  MiniRec r = rec(1, 1.0, 5);
  (void)store.add(r, mode);
  const std::string absent = key19(K(999));
  const struct {
    std::function<int32_t()> call;
    std::string message;
  } cases[] = {
      {[&] { return store.remove(K(999)); },
       "RemoveNode: Unable to locate this key " + absent + " in its binary tree."},
      {[&] { return store.remove(0); }, "RemoveNode: Invalid DMA key (<=0). " + key19(0)},
      {[&] { return store.update(-10, r); }, "UpdateRec: Invalid DMA key (<=0). " + key19(-10)},
      {[&] { return store.update(K(999), r); }, "UpdateRec: Unable to locate key " + absent + " in its binary tree."},
      {[&] { return store.update(12340, r); },
       "UpdateRec: rec/DMA doesn't exist or was already deallocated " + key19(12340)},
      {[&] { return store.remove(12340); }, "RemoveDMA: /DMA doesn't exist or was already deallocated " + key19(12340)},
      {[&] { return store.removeDma(12340); },
       "RemoveDMA: /DMA doesn't exist or was already deallocated " + key19(12340)},
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
  (void)store.add(r, mode);
  const struct {
    Store* s;
    int64_t key;
    std::string_view findRec, withRecord;
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
    EXPECT_FALSE(c.s->withRecord(c.key, [](const MiniRec&) {}, buf));
    EXPECT_EQ(std::string(buf, 128), padded(c.withRecord));
  }
  EXPECT_EQ(lastErr(), "marker");

  char buf[128];
  MiniRec out;
  EXPECT_EQ(store.findRec(keyOf(1, 1.0), out, buf), 0);
  EXPECT_TRUE(out.payload == 5 && out.extra.size() == 2);
  EXPECT_EQ(std::string(buf, 128), padded(""));
  EXPECT_EQ(payloadOf(store, keyOf(1, 1.0), nullptr), 5);
}

TEST_F(KeyedStoreTest, FailedCopiesLeaveTheStoreUnchanged) {
  MiniRec r = rec(1, 1.0, 5), changed = rec(1, 1.0, 6);
  ASSERT_EQ(store.add(r, mode), keyOf(1, 1.0));
  t_failCopies = true;
  MiniRec other = rec(2, 1.0);
  EXPECT_EQ(store.add(other, mode), -1);
  EXPECT_EQ(lastErr(), "AddRecToMem: Memory allocation failed");
  EXPECT_EQ(store.update(keyOf(1, 1.0), changed), 2);
  EXPECT_EQ(lastErr(), "UpdateRec: Memory allocation failed");
  char buf[128];
  MiniRec out;
  EXPECT_EQ(store.findRec(keyOf(1, 1.0), out, buf), 2);
  EXPECT_EQ(out.satNum, -123);
  EXPECT_EQ(std::string(buf, 128), padded("FindRec: Memory allocation failed"));
  mode = kDma;
  EXPECT_EQ(store.add(other, mode), -1);
  EXPECT_EQ(lastErr(), "AddRecToMem: Cannot allocate memory for a new rec.");
  t_failCopies = false;
  EXPECT_EQ(store.count(), 1);
  EXPECT_EQ(store.seqnum(), 1);
  EXPECT_EQ(payloadOf(store, keyOf(1, 1.0)), 5);
}

TEST_F(KeyedStoreTest, DmaModeKeysAndLifecycle) {
  MiniRec treeRec = rec(1, 1.0, 1);
  const int64_t treeKey = store.add(treeRec, mode);
  mode = kDma;
  MiniRec r = rec(4, 2.0, 7);
  std::vector<int64_t> keys;
  for (int i = 0; i < 3; ++i) keys.push_back(store.add(r, mode));  // equal records: never duplicates
  for (int64_t k : keys) EXPECT_TRUE(k > 0 && k % 10 == 0 && vx::isdma(k)) << k;
  EXPECT_EQ(std::set<int64_t>(keys.begin(), keys.end()).size(), 3u);
  EXPECT_EQ(store.count(), 4);
  EXPECT_NE(payloadOf(store, treeKey), -1);  // a tree key keeps working

  const int64_t k = keys[0];
  EXPECT_EQ(store.update(k, rec(4, 2.0, 8)), 0);
  MiniRec out;
  EXPECT_EQ(store.findRec(k, out), 0);
  EXPECT_EQ(out.payload, 8);
  EXPECT_EQ(payloadOf(store, k), 8);
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
  EXPECT_EQ(payloadOf(store, k, buf), -1);
  EXPECT_EQ(std::string(buf, 128), padded("FindRecPtr: Invalid DMA key."));
  EXPECT_EQ(store.update(k, r), 2);
  EXPECT_EQ(lastErr(), "UpdateRec: rec/DMA doesn't exist or was already deallocated " + key19(k));
  EXPECT_EQ(store.remove(k), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: /DMA doesn't exist or was already deallocated " + key19(k));

  auto* obj = static_cast<vx::store::DmaObject*>(vx::keytocptr(keys[1]));
  obj->eltType = 9;
  EXPECT_EQ(store.remove(keys[1]), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: This DMA object isn't a correct object. " + key19(keys[1]));
  EXPECT_EQ(store.findRec(keys[1], out), 2);
  obj->eltType = 1;
  obj->selfAddr = 0;
  EXPECT_EQ(store.remove(keys[1]), 2);
  EXPECT_EQ(lastErr(), "RemoveDMA: /DMA doesn't exist or was already deallocated " + key19(keys[1]));
  obj->selfAddr = vx::satkeytoaddr(keys[1]);
  EXPECT_EQ(store.count(), 3);

  // An object held from outside loses its record and its node, not itself.
  obj->extData1 = obj;
  ASSERT_EQ(store.remove(keys[1]), 0);
  EXPECT_TRUE(vx::dmaislive(obj));
  EXPECT_EQ(obj->rec, nullptr);
  EXPECT_EQ(payloadOf(store, keys[1], buf), -1);
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
  ASSERT_EQ(payloadOf(s, key), want) << "key " << key;
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
        if (const int32_t st = addNode(s, n); st == 3 || st == vx::store::kLinkNoFreeKey) delete n;
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
        ref[s.add(r, mode)] = sat;
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
  for (int i : {4, 2, 6, 1, 3, 5, 7}) addNode(s, i == 3 || i == 5 ? new Node(K(i)) : makeNode(K(i), i));
  std::map<int64_t, int32_t> ref = {{K(1), 1}, {K(2), 2}, {K(4), 4}, {K(6), 6}, {K(7), 7}};
  for (int i = 1; i <= 7; ++i) ASSERT_NO_FATAL_FAILURE(expectLookup(s, K(i), ref));
  ASSERT_EQ(s.remove(K(4)), 0);
  ASSERT_EQ(s.update(K(5), rec(7, 0, 5)), 0);
  ref.erase(K(4));
  ref[K(5)] = 5;
  for (int i = 1; i <= 7; ++i) ASSERT_NO_FATAL_FAILURE(expectLookup(s, K(i), ref));
  EXPECT_EQ(s.count(), 6);
}

// Every key that is not exactly ten times a live object's address is refused
// without touching memory, and the element set stays whole.
TEST_F(KeyedStoreTest, DmaKeysMustBeExactAndStaleKeysStayRefused) {
  mode = kDma;
  MiniRec r = rec(4, 2.0, 7);
  const int64_t k = store.add(r, mode);
  ASSERT_GT(k, 0);
  for (int64_t off = 1; off <= 9; ++off) {
    const int64_t bad = k + off;
    MiniRec out;
    EXPECT_EQ(store.findRec(bad, out), 2) << off;
    EXPECT_EQ(payloadOf(store, bad), -1) << off;
    EXPECT_EQ(store.update(bad, rec(4, 2.0, 9)), 2) << off;
    EXPECT_EQ(store.modify(bad, [](MiniRec& m) { return m.payload = 9, 0; }), -1) << off;
    EXPECT_EQ(store.remove(bad), 2) << off;
    EXPECT_EQ(lastErr(), "RemoveDMA: /DMA doesn't exist or was already deallocated " + key19(bad));
  }
  EXPECT_EQ(store.count(), 1);
  EXPECT_EQ(payloadOf(store, k), 7);

  // A removed set's key is refused even after more sets have been added: the
  // address stays out of reuse for a while.
  ASSERT_EQ(store.remove(k), 0);
  std::vector<int64_t> later;
  for (int i = 0; i < 64; ++i) {
    MiniRec other = rec(5 + i, 2.0, 100 + i);
    later.push_back(store.add(other, mode));
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
    mode.keyMode = dma ? 1 : 0;
    MiniRec r = rec(3, 1.0, 0);
    const int64_t k = store.add(r, mode);
    ASSERT_GT(k, 0);
    constexpr int kRounds = 2000;
    std::thread a([&] {
      for (int i = 0; i < kRounds; ++i) (void)store.modify(k, [](MiniRec& m) { return ++m.payload, 0; });
    });
    std::thread b([&] {
      for (int i = 0; i < kRounds; ++i)
        (void)store.modify(k, [](MiniRec& m) { return m.extra.push_back(1), 0; });
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
    mode.keyMode = dma ? 1 : 0;
    constexpr int kSets = 64, kRounds = 300;
    std::vector<std::atomic<int64_t>> keys(kSets);
    for (int i = 0; i < kSets; ++i) {
      MiniRec r = rec(i, 1.0, i);
      keys[static_cast<size_t>(i)] = store.add(r, mode);
    }
    std::atomic<bool> done{false};
    std::thread writer([&] {
      for (int round = 0; round < kRounds; ++round) {
        const int i = round % kSets;
        auto& slot = keys[static_cast<size_t>(i)];
        (void)store.update(slot, rec(i, 1.0, i));
        (void)store.modify(slot, [](MiniRec& m) { return m.extra.assign(3, m.payload), 0; });
        (void)store.remove(slot);
        MiniRec r = rec(i, 1.0, i);
        slot = store.add(r, mode);
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
          store.withRecord(k, [&](const MiniRec& p) {
            EXPECT_EQ(p.satNum, i);
            for (int32_t v : p.extra) (void)v;
          });
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

TEST_F(KeyedStoreTest, ConcurrencyWithRecordHoldsWritersOff) {
  MiniRec r = rec(1, 1.0);
  const int64_t k = store.add(r, mode);
  std::atomic<bool> removed{false};
  std::thread writer;
  ASSERT_TRUE(store.withRecord(k, [&](const MiniRec&) {
    writer = std::thread([&] {
      (void)store.remove(k);
      removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed);
  }));
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
    stable.push_back(store.add(r, kTree));
  }
  const vx::store::AddPolicy mode = dma ? kDma : kTree;
  std::atomic<int> writersLeft{kWriters};
  std::vector<std::thread> threads;
  std::vector<std::vector<int64_t>> kept(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < kPerWriter; ++i) {
        const int32_t sat = 1000 * (w + 1) + i;
        MiniRec r = rec(sat, 1.0, 0);
        const int64_t k = store.add(r, mode);
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
        EXPECT_EQ(payloadOf(store, stable[i]), i);
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

// A walk in steps resumes after the last key it visited, wherever that key
// falls in the tree, and says when no key follows.
TEST_F(KeyedStoreTest, WalkStepResumesAfterItsLastKeyAndSaysWhenDone) {
  for (int32_t n = 1; n <= 9; ++n) {
    MiniRec r = rec(n, 0);
    ASSERT_EQ(store.add(r, kTree), keyOf(n, 0));
  }
  const int64_t before = Store::kBeforeFirstKey;
  struct Case {
    int64_t after;
    size_t maxCount;
    std::vector<int32_t> want;  // satellite numbers visited
    bool done;
  } cases[] = {
      {before, 3, {1, 2, 3}, false},
      {keyOf(3, 0), 3, {4, 5, 6}, false},
      {keyOf(3, 0) + 1, 2, {4, 5}, false},  // resumes after a key not in the store
      {keyOf(6, 0), 3, {7, 8, 9}, true},   // the step that takes the last key is done
      {keyOf(8, 0), 5, {9}, true},
      {keyOf(9, 0), 5, {}, true},
      {before, 0, {}, false},
      {before, 100, {1, 2, 3, 4, 5, 6, 7, 8, 9}, true},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> got;
    const auto step = store.forEachKeyedFrom(c.after, c.maxCount, [&](int64_t key, const MiniRec& r) {
      EXPECT_EQ(key, keyOf(r.satNum, 0));
      got.push_back(r.satNum);
    });
    EXPECT_EQ(got, c.want) << "after " << c.after << " max " << c.maxCount;
    EXPECT_EQ(step.done, c.done) << "after " << c.after << " max " << c.maxCount;
    EXPECT_EQ(step.lastKey, got.empty() ? c.after : keyOf(got.back(), 0));
  }
}

}  // namespace
