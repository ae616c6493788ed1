// One generic keyed store: an ordered map from satKey to record, built as a
// height-balanced (AVL) tree of hand-made nodes, with the two key modes of
// the family.
//
//  - Tree mode: the key comes from the record's fields (Traits::treeKey) and
//    the node holds the record itself, embedded, so one element set costs one
//    allocation. A key taken by a different record is advanced with
//    nextsatkey, up to 100 times; an equal record is a duplicate.
//  - DMA mode: the record lives in a DmaObject (DmaRecords) and the key is
//    ten times the object's address. The tree still gets a node for the key
//    (without a record), so counting, enumeration, search by satellite
//    number, walks and emptying see every element set in one place.
//
// The key mode and the duplicate switch of an add come in with the add
// (AddPolicy); the store reads no process-wide switch. An operation on an
// existing key decides by the key itself (vx::isdma).
//
// The layers: AvlTree (the tree), DmaRecords (DMA objects), KeyIndex (lookup
// by key), SatNumLookup (lookup by satellite number), KeyListing (orders).
//
// Beside the tree, a hash index (KeyIndex) maps every key to its node, so a
// lookup by key reads a slot of the index and the node instead of walking
// some twenty nodes down the tree. The writers keep it in step with the tree.
// When the index cannot grow for lack of memory it is dropped and lookups
// walk the tree again until a later add manages to rebuild it; the tree
// itself is never affected. The writers also keep the node count.
//
// Thread safety
//
// Every store has one ReadWriteGuard. Writers (add, remove, update, empty,
// and the release of DMA objects) run one at a time and never beside a
// reader; readers (find, withRecord, search by satellite number, count,
// enumeration, walks) run beside each other. withRecord lends the stored
// record to its callable only while its read hold lasts. A thread must never
// take a second read hold while holding one, nor write while it reads: a
// writer waiting between the two would deadlock with it. So every operation
// takes at most one hold, none calls another guarded operation inside its
// hold, and the callables given to withRecord, modify and the walks must not
// call back into the store.
//
// DMA objects are read and changed under the same guard as the tree: finds
// under the read side, updates, removes and releases under the writer side.
// So a DMA element set may be read, changed and removed from several
// threads at once, as a tree element set may.
//
// Messages go to the trace log after the hold is released (a log callback
// may call back into the library); the find operations write theirs only to
// the caller's optional 128-character buffer.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "Services/kernix.h"
#include "Store/AvlTree.h"
#include "Store/DmaObject.h"
#include "Store/DmaRecords.h"
#include "Store/KeyIndex.h"
#include "Store/KeyListing.h"
#include "Store/ReadWriteGuard.h"
#include "Store/SatNumLookup.h"
#include "Store/StoreTraits.h"
#include "Store/StoreMessages.h"

namespace vx::store {

// Keys tried for one tree-mode add before it fails for want of a free key
// (the message of that failure names the number).
inline constexpr int kMaxKeyAttempts = 100;
static_assert(kMaxKeyAttempts == 100, "AddRecToMem's no-free-key message says 100");
// Link status of a tree-mode node for which no free key was found (beside
// the statuses of AvlTree::insert).
inline constexpr int32_t kLinkNoFreeKey = 4;

// IndexMem supplies the index's memory (see KeyIndex).
template <StoreTraits Traits, class IndexMem = IndexMemory>
class KeyedStore {
 public:
  using Record = typename Traits::Record;
  using ReadHold = ReadWriteGuard::ReadHold;
  using WriteHold = ReadWriteGuard::WriteHold;

  struct Node {
    explicit Node(int64_t key) noexcept : satKey(key) {}
    int64_t satKey;
    int32_t seqNum = 0;   // load number: the store's counter just after it was raised for this node
    int16_t balance = 0;  // height of right subtree minus height of left: -1, 0 or +1
    // Whether rec holds a record, beside the key: a lookup then decides
    // without reading the optional's own flag at the far end of the node.
    // Set by the store when the node is linked and whenever rec changes.
    bool hasRec = false;
    Node* left = nullptr;
    Node* right = nullptr;
    std::optional<Record> rec;  // the record in tree mode; empty for a DMA key
  };

