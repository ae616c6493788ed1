// Lookup by satellite number over a store's tree, without walking it.
//
// A node is in place when its key is the one its record's own number, type
// and epoch give (Traits::epochKey) and lies in that number's key range;
// every other node is a stray: DMA nodes, keys advanced past a taken key,
// records whose number or epoch an update changed. The strays are kept in a
// side set ordered by number. When the side set cannot grow it is dropped
// and lookups walk the tree until it is cleared.
//
// find: the key of the first node, in pre-order, whose record has the
// number. Tree keys of one satellite number form one contiguous key range
// (Traits::keyRange), so the first node of that range in pre-order is found
// by a descent; the pre-order first of it and the number's strays wins.
//
// findLatest: the key of the record of the number with the latest epoch
// (Traits::epochDs50; an epoch that is not a number counts as the earliest),
// the larger key among equal epochs. Within the part of the range of one
// type (Traits::typeKeyRange) keys in place grow with the epoch, so the
// largest key in place of each type is the latest in place of that type;
// one descent per type present finds them, from the top of the range down,
// passing over strays. The latest of them and the number's strays wins.
//
// Node needs `satKey`, `left`, `right`; RecordOf is a callable giving a
// node's record (or null); Traits supplies satNum, keyRange, epochDs50,
// epochKey, eltType and typeKeyRange.
//
// Thread safety: none of its own; the store changes the strays under its
// writer side and looks up under its read side.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>

#include "Services/kernix.h"

namespace vx::store {

template <class Traits, class Node, class RecordOf>
class SatNumLookup {
 public:
  using Record = typename Traits::Record;

  // Files key under r's number when it is a stray.
  void noteRecord(int64_t key, const Record* r) noexcept {
    if (r == nullptr || !complete_ || !isStray(key, *r)) return;
    try {
      strays_.emplace(Traits::satNum(*r), key);
    } catch (...) {
      strays_.clear();
      complete_ = false;
    }
  }

  // Before record r leaves key.
  void forgetRecord(int64_t key, const Record* r) noexcept {
    if (r != nullptr && complete_) strays_.erase({Traits::satNum(*r), key});
  }

  // When the tree is emptied.
  void clear() noexcept {
    strays_.clear();
    complete_ = true;
  }

  // Key of the first node under root, in pre-order, whose record has satNum;
  // -1 when none has.
  int64_t find(const Node* root, int32_t satNum) const {
    if (!complete_) return scan(root, satNum);
    int64_t best = -1;
    bool any = false;
    int64_t lo = 0, hi = 0;
    if (Traits::keyRange(satNum, lo, hi)) {
      if (const Node* n = firstInRange(root, satNum, lo, hi)) {
        best = n->satKey;
        any = true;
      }
    }
    for (auto it = strays_.lower_bound({satNum, std::numeric_limits<int64_t>::min()});
         it != strays_.end() && it->first == satNum; ++it) {
      if (!any || comesFirst(root, it->second, best)) best = it->second;
      any = true;
    }
    return best;
  }

  // Key of the record with this satellite number and the latest epoch, the
  // larger key among equal epochs; -1 when no record has the number.
  // Logarithmic, plus the strays of the number and those passed over.
  int64_t findLatest(const Node* root, int32_t satNum) const {
    if (!complete_) return scanLatest(root, satNum);
    Latest best;
    int64_t lo = 0, hi = 0;
    if (Traits::keyRange(satNum, lo, hi)) {
      // Each round finds the largest key in place below top and goes on
      // below the part of the range of that key's type.
      for (int64_t top = hi; top >= lo;) {
        const Node* n = lastInPlace(root, satNum, lo, top);
        if (n == nullptr) break;
        const Record& r = *RecordOf{}(*n);
        best.offer(n->satKey, r);
        int64_t typeLo = 0, typeHi = 0;
        const bool typed = Traits::typeKeyRange(satNum, Traits::eltType(r), typeLo, typeHi);
        top = (typed && typeLo <= n->satKey ? typeLo : n->satKey) - 1;
      }
    }
    for (auto it = strays_.lower_bound({satNum, std::numeric_limits<int64_t>::min()});
         it != strays_.end() && it->first == satNum; ++it) {
      const Node* n = nodeAt(root, it->second);
      if (const Record* r = n != nullptr ? RecordOf{}(*n) : nullptr) best.offer(n->satKey, *r);
    }
    return best.key;
  }

  // The same answer by a walk of the whole tree.
  static int64_t scanLatest(const Node* root, int32_t satNum) {
    Latest best;
    visitNumber(root, satNum, best);
    return best.key;
  }

