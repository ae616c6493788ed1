// One generic keyed store: an ordered map from satKey to record, built as a
// height-balanced (AVL) tree of hand-made nodes, with the two key modes of
// the family.
//
//  - Tree mode: the key comes from the record's fields (Traits::treeKey) and
//    the node holds the record itself, embedded, so one element set costs one
//    allocation. A key taken by a different record is advanced with
//    nextsatkey, up to 100 times; an equal record is a duplicate.
//  - DMA mode: the record lives in a DmaObject and the key is ten times the
//    object's address. The tree still gets a node for the key (without a
//    record), so counting, enumeration, search by satellite number, walks and
//    emptying see every element set in one place. Before any DMA object is
//    read, the process-wide registry is asked whether it still lives, so a
//    stale key is answered without touching freed memory. Only the exact key
//    (ten times the object's address) reaches an object. A released object
//    is retired to the registry's quarantine rather than freed, so its key
//    keeps being refused until dmaquarantinesize() more objects have been
//    released; only after that may the address, and so the key, come back.
//
// An operation on an existing key decides by the key itself (vx::isdma), not
// by the key mode in force.
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
// reader; readers (find, find-pointer, search by satellite number, count,
// enumeration, walks) run beside each other. findRecPtr on a tree key leaves
// its read hold taken whatever the outcome: the caller uses the record and
// then calls endRead() exactly once. A thread must never take a second read
// hold while holding one, nor write while it reads: a writer waiting between
// the two would deadlock with it. So every operation takes at most one hold,
// and none calls another guarded operation inside its hold.
//
// DMA objects are read and changed under the same guard as the tree: finds
// under the read side, updates, removes and releases under the writer side.
// So a DMA element set may be read, changed and removed from several
// threads at once, as a tree element set may.
//
// Lookup by satellite number does not walk the tree. Tree keys of one
// satellite number form one contiguous key range (Traits::keyRange), so the
// first node of that range in pre-order is found by a descent. Nodes that do
// not sit in the range of their record's number (DMA nodes, keys advanced
// past the end of a range, records whose number an update changed) are kept
// in a side set ordered by number, and the pre-order first of all candidates
// wins.
//
// Messages go to the trace log after the hold is released (a log callback
// may call back into the library); the find operations write theirs only to
// the caller's optional 128-character buffer.
#pragma once

#include <algorithm>
#include <atomic>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string_view>
#include <type_traits>
#include <utility>

#include "Services/kernix.h"
#include "Store/DmaObject.h"
#include "Store/KeyIndex.h"
#include "Store/ReadWriteGuard.h"
#include "Store/StoreMessages.h"

namespace vx::store {

// Length of one sort text of the key enumeration.
inline constexpr size_t kSortTextLen = 32;
// Keys tried for one tree-mode add before it counts as a duplicate.
inline constexpr int kMaxKeyAttempts = 100;

// What a store needs to know about its record. All static:
//   validate(rec)      0 or 2; checks and normalises rec in place, logs its own messages
//   treeKey(rec)       the tree-mode key of rec, -1 when none can be made
//   eltType(rec)       element-set type code stored in a DMA object
//   isElsetType(t)     whether t is a type code of this store's records
//   equal(a, b)        whether two records are the same element set
//   sortText(rec, t)   fills the 32 characters of rec's enumeration sort text
//   satNum(rec)        satellite number, for the search by satellite number
//   keyRange(n, lo, hi) whether tree keys of satellite number n all lie in
//                      [lo, hi] (false when no tree key has that number)
//   markNotFound(rec)  releases rec's optional parts and marks it not found
// Records are moved inside the tree (removal), so moving must not throw.
template <class T>
concept StoreTraits =
    std::copy_constructible<typename T::Record> && std::is_nothrow_move_constructible_v<typename T::Record> &&
    std::is_nothrow_move_assignable_v<typename T::Record> &&
    requires(typename T::Record& r, const typename T::Record& c, int32_t t, char* text, int64_t& k) {
      { T::validate(r) } -> std::same_as<int32_t>;
      { T::treeKey(c) } -> std::same_as<int64_t>;
      { T::eltType(c) } -> std::same_as<int32_t>;
      { T::isElsetType(t) } -> std::same_as<bool>;
      { T::equal(c, c) } -> std::same_as<bool>;
      T::sortText(c, text);
      { T::satNum(c) } -> std::same_as<int32_t>;
      { T::keyRange(t, k, k) } -> std::same_as<bool>;
      T::markNotFound(r);
    };

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

  KeyedStore() = default;
  KeyedStore(const KeyedStore&) = delete;
  KeyedStore& operator=(const KeyedStore&) = delete;
  ~KeyedStore() { destroyQuietly(root_); }

  // ---- Writers ---------------------------------------------------------------