 private:
  using Dma = DmaRecords<Traits>;

  // The record a node stands for: its own, or its DMA object's (null when the
  // object no longer lives or has no record). Callers hold the read side.
  struct NodeRecord {
    const Record* operator()(const Node& n) const noexcept {
      if (n.rec) return &*n.rec;
      return vx::isdma(n.satKey) ? Dma::record(n.satKey) : nullptr;
    }
  };

  // A node's key and contents move to the node that stays when its
  // predecessor is removed in its place.
  struct NodeOps {
    static int64_t key(const Node& n) noexcept { return n.satKey; }
    static void takeOver(Node& to, Node& from) noexcept {
      to.satKey = from.satKey;
      to.rec = std::move(from.rec);
      to.hasRec = from.hasRec;
      to.seqNum = from.seqNum;
    }
  };

  using Tree = AvlTree<Node, NodeOps>;
  using Listing = KeyListing<Traits, Node, NodeRecord>;
  using Lookup = SatNumLookup<Traits, Node, NodeRecord>;

 public:
  KeyedStore() = default;
  KeyedStore(const KeyedStore&) = delete;
  KeyedStore& operator=(const KeyedStore&) = delete;
  ~KeyedStore() { destroyQuietly(root_); }

  // ---- Writers ---------------------------------------------------------------

  // Checks and normalises rec, makes its key by policy.keyMode and links it.
  // Returns the key it is stored under (possibly advanced past keys of
  // different records), 0 for a reported duplicate, the first key tried for
  // a silent duplicate (policy.dupMode not 0), -1 on failure (no free key
  // among the kMaxKeyAttempts tried included: logged). nodeOut, if
  // given, receives the new node, or null when nothing was linked. For an
  // unchecked policy see AddPolicy.
  [[nodiscard]] int64_t add(Record& rec, AddPolicy policy, Node** nodeOut = nullptr) {
    return addRecord(rec, policy, nodeOut, false, policy.unchecked);
  }

  // The same, but a tree-mode node takes over rec's contents instead of a
  // copy of them; rec is left valid but unspecified. For callers that drop
  // their record after the add, such as a file reader.
  [[nodiscard]] int64_t addTaking(Record& rec, AddPolicy policy, Node** nodeOut = nullptr) {
    return addRecord(rec, policy, nodeOut, true, policy.unchecked);
  }

  // addTaking for a record that has just passed Traits::validate and not
  // changed since (a parser that runs the check itself): the check is not
  // run a second time.
  [[nodiscard]] int64_t addTakingChecked(Record& rec, AddPolicy policy) { return addRecord(rec, policy, nullptr, true, true); }

