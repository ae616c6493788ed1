// Lookup by satellite number over a store's tree, without walking it.
//
// The answer is the key of the first node, in pre-order, whose record has
// the number. Tree keys of one satellite number form one contiguous key
// range (Traits::keyRange), so the first node of that range in pre-order is
// found by a descent. Nodes that do not sit in the range of their record's
// number (DMA nodes, keys advanced past the end of a range, records whose
// number an update changed) are kept in a side set ordered by number, the
// strays, and the pre-order first of all candidates wins. When the side set
// cannot grow it is dropped and lookups walk the tree until it is cleared.
//
// Node needs `satKey`, `left`, `right`; RecordOf is a callable giving a
// node's record (or null); Traits supplies satNum(rec) and keyRange.
//
// Thread safety: none of its own; the store changes the strays under its
// writer side and looks up under its read side.
#pragma once

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

  // The same answer by a pre-order walk of the whole tree.
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
  static bool isStray(int64_t key, const Record& r) {
    int64_t lo = 0, hi = 0;
    return vx::isdma(key) || !Traits::keyRange(Traits::satNum(r), lo, hi) || key < lo || key > hi;
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
        const Record* r = RecordOf{}(*n);
        if (r != nullptr && Traits::satNum(*r) == satNum) return n;
        if (const Node* f = firstInRange(n->left, satNum, lo, hi)) return f;
        n = n->right;
      }
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