  // Checks and normalises rec, makes its key by the key mode in force and
  // links it. Returns the key it is stored under (possibly advanced past keys
  // of different records), 0 for a reported duplicate, the first key tried
  // for a silent duplicate (duplicate switch not 0), -1 on failure. nodeOut,
  // if given, receives the new node, or null when nothing was linked.
  int64_t add(Record& rec, Node** nodeOut = nullptr) { return addRecord(rec, nodeOut, false); }

  // The same, but a tree-mode node takes over rec's contents instead of a
  // copy of them; rec is left valid but unspecified. For callers that drop
  // their record after the add, such as a file reader.
  int64_t addTaking(Record& rec, Node** nodeOut = nullptr) { return addRecord(rec, nodeOut, true); }

  // addTaking for a record that has just passed Traits::validate and not
  // changed since (a parser that runs the check itself): the check is not
  // run a second time.
  int64_t addTakingChecked(Record& rec) { return addRecord(rec, nullptr, true, true); }

 private:
  int64_t addRecord(Record& rec, Node** nodeOut, bool take, bool checked = false) {
    if (nodeOut != nullptr) *nodeOut = nullptr;
    if (!checked && Traits::validate(rec) != 0) return -1;

    const bool dmaMode = vx::effectivekeymode() == 1;
    DmaObject* obj = nullptr;
    int64_t key = -1;
    if (dmaMode) {
      obj = newDmaObject(rec);
      if (obj == nullptr) return -1;
      key = vx::addrtosatkey(obj);
    } else {
      key = Traits::treeKey(rec);
      if (key == -1) return -1;
    }

    Node* node = new (std::nothrow) Node(key);
    if (node == nullptr) {
      if (obj != nullptr) freeDmaObject(obj);
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
        vx::tracelogerror(msg::addrec::kNoRec);
        return -1;
      }
    }