 private:
  int64_t addRecord(Record& rec, AddPolicy policy, Node** nodeOut, bool take, bool checked) {
    if (nodeOut != nullptr) *nodeOut = nullptr;
    if (!checked && Traits::validate(rec) != 0) return -1;

    const bool dmaMode = policy.keyMode == 1 && !policy.unchecked;
    DmaObject* obj = nullptr;
    int64_t key = -1;
    if (dmaMode) {
      obj = Dma::newObject(rec);
      if (obj == nullptr) return -1;
      key = vx::addrtosatkey(obj);
    } else {
      key = Traits::treeKey(rec);
      if (key == -1) return -1;
    }

    Node* node = new (std::nothrow) Node(key);
    if (node == nullptr) {
      if (policy.unchecked) return kAddNoMemory;
      if (obj != nullptr) Dma::freeObject(obj);
      msg::logKeyed(msg::addrec::kNoNodeHead, key, msg::addrec::kNoNodeTail);
      return -1;
    }
    if (!dmaMode) {
      try {
        if (take)
          node->rec.emplace(std::move(rec));
        else
          node->rec.emplace(rec);
      } catch (const std::bad_alloc&) {
        delete node;
        if (policy.unchecked) return kAddNoMemory;
        vx::tracelogerror(msg::addrec::kNoRec);
        return -1;
      }
    }

    int32_t status = 0;
    int64_t linkedKey = key;
    {
      WriteHold hold(guard_);
      status = linkNode(node, !dmaMode);
      linkedKey = node->satKey;
      if (dmaMode && status == 2) strays_.noteRecord(key, static_cast<const Record*>(obj->rec));
      publishShape();
    }
    if (status == 0 || status == 1) {
      if (nodeOut != nullptr) *nodeOut = node;
      return linkedKey;
    }
    delete node;
    if (status == kLinkNoFreeKey) {
      msg::logKeyed(msg::addrec::kNoFreeKeyHead, key, msg::addrec::kNoFreeKeyTail);
      return -1;
    }
    // A DMA key can only collide with a node whose object was released on its
    // own (removeDma) and whose address was then reused: that node now stands
    // for the new object.
    if (dmaMode) return key;
    if (policy.unchecked) return 0;
    if (policy.dupMode == 0) {
      msg::logKeyed(msg::addrec::kDupHead, key, msg::addrec::kDupTail);
      return 0;
    }
    return key;
  }

 public:
  // Removes the element set under key: for a DMA key its object is released
  // first, then its node. 0 removed, 2 refused or not found (logged).
  [[nodiscard]] int32_t remove(int64_t key) {
    const bool dmaKey = vx::isdma(key);
    if (dmaKey && key <= 0) {
      msg::logNamingKey(msg::removenode::kBadDmaKey, key);
      return 2;
    }
    DmaRelease released = DmaRelease::Done;
    int32_t err = 0;
    {
      WriteHold hold(guard_);
      if (const Node* n = findNode(key)) strays_.forgetRecord(key, recordOf(*n));
      if (dmaKey) released = Dma::release(key);
      if (released == DmaRelease::Done) err = unlinkKey(key);
      publishShape();
    }
    if (released != DmaRelease::Done) {
      Dma::logRelease(released, key);
      return 2;
    }
    if (err != 0) msg::logKeyed(msg::removenode::kMissingHead, key, msg::removenode::kMissingTail);
    return err;
  }

  // Replaces the record stored under key with a copy of rec; the key, the
  // node and its load number stay. The record is not checked and the key is
  // not derived again. 0 replaced, 2 failure (logged).
  [[nodiscard]] int32_t update(int64_t key, const Record& rec) {
    if (vx::isdma(key)) {
      if (key <= 0) {
        msg::logNamingKey(msg::updaterec::kBadDmaKey, key);
        return 2;
      }
      Record* fresh = nullptr;
      try {
        fresh = new Record(rec);
      } catch (const std::bad_alloc&) {
        vx::tracelogerror(msg::updaterec::kNoRec);
        return 2;
      }
      Record* old = nullptr;
      bool replaced = false;
      {
        // Walks read DMA records under the read side, so the swap is a write.
        WriteHold hold(guard_);
        DmaObject* obj = Dma::liveObject(key);
        if (obj != nullptr && obj->rec != nullptr && Traits::isElsetType(obj->eltType)) {
          old = static_cast<Record*>(obj->rec);
          strays_.forgetRecord(key, old);
          obj->rec = fresh;
          strays_.noteRecord(key, fresh);
          replaced = true;
        }
      }
      delete (replaced ? old : fresh);
      if (!replaced) msg::logNamingKey(msg::updaterec::kDeadDma, key);
      return replaced ? 0 : 2;
    }

    std::optional<Record> fresh;
    try {
      fresh.emplace(rec);
    } catch (const std::bad_alloc&) {
      vx::tracelogerror(msg::updaterec::kNoRec);
      return 2;
    }
    bool found = false;
    {
      WriteHold hold(guard_);
      Node* n = findNode(key);
      if (n != nullptr) {
        if (n->rec) strays_.forgetRecord(key, &*n->rec);
        n->rec.swap(fresh);  // the old record is destroyed after the hold
        n->hasRec = true;
        strays_.noteRecord(key, &*n->rec);
        found = true;
      }
    }
    if (!found) msg::logKeyed(msg::updaterec::kMissingHead, key, msg::updaterec::kMissingTail);
    return found ? 0 : 2;
  }

