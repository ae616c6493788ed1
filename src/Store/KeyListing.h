// Listing the keys of a store's tree in one of its orders.
//
// The orders by sort text and by load order sort 32-character texts with the
// family's sort; load order has a faster road that sorts the load numbers
// themselves and gives the same answer whenever the numbers are unique.
//
// Node needs `satKey`, `seqNum`, `left`, `right`. RecordOf is a callable
// giving a node's record (or null), Traits supplies sortText(rec, text).
//
// Thread safety: none of its own. collect runs under the store's read hold;
// finish, which only sorts the collected keys, runs after it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "Services/kernix.h"

namespace vx::store {

// Length of one sort text of the key listing.
inline constexpr size_t kSortTextLen = 32;

enum class ListOrder { BySortText = 0, BySortTextReversed = 1, ByLoad = 2, ByKey };

// The host's order value: 0, 1 and 2 as named, any other value by key.
constexpr ListOrder toListOrder(int32_t order) noexcept {
  switch (order) {
    case 0:
      return ListOrder::BySortText;
    case 1:
      return ListOrder::BySortTextReversed;
    case 2:
      return ListOrder::ByLoad;
    default:
      return ListOrder::ByKey;
  }
}

template <class Traits, class Node, class RecordOf>
struct KeyListing {
  enum class Collected { Done, NeedsSort, NoSpace };

  // Writes the n keys of the tree under root from first on. Done: they are
  // in order; NeedsSort: texts holds their sort texts and finish sorts them;
  // NoSpace: the texts could not be allocated.
  static Collected collect(const Node* root, size_t n, ListOrder order, int64_t* first, std::unique_ptr<char[]>& texts) {
    if (order == ListOrder::ByKey) {
      size_t i = 0;
      collectKeys(root, i, first);
      return Collected::Done;
    }
    if (order == ListOrder::ByLoad && keysInLoadOrder(root, first, n)) return Collected::Done;
    texts.reset(new (std::nothrow) char[n * kSortTextLen + 1]);
    if (!texts) return Collected::NoSpace;
    size_t i = 0;
    collectSortTexts(root, order, first, texts.get(), i);
    return Collected::NeedsSort;
  }

  static void finish(ListOrder order, size_t n, char* texts, int64_t* first) {
    vx::quicksortiterative(n, texts, first, kSortTextLen);
    if (order == ListOrder::BySortTextReversed) std::reverse(first, first + n);
  }

  static void collectKeys(const Node* n, size_t& i, int64_t* keys) noexcept {
    if (n == nullptr) return;
    collectKeys(n->left, i, keys);
    keys[i++] = n->satKey;
    collectKeys(n->right, i, keys);
  }

  // Load order without texts. While the load counter has not wrapped, load
  // numbers are unique and not negative, and ascending load number is then
  // exactly the order of their zero-padded texts, with no ties. Writes the n
  // keys from first on and returns true; returns false with nothing written
  // when a load number is negative or repeated or no work space can be had,
  // and the text sort decides as it always has.
  static bool keysInLoadOrder(const Node* root, int64_t* first, size_t n) noexcept {
    if (n == 0) return true;
    std::unique_ptr<int64_t[]> keys(new (std::nothrow) int64_t[n]);
    // Load number in the high half, position of the key in the low half.
    std::unique_ptr<uint64_t[]> packed(new (std::nothrow) uint64_t[n]);
    if (!keys || !packed) return false;
    size_t i = 0;
    if (!collectLoadNumbers(root, keys.get(), packed.get(), i)) return false;
    if (!sortPacked(packed.get(), n)) return false;
    for (size_t j = 1; j < n; ++j)
      if ((packed[j] >> 32) == (packed[j - 1] >> 32)) return false;
    for (size_t j = 0; j < n; ++j) first[j] = keys[packed[j] & 0xffffffffU];
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

 private:
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

  // Reverse in-order: each key with its sort text at the same position.
  static void collectSortTexts(const Node* n, ListOrder order, int64_t* keys, char* texts, size_t& i) {
    if (n == nullptr) return;
    collectSortTexts(n->right, order, keys, texts, i);
    keys[i] = n->satKey;
    char* text = texts + i * kSortTextLen;
    std::memset(text, ' ', kSortTextLen);
    if (order == ListOrder::ByLoad) {
      vx::fmt::writeI(text, 12, n->seqNum, 12);
    } else if (const auto* r = RecordOf{}(*n)) {
      Traits::sortText(*r, text);
    }
    ++i;
    collectSortTexts(n->left, order, keys, texts, i);
  }
};

}  // namespace vx::store