    int32_t status = 0;
    int64_t linkedKey = key;
    {
      WriteHold hold(guard_);
      status = linkNode(node);
      linkedKey = node->satKey;
      if (dmaMode && status == 2) noteRecord(key, static_cast<const Record*>(obj->rec));
      publishShape();
    }
    if (status == 0 || status == 1) {
      if (nodeOut != nullptr) *nodeOut = node;
      return linkedKey;
    }
    delete node;
    // A DMA key can only collide with a node whose object was released on its
    // own (removeDma) and whose address was then reused: that node now stands
    // for the new object.
    if (dmaMode) return key;
    if (vx::dupkeymodeget() == 0) {
      msg::logKeyed(msg::addrec::kDupHead, key, msg::addrec::kDupTail);
      return 0;
    }
    return key;
  }

 public:

  // Links a node made by the caller (key, record) into the tree. Tree keys
  // are advanced past different records up to 100 times. Status: 1 linked and
  // the tree grew, 0 linked, 3 not linked (equal record found, or no free key
  // within the attempts); 2 only for a DMA key taken by a different node.
  // linkedKey (optional) receives the key the node was linked under, read
  // while the hold still keeps other writers from removing the node.
  int32_t addNode(Node* node, int64_t* linkedKey = nullptr) {
    WriteHold hold(guard_);
    const int32_t status = linkNode(node);
    if (linkedKey != nullptr) *linkedKey = node->satKey;
    publishShape();
    return status;
  }

  // Removes the element set under key: for a DMA key its object is released
  // first, then its node. 0 removed, 2 refused or not found (logged).
  int32_t remove(int64_t key) {
    const bool dmaKey = vx::isdma(key);
    if (dmaKey && key <= 0) {
      vx::tracelogerror(msg::removenode::kBadDmaKey);
      return 2;
    }
    DmaRelease released = DmaRelease::Done;
    int32_t err = 0;
    {
      WriteHold hold(guard_);
      if (const Node* n = findNode(key)) forgetRecord(key, recordOf(*n));
      if (dmaKey) released = releaseDma(key);
      if (released == DmaRelease::Done) err = unlinkKey(key);
      publishShape();
    }
    if (released != DmaRelease::Done) {
      logDmaRelease(released);
      return 2;
    }
    if (err != 0) msg::logKeyed(msg::removenode::kMissingHead, key, msg::removenode::kMissingTail);
    return err;
  }

  // Replaces the record stored under key with a copy of rec; the key, the
  // node and its load number stay. The record is not checked and the key is
  // not derived again. 0 replaced, 2 failure (logged).
  int32_t update(int64_t key, const Record& rec) {
    if (vx::isdma(key)) {
      if (key <= 0) {
        vx::tracelogerror(msg::updaterec::kBadDmaKey);
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
        DmaObject* obj = liveObject(key);
        if (obj != nullptr && obj->rec != nullptr && Traits::isElsetType(obj->eltType)) {
          old = static_cast<Record*>(obj->rec);
          forgetRecord(key, old);
          obj->rec = fresh;
          noteRecord(key, fresh);
          replaced = true;
        }
      }
      delete (replaced ? old : fresh);
      if (!replaced) vx::tracelogerror(msg::updaterec::kDeadDma);
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
        if (n->rec) forgetRecord(key, &*n->rec);
        n->rec.swap(fresh);  // the old record is destroyed after the hold
        n->hasRec = true;
        noteRecord(key, &*n->rec);
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
      straysComplete_ = true;
      publishShape();
    }
    for (int32_t i = 0; i < tally.dead; ++i) logDmaRelease(DmaRelease::Dead);
    for (int32_t i = 0; i < tally.wrongType; ++i) logDmaRelease(DmaRelease::WrongType);
  }

  // Releases the record of the DMA object of key, and the object itself when
  // no outside slot is filled. The key's tree node is left alone. 0 released,
  // 2 refused (logged).
  int32_t removeDma(int64_t key) {
    DmaRelease released;
    {
      WriteHold hold(guard_);
      if (const Node* n = findNode(key)) forgetRecord(key, recordOf(*n));
      released = releaseDma(key);
    }
    logDmaRelease(released);
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
  int32_t modify(int64_t key, F&& fn) {
    vx::LogDeferral deferLog;
    WriteHold hold(guard_);
    Record* stored = nullptr;
    if (vx::isdma(key)) {
      DmaObject* obj = liveObject(key);
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
      forgetRecord(key, stored);
      *stored = std::move(*work);
      noteRecord(key, stored);
    }
    return status;
  }

  // ---- Readers ---------------------------------------------------------------

  // Copies the record stored under key into out. On failure out has its
  // optional parts released and is marked not found (Traits::markNotFound),
  // and msgOut (128 characters, optional, always blank padded) says why.
  // 0 found, 2 not.
  int32_t findRec(int64_t key, Record& out, char* msgOut = nullptr) {
    Traits::markNotFound(out);
    msg::putFindMsg(msgOut, {});
    if (vx::isdma(key)) {
      if (key <= 0) {
        msg::putFindMsg(msgOut, msg::findrec::kBadDmaKey);
        return 2;
      }
      ReadHold hold(guard_);
      const Record* r = dmaRecord(key);
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

  // The stored record itself, or null (msgOut, optional, says why). For every
  // key, DMA keys included, the read hold stays taken whatever the outcome:
  // the caller calls endRead() once after use, and must not keep the record
  // beyond that. So no writer can change or free a DMA record while it is
  // read.
  Record* findRecPtr(int64_t key, char* msgOut = nullptr) {
    msg::putFindMsg(msgOut, {});
    guard_.beginRead();
    if (vx::isdma(key)) {
      if (key < 1) {
        msg::putFindMsg(msgOut, msg::findrecptr::kBadDmaKey);
        return nullptr;
      }
      DmaObject* obj = liveObject(key);
      if (obj == nullptr || !Traits::isElsetType(obj->eltType)) {
        msg::putFindMsg(msgOut, msg::findrecptr::kBadDma);
        return nullptr;
      }
      if (obj->rec == nullptr) {
        msg::putFindMsg(msgOut, msg::findrecptr::kNoRec);
        return nullptr;
      }
      return static_cast<Record*>(obj->rec);
    }
    if (root_ == nullptr) {
      msg::putFindMsg(msgOut, msg::findrecptr::kEmpty);
      return nullptr;
    }
    Node* n = findNode(key);
    if (n == nullptr || !n->hasRec) {
      msg::putFindMsg(msgOut, msg::findrecptr::kMissing);
      return nullptr;
    }
    return &*n->rec;
  }

  // Key of the first node, in pre-order, whose record has this satellite
  // number; -1 when none has. With several element sets of one satellite the
  // answer depends on the shape of the tree. Logarithmic: the first node of
  // the number's key range in pre-order, compared with the stray nodes of that
  // number (see the top of this file).
  int64_t satKeyGet(int32_t satNum) {
    if (isEmpty()) return -1;
    ReadHold hold(guard_);
    if (!straysComplete_) return scanForSatNum(satNum);
    int64_t best = -1;
    bool any = false;
    int64_t lo = 0, hi = 0;
    if (Traits::keyRange(satNum, lo, hi)) {
      if (const Node* n = firstInRange(root_, satNum, lo, hi)) {
        best = n->satKey;
        any = true;
      }
    }
    for (auto it = strays_.lower_bound({satNum, std::numeric_limits<int64_t>::min()});
         it != strays_.end() && it->first == satNum; ++it) {
      if (!any || comesFirst(it->second, best)) best = it->second;
      any = true;
    }
    return best;
  }

  // The same answer by a pre-order walk of the whole tree.
  int64_t satKeyGetByScan(int32_t satNum) {
    if (isEmpty()) return -1;
    ReadHold hold(guard_);
    return scanForSatNum(satNum);
  }

  bool isEmpty() const noexcept { return empty_.load(std::memory_order_acquire); }

  int32_t count() {
    ReadHold hold(guard_);
    return count_;
  }

  // Writes every key into keys[running], keys[running + 1], ... and raises
  // running by one per key. Order 0: by the records' sort texts ascending; 1: the
  // reverse of order 0; 2: load order, oldest first; any other value:
  // ascending key. keys must have room for count() more keys, so writers
  // must be stopped between that count and this call. When the sort texts
  // cannot be allocated nothing is written.
  void getTreeKeys(int32_t& running, int64_t* keys, int32_t order) {
    size_t n = 0;
    if (listKeys(order, n, [&](size_t) { return keys + running; }) != nullptr) running += static_cast<int32_t>(n);
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
    int64_t* at = listKeys(order, n, [&](size_t m) -> int64_t* {
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

  // The record a node stands for: its own, or its DMA object's (null when the
  // object no longer lives or has no record). Callers hold the read side.
  static const Record* recordOf(const Node& n) {
    if (n.rec) return &*n.rec;
    return vx::isdma(n.satKey) ? dmaRecord(n.satKey) : nullptr;
  }

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
    if (bulk_ > 0 && --bulk_ == 0 && !indexComplete_) rebuildIndexSorted();
  }

  void beginRead() noexcept { guard_.beginRead(); }
  void endRead() noexcept { guard_.endRead(); }
  ReadWriteGuard& guard() noexcept { return guard_; }

  // For tests: the tree itself, the load counter, and whether lookups use
  // the index (false after it could not grow, until it is rebuilt).
  const Node* root() const noexcept { return root_; }
  int32_t seqnum() const noexcept { return seqnum_.load(); }
  bool indexInUse() const noexcept { return indexComplete_; }

  // Calls f(satKey, const Record&) for every element set in ascending key
  // order, all under one read hold (f must not call back into the store, nor
  // log: see LogDeferral).
  template <class F>
  void forEachKeyedInOrder(F&& f) {
    ReadHold hold(guard_);
    // An AVL tree of n nodes is less than 1.45 log2(n) high: 96 levels hold
    // more nodes than memory can.
    const Node* path[96];
    size_t depth = 0;
    const Node* n = root_;
    while (n != nullptr || depth > 0) {
      for (; n != nullptr; n = n->left) path[depth++] = n;
      n = path[--depth];
      if (const Record* r = recordOf(*n)) f(n->satKey, *r);
      n = n->right;
    }
  }

 private:
  // Lists every key in the given order (see getTreeKeys). room(n), called
  // under the read hold with the number of keys, says where they go (room
  // for n) or gives null. n receives the number of keys; the result is where
  // they were written, null when nothing was (no room, no work space).
  template <class Room>
  int64_t* listKeys(int32_t order, size_t& n, Room&& room) {
    std::unique_ptr<char[]> texts;
    int64_t* first = nullptr;
    {
      // One hold from the count to the last key, so that both agree.
      ReadHold hold(guard_);
      n = static_cast<size_t>(count_);
      first = room(n);
      if (first == nullptr) return nullptr;
      if (order < 0 || order > 2) {
        int32_t i = 0;
        collectKeys(root_, i, first);
        return first;
      }
      if (order == 2 && keysInLoadOrder(first, n)) return first;
      texts.reset(new (std::nothrow) char[n * kSortTextLen + 1]);
      if (!texts) return nullptr;
      size_t i = 0;
      collectSortTexts(root_, order, first, texts.get(), i);
    }
    vx::quicksortiterative(n, texts.get(), first, kSortTextLen);
    if (order == 1) std::reverse(first, first + n);
    return first;
  }

  // ---- Nodes outside the key range of their number (strays) ------------------

  static bool isStray(int64_t key, const Record& r) {
    int64_t lo = 0, hi = 0;
    return vx::isdma(key) || !Traits::keyRange(Traits::satNum(r), lo, hi) || key < lo || key > hi;
  }

  // Files key under r's number when it is a stray. When the set cannot grow
  // it is dropped and lookups by number walk the tree until the store is
  // emptied.
  void noteRecord(int64_t key, const Record* r) noexcept {
    if (r == nullptr || !straysComplete_ || !isStray(key, *r)) return;
    try {
      strays_.emplace(Traits::satNum(*r), key);
    } catch (...) {
      strays_.clear();
      straysComplete_ = false;
    }
  }

  // Before record r leaves key.
  void forgetRecord(int64_t key, const Record* r) noexcept {
    if (r != nullptr && straysComplete_) strays_.erase({Traits::satNum(*r), key});
  }

  // First node of [lo, hi] in pre-order whose record has number satNum. The
  // range is contiguous in key order, so a node left of it has it all in its
  // right subtree and the other way round.
  static const Node* firstInRange(const Node* n, int32_t satNum, int64_t lo, int64_t hi) {
    while (n != nullptr) {
      if (n->satKey < lo) {
        n = n->right;
      } else if (n->satKey > hi) {
        n = n->left;
      } else {
        const Record* r = recordOf(*n);
        if (r != nullptr && Traits::satNum(*r) == satNum) return n;
        if (const Node* f = firstInRange(n->left, satNum, lo, hi)) return f;
        n = n->right;
      }
    }
    return nullptr;
  }

  // Whether the node of key a comes before the node of key b in pre-order
  // (both in the tree): an ancestor comes first, else the one on the left
  // where their search paths part.
  bool comesFirst(int64_t a, int64_t b) const noexcept {
    for (const Node* n = root_; n != nullptr;) {
      if (n->satKey == a) return true;
      if (n->satKey == b) return false;
      const bool aLeft = a < n->satKey;
      if (aLeft != (b < n->satKey)) return aLeft;
      n = aLeft ? n->left : n->right;
    }
    return false;
  }

  int64_t scanForSatNum(int32_t satNum) const {
    int64_t found = -1;
    findAssociatedKey(root_, satNum, found);
    return found;
  }

  enum class DmaRelease { Done, Dead, WrongType };
  struct DmaTally {
    int32_t dead = 0;
    int32_t wrongType = 0;
  };

  void publishShape() noexcept { empty_.store(root_ == nullptr, std::memory_order_release); }

  Node* search(int64_t key) const noexcept {
    Node* n = root_;
    while (n != nullptr && n->satKey != key) n = key < n->satKey ? n->left : n->right;
    return n;
  }

  // The node of key, through the index while it holds every node.
  Node* findNode(int64_t key) const noexcept { return indexComplete_ ? index_.find(key) : search(key); }

  // Counts a node just linked and files it in the index. An index that
  // cannot grow is dropped, releasing its memory, and lookups walk the tree;
  // after an eighth of the count more adds a rebuild is tried (a failed try
  // costs one refused allocation, a successful one a walk of the tree).
  void noteLinked(Node* node) noexcept {
    ++count_;
    noteRecord(node->satKey, recordOf(*node));
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

  // The index filled from the whole tree in one sorted pass (see
  // KeyIndex::assign); the node-by-node rebuild when memory for that is
  // refused.
  void rebuildIndexSorted() noexcept {
    const size_t n = static_cast<size_t>(count_);
    std::unique_ptr<typename KeyIndex<Node, IndexMem>::Slot[]> entries(
        new (std::nothrow) typename KeyIndex<Node, IndexMem>::Slot[n > 0 ? n : 1]);
    if (entries) {
      size_t i = 0;
      collectSlots(root_, entries.get(), i);
      if (index_.assign(entries.get(), i)) {
        indexComplete_ = true;
        return;
      }
    }
    rebuildIndex();
  }

  static void collectSlots(Node* n, typename KeyIndex<Node, IndexMem>::Slot* out, size_t& i) noexcept {
    for (; n != nullptr; n = n->right) {
      collectSlots(n->left, out, i);
      out[i++] = {n->satKey, n};
    }
  }

  void rebuildIndex() noexcept {
    index_.clear();
    if (!index_.reserve(static_cast<size_t>(count_))) {
      putOffRebuild();
      return;
    }
    fileInIndex(root_);
    indexComplete_ = true;
  }

  // Room for every node was reserved, so no insertion can fail here.
  void fileInIndex(Node* n) noexcept {
    for (; n != nullptr; n = n->right) {
      fileInIndex(n->left);
      index_.insert(n->satKey, n);
    }
  }

  // Removes the node of key from the tree, the index and the count; 0
  // removed, 2 not found (nothing changed). A node with two children stays
  // in the tree and takes over its predecessor's key, so that key is filed
  // under it afterwards.
  int32_t unlinkKey(int64_t key) {
    int32_t shrunk = 0;
    if (!indexComplete_) {
      const int32_t err = removeNodeRecursive(root_, key, shrunk);
      if (err == 0) --count_;
      return err;
    }
    Node* target = index_.find(key);
    if (target == nullptr) return 2;
    const bool staysInTree = target->left != nullptr && target->right != nullptr;
    removeNodeRecursive(root_, key, shrunk);
    --count_;
    index_.erase(key);
    if (staysInTree) index_.repoint(target->satKey, target);
    return 0;
  }

  static bool recordsEqual(const Node& a, const Node& b) {
    return a.rec && b.rec && Traits::equal(*a.rec, *b.rec);
  }

  // ---- Insertion ---------------------------------------------------------------

  // One attempt for a DMA key; up to kMaxKeyAttempts for a tree key, moving
  // on to the next key while the key is taken by a different record. A
  // linked node is counted and filed in the index.
  int32_t linkNode(Node* node) {
    node->hasRec = node->rec.has_value();
    int32_t status = 3;
    if (vx::isdma(node->satKey)) {
      status = addNodeRecursive(root_, node);
    } else {
      for (int attempt = 0; attempt < kMaxKeyAttempts; ++attempt) {
        status = addNodeRecursive(root_, node);
        if (status != 2) break;
        node->satKey = vx::nextsatkey(node->satKey);
        status = 3;
      }
    }
    if (status == 0 || status == 1) noteLinked(node);
    return status;
  }

  // Status 1: linked and the subtree under link grew; 0: linked; 2: key
  // present with a different record; 3: key present with an equal record.
  int32_t addNodeRecursive(Node*& link, Node* node) {
    Node* n = link;
    if (n == nullptr) {
      node->seqNum = seqnum_.fetch_add(1) + 1;
      link = node;
      return 1;
    }
    if (node->satKey == n->satKey) return recordsEqual(*n, *node) ? 3 : 2;

    if (node->satKey < n->satKey) {
      const int32_t status = addNodeRecursive(n->left, node);
      if (status != 1) return status;
      if (n->balance == 1) {
        n->balance = 0;
        return 0;
      }
      if (n->balance == 0) {
        n->balance = -1;
        return 1;
      }
      Node* l = n->left;
      if (l->balance == -1) {
        n->left = l->right;
        l->right = n;
        n->balance = 0;
        link = l;
      } else {
        link = rotateLeftRight(n);
      }
      link->balance = 0;
      return 0;
    }

    const int32_t status = addNodeRecursive(n->right, node);
    if (status != 1) return status;
    if (n->balance == -1) {
      n->balance = 0;
      return 0;
    }
    if (n->balance == 0) {
      n->balance = 1;
      return 1;
    }
    Node* r = n->right;
    if (r->balance == 1) {
      n->right = r->left;
      r->left = n;
      n->balance = 0;
      link = r;
    } else {
      link = rotateRightLeft(n);
    }
    link->balance = 0;
    return 0;
  }

  // Double rotation of a node whose left child leans right; returns the
  // grandchild that takes the node's place, with balance 0.
  static Node* rotateLeftRight(Node* n) noexcept {
    Node* l = n->left;
    Node* g = l->right;
    l->right = g->left;
    n->left = g->right;
    g->left = l;
    g->right = n;
    n->balance = g->balance == -1 ? 1 : 0;
    l->balance = g->balance == 1 ? -1 : 0;
    g->balance = 0;
    return g;
  }

  // The mirror image: right child leaning left.
  static Node* rotateRightLeft(Node* n) noexcept {
    Node* r = n->right;
    Node* g = r->left;
    r->left = g->right;
    n->right = g->left;
    g->right = r;
    g->left = n;
    n->balance = g->balance == 1 ? -1 : 0;
    r->balance = g->balance == -1 ? 1 : 0;
    g->balance = 0;
    return g;
  }

  // ---- Removal -----------------------------------------------------------------

  // 0 removed, 2 not found (the caller logs it). shrunk becomes 1 when the
  // subtree under link lost a level.
  static int32_t removeNodeRecursive(Node*& link, int64_t key, int32_t& shrunk) {
    Node* n = link;
    if (n == nullptr) return 2;
    if (key < n->satKey) {
      const int32_t err = removeNodeRecursive(n->left, key, shrunk);
      if (shrunk == 1) balanceRightHeavy(link, shrunk);
      return err;
    }
    if (key > n->satKey) {
      const int32_t err = removeNodeRecursive(n->right, key, shrunk);
      if (shrunk == 1) balanceLeftHeavy(link, shrunk);
      return err;
    }
    if (n->right == nullptr) {
      link = n->left;
      shrunk = 1;
      delete n;
    } else if (n->left == nullptr) {
      link = n->right;
      shrunk = 1;
      delete n;
    } else {
      swapNode(n->left, n, shrunk);
      if (shrunk == 1) balanceRightHeavy(link, shrunk);
    }
    return 0;
  }

  // Descends right from link to the in-order predecessor P of target. Target
  // takes over P's key, record and load number (keeping its own balance); P's
  // left child takes P's place and P is destroyed.
  static void swapNode(Node*& link, Node* target, int32_t& shrunk) {
    Node* p = link;
    if (p->right != nullptr) {
      swapNode(p->right, target, shrunk);
      if (shrunk == 1) balanceLeftHeavy(link, shrunk);
      return;
    }
    target->satKey = p->satKey;
    target->rec = std::move(p->rec);
    target->hasRec = p->hasRec;
    target->seqNum = p->seqNum;
    link = p->left;
    shrunk = 1;
    delete p;
  }

  // The node under link lost a level on its right.
  static void balanceLeftHeavy(Node*& link, int32_t& shrunk) noexcept {
    Node* n = link;
    if (n->balance == 0) {
      n->balance = -1;
      shrunk = 0;
      return;
    }
    if (n->balance == 1) {
      n->balance = 0;
      return;
    }
    Node* l = n->left;
    if (l->balance <= 0) {
      n->left = l->right;
      l->right = n;
      if (l->balance == 0) {
        n->balance = -1;
        l->balance = 1;
        shrunk = 0;
      } else {
        n->balance = 0;
        l->balance = 0;
      }
      link = l;
    } else {
      link = rotateLeftRight(n);
    }
  }

  // The node under link lost a level on its left.
  static void balanceRightHeavy(Node*& link, int32_t& shrunk) noexcept {
    Node* n = link;
    if (n->balance == 0) {
      n->balance = 1;
      shrunk = 0;
      return;
    }
    if (n->balance == -1) {
      n->balance = 0;
      return;
    }
    Node* r = n->right;
    if (r->balance >= 0) {
      n->right = r->left;
      r->left = n;
      if (r->balance == 0) {
        n->balance = 1;
        r->balance = -1;
        shrunk = 0;
      } else {
        n->balance = 0;
        r->balance = 0;
      }
      link = r;
    } else {
      link = rotateRightLeft(n);
    }
  }

  // ---- Walks (recursion depth is the tree height, about 1.44 log2 n) ----------

  static bool findAssociatedKey(const Node* n, int32_t satNum, int64_t& found) {
    if (n == nullptr) return false;
    const Record* r = recordOf(*n);
    if (r != nullptr && Traits::satNum(*r) == satNum) {
      found = n->satKey;
      return true;
    }
    return findAssociatedKey(n->left, satNum, found) || findAssociatedKey(n->right, satNum, found);
  }

  static void collectKeys(const Node* n, int32_t& count, int64_t* keys) noexcept {
    if (n == nullptr) return;
    collectKeys(n->left, count, keys);
    keys[count++] = n->satKey;
    collectKeys(n->right, count, keys);
  }

  // Order 2 without texts. While the load counter has not wrapped, load
  // numbers are unique and not negative, and ascending load number is then
  // exactly the order of their zero-padded texts, with no ties. Writes the n
  // keys from first on and returns true; returns false with nothing written
  // when a load number is negative or repeated or no work space can be had,
  // and the text sort decides as it always has. Runs under the read hold.
  bool keysInLoadOrder(int64_t* first, size_t n) const noexcept {
    if (n == 0) return true;
    std::unique_ptr<int64_t[]> keys(new (std::nothrow) int64_t[n]);
    // Load number in the high half, position of the key in the low half.
    std::unique_ptr<uint64_t[]> packed(new (std::nothrow) uint64_t[n]);
    if (!keys || !packed) return false;
    size_t i = 0;
    if (!collectLoadNumbers(root_, keys.get(), packed.get(), i)) return false;
    if (!sortPacked(packed.get(), n)) return false;
    for (size_t j = 1; j < n; ++j)
      if ((packed[j] >> 32) == (packed[j - 1] >> 32)) return false;
    for (size_t j = 0; j < n; ++j) first[j] = keys[packed[j] & 0xffffffffU];
    return true;
  }

  // False at the first negative load number.
  static bool collectLoadNumbers(const Node* n, int64_t* keys, uint64_t* packed, size_t& i) noexcept {
    for (; n != nullptr; n = n->right) {
      if (!collectLoadNumbers(n->left, keys, packed, i)) return false;
      if (n->seqNum < 0) return false;
      keys[i] = n->satKey;
      packed[i] = static_cast<uint64_t>(n->seqNum) << 32 | i;
      ++i;
    }
    return true;
  }

  // Ascending sort of distinct values whose high halves are below 2^31: a
  // comparison sort for few, else two radix passes over 16-bit digits of
  // the high half. False when the work space cannot be had.
  static bool sortPacked(uint64_t* a, size_t n) noexcept {
    constexpr size_t kDigits = size_t{1} << 16;
    if (n < kDigits) {
      std::sort(a, a + n);
      return true;
    }
    std::unique_ptr<uint64_t[]> spare(new (std::nothrow) uint64_t[n]);
    std::unique_ptr<size_t[]> at(new (std::nothrow) size_t[kDigits]);
    if (!spare || !at) return false;
    uint64_t* from = a;
    uint64_t* to = spare.get();
    for (const int shift : {32, 48}) {
      std::fill(at.get(), at.get() + kDigits, size_t{0});
      for (size_t j = 0; j < n; ++j) ++at[(from[j] >> shift) & (kDigits - 1)];
      if (at[(from[0] >> shift) & (kDigits - 1)] == n) continue;  // one digit throughout: already in order
      size_t pos = 0;
      for (size_t d = 0; d < kDigits; ++d) pos += std::exchange(at[d], pos);
      for (size_t j = 0; j < n; ++j) to[at[(from[j] >> shift) & (kDigits - 1)]++] = from[j];
      std::swap(from, to);
    }
    if (from != a) std::copy(from, from + n, a);
    return true;
  }

  // Reverse in-order: each key with its sort text at the same position.
  static void collectSortTexts(const Node* n, int32_t order, int64_t* keys, char* texts, size_t& i) {
    if (n == nullptr) return;
    collectSortTexts(n->right, order, keys, texts, i);
    keys[i] = n->satKey;
    char* text = texts + i * kSortTextLen;
    std::memset(text, ' ', kSortTextLen);
    if (order == 2) {
      vx::fmt::writeI(text, 12, n->seqNum, 12);
    } else if (const Record* r = recordOf(*n)) {
      Traits::sortText(*r, text);
    }
    ++i;
    collectSortTexts(n->left, order, keys, texts, i);
  }

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
      const DmaRelease released = releaseDma(n->satKey);
      if (released == DmaRelease::Dead) ++tally.dead;
      if (released == DmaRelease::WrongType) ++tally.wrongType;
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
    if (vx::isdma(n->satKey)) {
      DmaObject* obj = liveObject(n->satKey);
      if (obj != nullptr && Traits::isElsetType(obj->eltType)) {
        delete static_cast<Record*>(obj->rec);
        obj->rec = nullptr;
        if (obj->extData1 == nullptr && obj->extData2 == nullptr) vx::dmaretire(obj, sizeof(DmaObject));
      }
    }
    delete n;
  }

  // ---- DMA objects -------------------------------------------------------------

  // A new object holding a copy of rec, registered as live; null (logged)
  // when something could not be allocated, with nothing left behind.
  static DmaObject* newDmaObject(const Record& rec) {
    auto* obj = new (std::nothrow) DmaObject{};
    if (obj == nullptr) {
      vx::tracelogerror(msg::addrec::kNoDma);
      return nullptr;
    }
    obj->selfAddr = static_cast<int64_t>(reinterpret_cast<intptr_t>(obj));
    try {
      obj->rec = new Record(rec);
    } catch (const std::bad_alloc&) {
      delete obj;
      vx::tracelogerror(msg::addrec::kNoDmaRec);
      return nullptr;
    }
    obj->eltType = Traits::eltType(rec);
    try {
      vx::dmaregister(obj);
    } catch (const std::bad_alloc&) {
      delete static_cast<Record*>(obj->rec);
      delete obj;
      vx::tracelogerror(msg::addrec::kNoDma);
      return nullptr;
    }
    return obj;
  }

  static void freeDmaObject(DmaObject* obj) noexcept {
    delete static_cast<Record*>(obj->rec);
    obj->rec = nullptr;
    vx::dmaretire(obj, sizeof(DmaObject));
  }

  // The object of a DMA key, or null when it is not a live object or its
  // selfAddr does not match the key. Only registered objects are read.
  static DmaObject* liveObject(int64_t key) noexcept {
    // Only ten times an address is a key: key + 1 ... key + 9 would reach the
    // same object.
    if (key <= 0 || key % 10 != 0) return nullptr;
    void* p = vx::keytocptr(key);
#if defined(__GNUC__)
    // A key written as a constant would otherwise let the optimiser follow a
    // made-up address and warn about it, though it is never read unless live.
    asm("" : "+r"(p));
#endif
    if (!vx::dmaislive(p)) return nullptr;
    auto* obj = static_cast<DmaObject*>(p);
    if (obj->selfAddr == 0 || obj->selfAddr != vx::satkeytoaddr(key)) return nullptr;
    return obj;
  }

  // The record of a DMA key's object when the object lives, holds a record of
  // this store's kind and has one.
  static const Record* dmaRecord(int64_t key) noexcept {
    const DmaObject* obj = liveObject(key);
    if (obj == nullptr || obj->rec == nullptr || !Traits::isElsetType(obj->eltType)) return nullptr;
    return static_cast<const Record*>(obj->rec);
  }

  // Releases the record of key's object, and the object when both outside
  // slots are empty. Runs under the writer side; the caller logs refusals.
  static DmaRelease releaseDma(int64_t key) noexcept {
    DmaObject* obj = liveObject(key);
    if (obj == nullptr) return DmaRelease::Dead;
    if (!Traits::isElsetType(obj->eltType)) return DmaRelease::WrongType;
    delete static_cast<Record*>(obj->rec);
    obj->rec = nullptr;
    if (obj->extData1 == nullptr && obj->extData2 == nullptr) vx::dmaretire(obj, sizeof(DmaObject));
    return DmaRelease::Done;
  }

  static void logDmaRelease(DmaRelease released) {
    if (released == DmaRelease::Dead) vx::tracelogerror(msg::removedma::kDead);
    if (released == DmaRelease::WrongType) vx::tracelogerror(msg::removedma::kWrongType);
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
  std::set<std::pair<int32_t, int64_t>> strays_;  // (number, key) of every stray node
  bool straysComplete_ = true;  // strays_ holds every stray; otherwise lookups by number walk the tree
  ReadWriteGuard guard_;
};

}  // namespace vx::store