  // Removes everything; DMA objects are released first (a refused release is
  // only logged). err becomes 0 when the tree was not empty and is left as it
  // was when it was.
  void emptyTree(int32_t& err) {
    DmaTally tally;
    {
      WriteHold hold(guard_);
      if (root_ != nullptr) {
        emptyTreeRecursive(root_, err, tally);
        err = 0;
      }
      count_ = 0;
      index_.clear();
      indexComplete_ = true;
      strays_.clear();
      publishShape();
    }
    for (const auto& [key, released] : tally.refused) Dma::logRelease(released, key);
    for (int32_t i = 0; i < tally.dead; ++i) vx::tracelogerror(msg::removedma::kDead);
    for (int32_t i = 0; i < tally.wrongType; ++i) vx::tracelogerror(msg::removedma::kWrongType);
  }

  // Releases the record of the DMA object of key, and the object itself when
  // no outside slot is filled. The key's tree node is left alone. 0 released,
  // 2 refused (logged).
  [[nodiscard]] int32_t removeDma(int64_t key) {
    DmaRelease released;
    {
      WriteHold hold(guard_);
      if (const Node* n = findNode(key)) strays_.forgetRecord(key, recordOf(*n));
      released = Dma::release(key);
    }
    Dma::logRelease(released, key);
    return released == DmaRelease::Done ? 0 : 2;
  }

  // Runs fn(Record&) on a copy of the record stored under key and, when fn
  // returns 0, puts the copy in its place: read, change and write are one
  // step under the writer side, so no other change to the record can fall in
  // between and be lost. The key, the node and its load number stay. Lines
  // fn logs go out after the hold (a log callback may call back into the
  // store). Returns fn's result; -1 when key holds no record of this store
  // (nothing logged: the caller names its own routine); 2 when the copy
  // cannot be made (logged).
  template <class F>
  [[nodiscard]] int32_t modify(int64_t key, F&& fn) {
    vx::LogDeferral deferLog;
    WriteHold hold(guard_);
    Record* stored = nullptr;
    if (vx::isdma(key)) {
      DmaObject* obj = Dma::liveObject(key);
      if (obj != nullptr && obj->rec != nullptr && Traits::isElsetType(obj->eltType))
        stored = static_cast<Record*>(obj->rec);
    } else if (Node* n = findNode(key); n != nullptr && n->hasRec) {
      stored = &*n->rec;
    }
    if (stored == nullptr) return -1;
    std::optional<Record> work;
    try {
      work.emplace(*stored);
    } catch (const std::bad_alloc&) {
      vx::tracelogerror(msg::updaterec::kNoRec);
      return 2;
    }
    const int32_t status = fn(*work);
    if (status == 0) {
      strays_.forgetRecord(key, stored);
      *stored = std::move(*work);
      strays_.noteRecord(key, stored);
    }
    return status;
  }

  // ---- Readers ---------------------------------------------------------------

  // Copies the record stored under key into out. On failure out has its
  // optional parts released and is marked not found (Traits::markNotFound),
  // and msgOut (128 characters, optional, always blank padded) says why.
  // 0 found, 2 not.
  [[nodiscard]] int32_t findRec(int64_t key, Record& out, char* msgOut = nullptr) {
    Traits::markNotFound(out);
    msg::putFindMsg(msgOut, {});
    if (vx::isdma(key)) {
      if (key <= 0) {
        msg::putFindMsg(msgOut, msg::findrec::kBadDmaKey);
        return 2;
      }
      ReadHold hold(guard_);
      const Record* r = Dma::record(key);
      return r != nullptr ? copyOut(*r, out, msgOut) : 2;
    }
    if (isEmpty()) {
      msg::putFindMsg(msgOut, msg::findrec::kEmpty);
      return 2;
    }
    ReadHold hold(guard_);
    const Node* n = findNode(key);
    if (n == nullptr || !n->hasRec) {
      msg::putFindMsg(msgOut, msg::findrec::kMissing);
      return 2;
    }
    return copyOut(*n->rec, out, msgOut);
  }