  // The same answer as find by a pre-order walk of the whole tree.
  static int64_t scan(const Node* root, int32_t satNum) {
    int64_t found = -1;
    findAssociatedKey(root, satNum, found);
    return found;
  }

  // Whether the node of key a comes before the node of key b in pre-order
  // (both in the tree): an ancestor comes first, else the one on the left
  // where their search paths part.
  static bool comesFirst(const Node* root, int64_t a, int64_t b) noexcept {
    for (const Node* n = root; n != nullptr;) {
      if (n->satKey == a) return true;
      if (n->satKey == b) return false;
      const bool aLeft = a < n->satKey;
      if (aLeft != (b < n->satKey)) return aLeft;
      n = aLeft ? n->left : n->right;
    }
    return false;
  }

 private:
  static bool isStray(int64_t key, const Record& r) { return !inPlace(key, r); }

  static bool inPlace(int64_t key, const Record& r) {
    int64_t lo = 0, hi = 0;
    return !vx::isdma(key) && Traits::keyRange(Traits::satNum(r), lo, hi) && key >= lo && key <= hi &&
           Traits::epochKey(r) == key;
  }

  // The latest of the records offered, by epoch and then key.
  struct Latest {
    int64_t key = -1;
    double epoch = 0.0;
    void offer(int64_t k, const Record& r) {
      double e = Traits::epochDs50(r);
      if (std::isnan(e)) e = -std::numeric_limits<double>::infinity();
      if (key == -1 || e > epoch || (e == epoch && k > key)) {
        key = k;
        epoch = e;
      }
    }
  };

  static const Node* nodeAt(const Node* n, int64_t key) noexcept {
    while (n != nullptr && n->satKey != key) n = key < n->satKey ? n->left : n->right;
    return n;
  }

  // Node of the largest key in [lo, hi] that is in place with number satNum:
  // the range's nodes from the top down until one is.
  static const Node* lastInPlace(const Node* n, int32_t satNum, int64_t lo, int64_t hi) {
    for (n = rangeTop(n, lo, hi); n != nullptr; n = rangeTop(n->left, lo, hi)) {
      if (const Node* f = lastInPlace(n->right, satNum, lo, hi)) return f;
      const Record* r = RecordOf{}(*n);
      if (r != nullptr && Traits::satNum(*r) == satNum && inPlace(n->satKey, *r)) return n;
    }
    return nullptr;
  }

  // The first node of [lo, hi] on the way down from n: every node of the
  // range below n is in its subtree.
  static const Node* rangeTop(const Node* n, int64_t lo, int64_t hi) noexcept {
    while (n != nullptr && (n->satKey < lo || n->satKey > hi)) n = n->satKey < lo ? n->right : n->left;
    return n;
  }

  static void visitNumber(const Node* n, int32_t satNum, Latest& best) {
    if (n == nullptr) return;
    const Record* r = RecordOf{}(*n);
    if (r != nullptr && Traits::satNum(*r) == satNum) best.offer(n->satKey, *r);
    visitNumber(n->left, satNum, best);
    visitNumber(n->right, satNum, best);
  }

  // First node of [lo, hi] in pre-order whose record has number satNum. The
  // range is contiguous in key order, so a node left of it has it all in its
  // right subtree and the other way round.
  static const Node* firstInRange(const Node* n, int32_t satNum, int64_t lo, int64_t hi) {
    for (n = rangeTop(n, lo, hi); n != nullptr; n = rangeTop(n->right, lo, hi)) {
      const Record* r = RecordOf{}(*n);
      if (r != nullptr && Traits::satNum(*r) == satNum) return n;
      if (const Node* f = firstInRange(n->left, satNum, lo, hi)) return f;
    }
    return nullptr;
  }

  // Recursion depth is the tree height, about 1.44 log2 n.
  static bool findAssociatedKey(const Node* n, int32_t satNum, int64_t& found) {
    if (n == nullptr) return false;
    const Record* r = RecordOf{}(*n);
    if (r != nullptr && Traits::satNum(*r) == satNum) {
      found = n->satKey;
      return true;
    }
    return findAssociatedKey(n->left, satNum, found) || findAssociatedKey(n->right, satNum, found);
  }

  std::set<std::pair<int32_t, int64_t>> strays_;  // (number, key) of every stray node
  bool complete_ = true;  // strays_ holds every stray; otherwise lookups walk the tree
};

}  // namespace vx::store