  // Calls fn(const Record&) on the stored record itself, DMA keys included,
  // under the read hold, so no writer can change or free it meanwhile; fn
  // must not keep it, nor call back into the store. False (fn not called)
  // when key holds no record; msgOut (128 characters, optional, always blank
  // padded) then says why.
  template <class F>
  bool withRecord(int64_t key, F&& fn, char* msgOut = nullptr) {
    ReadHold hold(guard_);
    const Record* r = lendRecord(key, msgOut);
    if (r == nullptr) return false;
    fn(*r);
    return true;
  }

  // Key of the first node, in pre-order, whose record has this satellite
  // number; -1 when none has. With several element sets of one satellite the
  // answer depends on the shape of the tree. Logarithmic (see SatNumLookup).
  int64_t satKeyGet(int32_t satNum) {
    if (isEmpty()) return -1;
    ReadHold hold(guard_);
    return strays_.find(root_, satNum);
  }

  // The same answer by a pre-order walk of the whole tree.
  int64_t satKeyGetByScan(int32_t satNum) {
    if (isEmpty()) return -1;
    ReadHold hold(guard_);
    return Lookup::scan(root_, satNum);
  }

  // Key of the element set of this satellite number with the latest epoch
  // (Traits::epochDs50), any type; among equal epochs the larger key. -1
  // when none has the number. Logarithmic (see SatNumLookup).
  int64_t satKeyLatest(int32_t satNum) {
    if (isEmpty()) return -1;
    ReadHold hold(guard_);
    return strays_.findLatest(root_, satNum);
  }

  bool isEmpty() const noexcept { return empty_.load(std::memory_order_acquire); }

  int32_t count() {
    ReadHold hold(guard_);
    return count_;
  }

  // Writes every key into keys[running], keys[running + 1], ... and raises
  // running by one per key, in the host's order (see toListOrder). keys must
  // have room for count() more keys, so writers must be stopped between that
  // count and this call. When the sort texts cannot be allocated nothing is
  // written.
  void getTreeKeys(int32_t& running, int64_t* keys, int32_t order) {
    size_t n = 0;
    if (listKeys(toListOrder(order), n, [&](size_t) { return keys + running; }) != nullptr)
      running += static_cast<int32_t>(n);
  }

  // The same for a buffer of capacity keys: writes the first
  // min(capacity, number loaded) keys of the order and returns how many it
  // wrote; total receives the number loaded, counted under the same hold as
  // the keys. -1 (nothing written, total still set) when work space cannot
  // be had.
  int32_t getTreeKeysN(int32_t order, int32_t capacity, int64_t* keys, int32_t& total) {
    const size_t cap = capacity > 0 ? static_cast<size_t>(capacity) : 0;
    std::unique_ptr<int64_t[]> spare;
    size_t n = 0;
    int64_t* at = listKeys(toListOrder(order), n, [&](size_t m) -> int64_t* {
      if (m <= cap) return keys;
      spare.reset(new (std::nothrow) int64_t[m]);
      return spare.get();
    });
    total = static_cast<int32_t>(n);
    if (at == nullptr) return n == 0 ? 0 : -1;
    const size_t written = std::min(n, cap);
    if (at != keys) std::copy(at, at + written, keys);
    return static_cast<int32_t>(written);
  }

  // Calls f(const Record&) for every element set in ascending key order, all
  // under one read hold (f must not call back into the store).
  template <class F>
  void forEachInOrder(F&& f) {
    ReadHold hold(guard_);
    visitInOrder(root_, f);
  }

  // Calls f(satKey, const Record&) for every element set in ascending key
  // order, all under one read hold (f must not call back into the store, nor
  // log: see LogDeferral).
  template <class F>
  void forEachKeyedInOrder(F&& f) {
    (void)forEachKeyedFrom(kBeforeFirstKey, SIZE_MAX, f);
  }

  // Where a walk in steps stands: the last key it visited (the next step
  // resumes after it) and whether no key follows it.
  struct WalkStep {
    int64_t lastKey;
    bool done;
  };
  // Less than every key: a walk that resumes after it starts at the first.
  static constexpr int64_t kBeforeFirstKey = INT64_MIN;

  // One step of a walk in ascending key order: visits up to maxCount keys
  // after afterKey under one read hold, calling f(satKey, const Record&) for
  // each that holds a record (f as for forEachKeyedInOrder). Writers may run
  // between steps: a walk whose every step resumes after the last key of the
  // one before visits each key present for the whole walk once, in order; a
  // key added or removed meanwhile may or may not be visited, never twice.
  template <class F>
  [[nodiscard]] WalkStep forEachKeyedFrom(int64_t afterKey, size_t maxCount, F&& f) {
    ReadHold hold(guard_);
    WalkStep step{afterKey, false};
    auto visit = [&](const Node& n) {
      if (const Record* r = recordOf(n)) f(n.satKey, *r);
      step.lastKey = n.satKey;
    };
    step.done = Tree::visitAfter(root_, afterKey, maxCount, visit);
    return step;
  }

  static const Record* recordOf(const Node& n) noexcept { return NodeRecord{}(n); }

  // Bulk adds (a file load): between these two calls the index is set
  // aside, lookups walk the tree, and at the end the index is rebuilt in one
  // sorted pass, which is much cheaper than filing a million keys one by one
  // at random places of a large table. Calls nest.
  void beginBulkAdd() noexcept {
    WriteHold hold(guard_);
    if (bulk_++ == 0 && indexComplete_) {
      index_.clear();
      indexComplete_ = false;
    }
  }
  void endBulkAdd() noexcept {
    WriteHold hold(guard_);
    if (bulk_ > 0 && --bulk_ == 0 && !indexComplete_) rebuildIndex(true);
  }

  // For tests: the tree itself, the load counter, and whether lookups use
  // the index (false after it could not grow, until it is rebuilt).
  const Node* root() const noexcept { return root_; }
  int32_t seqnum() const noexcept { return seqnum_.load(); }
  bool indexInUse() const noexcept { return indexComplete_; }

 private:
  friend struct KeyedStoreTestAccess;

  // The record withRecord lends, or null with the reason in msgOut. Runs
  // under the read hold.
  const Record* lendRecord(int64_t key, char* msgOut) const noexcept {
    msg::putFindMsg(msgOut, {});
    if (vx::isdma(key)) {
      if (key < 1) {
        msg::putFindMsg(msgOut, msg::findrecptr::kBadDmaKey);
        return nullptr;
      }
      const DmaObject* obj = Dma::liveObject(key);
      if (obj == nullptr || !Traits::isElsetType(obj->eltType)) {
        msg::putFindMsg(msgOut, msg::findrecptr::kBadDma);
        return nullptr;
      }
      if (obj->rec == nullptr) {
        msg::putFindMsg(msgOut, msg::findrecptr::kNoRec);
        return nullptr;
      }
      return static_cast<const Record*>(obj->rec);
    }
    if (root_ == nullptr) {
      msg::putFindMsg(msgOut, msg::findrecptr::kEmpty);
      return nullptr;
    }
    const Node* n = findNode(key);
    if (n == nullptr || !n->hasRec) {
      msg::putFindMsg(msgOut, msg::findrecptr::kMissing);
      return nullptr;
    }
    return &*n->rec;
  }

  // Links a node made by the caller (key and record as given, the retry rule
  // for tree keys applies) under the writer side; see linkNode. For tests,
  // which build shapes and nodes without records that no add makes.
  int32_t addNode(Node* node) {
    WriteHold hold(guard_);
    const int32_t status = linkNode(node);
    publishShape();
    return status;
  }

  // Lists every key in the given order (see getTreeKeys). room(n), called
  // under the read hold with the number of keys, says where they go (room
  // for n) or gives null. n receives the number of keys; the result is where
  // they were written, null when nothing was (no room, no work space).
  template <class Room>
  int64_t* listKeys(ListOrder order, size_t& n, Room&& room) {
    std::unique_ptr<char[]> texts;
    int64_t* first = nullptr;
    {
      // One hold from the count to the last key, so that both agree.
      ReadHold hold(guard_);
      n = static_cast<size_t>(count_);
      first = room(n);
      if (first == nullptr) return nullptr;
      switch (Listing::collect(root_, n, order, first, texts)) {
        case Listing::Collected::Done:
          return first;
        case Listing::Collected::NoSpace:
          return nullptr;
        case Listing::Collected::NeedsSort:
          break;
      }
    }
    Listing::finish(order, n, texts.get(), first);
    return first;
  }

  // Refused releases of an empty-tree pass, logged after the hold with their
  // keys; a refusal whose key finds no room is only counted and logged
  // without it.
  struct DmaTally {
    std::vector<std::pair<int64_t, DmaRelease>> refused;
    int32_t dead = 0;
    int32_t wrongType = 0;
  };

  void publishShape() noexcept { empty_.store(root_ == nullptr, std::memory_order_release); }

  // Whether a tree key made from a record and not advanced is in that
  // record's place by construction (see StoreTraits.h).
  static constexpr bool kOwnKeyInPlace = requires { requires Traits::kTreeKeyIsEpochKey; };

  // The node of key, through the index while it holds every node.
  Node* findNode(int64_t key) const noexcept { return indexComplete_ ? index_.find(key) : Tree::search(root_, key); }

  // Counts a node just linked and files it in the index. An index that
  // cannot grow is dropped, releasing its memory, and lookups walk the tree;
  // after an eighth of the count more adds a rebuild is tried (a failed try
  // costs one refused allocation, a successful one a walk of the tree).
  void noteLinked(Node* node, bool inPlace) noexcept {
    ++count_;
    if (!inPlace) strays_.noteRecord(node->satKey, recordOf(*node));
    if (indexComplete_) {
      if (index_.insert(node->satKey, node)) return;
      index_.clear();
      indexComplete_ = false;
      putOffRebuild();
      return;
    }
    if (bulk_ == 0 && --addsBeforeRebuild_ <= 0) rebuildIndex();
  }

  void putOffRebuild() noexcept { addsBeforeRebuild_ = count_ / 8 + 1; }

  // The index filled again from the whole tree, in one sorted pass when
  // asked for (see fillFromTree); when memory is refused, lookups walk the
  // tree and a rebuild is tried later.
  void rebuildIndex(bool sorted = false) noexcept {
    indexComplete_ = fillFromTree(index_, root_, static_cast<size_t>(count_), sorted);
    if (!indexComplete_) putOffRebuild();
  }

  // Removes the node of key from the tree, the index and the count; 0
  // removed, 2 not found (nothing changed). A node with two children stays
  // in the tree and takes over its predecessor's key, so that key is filed
  // under it afterwards.
  int32_t unlinkKey(int64_t key) {
    if (!indexComplete_) {
      const int32_t err = Tree::remove(root_, key);
      if (err == 0) --count_;
      return err;
    }
    Node* target = index_.find(key);
    if (target == nullptr) return 2;
    const bool staysInTree = target->left != nullptr && target->right != nullptr;
    Tree::remove(root_, key);
    --count_;
    index_.erase(key);
    if (staysInTree) index_.repoint(target->satKey, target);
    return 0;
  }

  // One attempt for a DMA key; up to kMaxKeyAttempts for a tree key, moving
  // on to the next key while the key is taken by a different record. Status:
  // 1 linked and the tree grew, 0 linked, 3 not linked (equal record
  // found), 4 (kLinkNoFreeKey) not linked because every key tried was taken
  // by a different record; 2 only for a DMA key taken by a different node. A
  // linked node gets its load number, is counted and is filed in the index.
  // fromTreeKey: the node's key is Traits::treeKey of its record.
  int32_t linkNode(Node* node, bool fromTreeKey = false) {
    const int64_t firstKey = node->satKey;
    node->hasRec = node->rec.has_value();
    auto same = [](const Node& a, const Node& b) { return a.rec && b.rec && Traits::equal(*a.rec, *b.rec); };
    int32_t status = 3;
    if (vx::isdma(node->satKey)) {
      status = Tree::insert(root_, node, same);
    } else {
      for (int attempt = 0; attempt < kMaxKeyAttempts; ++attempt) {
        status = Tree::insert(root_, node, same);
        if (status != 2) break;
        node->satKey = vx::nextsatkey(node->satKey);
        status = kLinkNoFreeKey;
      }
    }
    if (status == 0 || status == 1) {
      node->seqNum = seqnum_.fetch_add(1) + 1;
      noteLinked(node, kOwnKeyInPlace && fromTreeKey && node->satKey == firstKey);
    }
    return status;
  }

  // ---- Walks (recursion depth is the tree height, about 1.44 log2 n) ----------

  template <class F>
  static void visitInOrder(const Node* n, F& f) {
    if (n == nullptr) return;
    visitInOrder(n->left, f);
    if (const Record* r = recordOf(*n)) f(*r);
    visitInOrder(n->right, f);
  }

  // Post-order: children first, then the node's DMA object, then the node.
  static void emptyTreeRecursive(Node*& link, int32_t& err, DmaTally& tally) {
    Node* n = link;
    if (n == nullptr) return;
    emptyTreeRecursive(n->left, err, tally);
    emptyTreeRecursive(n->right, err, tally);
    if (vx::isdma(n->satKey)) {
      const DmaRelease released = Dma::release(n->satKey);
      if (released != DmaRelease::Done) {
        try {
          tally.refused.emplace_back(n->satKey, released);
        } catch (const std::bad_alloc&) {
          if (released == DmaRelease::Dead) ++tally.dead;
          if (released == DmaRelease::WrongType) ++tally.wrongType;
        }
      }
    }
    delete n;
    link = nullptr;
    err = 0;
  }

  // At destruction: everything freed that may be freed, nothing logged.
  static void destroyQuietly(Node* n) noexcept {
    if (n == nullptr) return;
    destroyQuietly(n->left);
    destroyQuietly(n->right);
    if (vx::isdma(n->satKey)) Dma::release(n->satKey);
    delete n;
  }

  static int32_t copyOut(const Record& from, Record& out, char* msgOut) {
    try {
      out = from;
      return 0;
    } catch (const std::bad_alloc&) {
      Traits::markNotFound(out);
      msg::putFindMsg(msgOut, msg::findrec::kNoRec);
      return 2;
    }
  }

  Node* root_ = nullptr;
  std::atomic<bool> empty_{true};  // root_ == nullptr, readable without a hold
  std::atomic<int32_t> seqnum_{0};
  int32_t count_ = 0;  // nodes in the tree
  int32_t bulk_ = 0;  // bulk adds under way: the index is set aside until they end
  KeyIndex<Node, IndexMem> index_;
  bool indexComplete_ = true;  // index_ holds every node; otherwise lookups walk the tree
  int32_t addsBeforeRebuild_ = 0;  // adds until a dropped index is rebuilt
  Lookup strays_;  // lookup by satellite number
  ReadWriteGuard guard_;
};

}  // namespace vx::store
