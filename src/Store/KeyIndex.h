// Hash index from satKey to tree node, so that a lookup by key costs one or
// two cache lines of the table instead of a walk down the tree.
//
// Open addressing with linear probing over a power-of-two table of 16-byte
// slots (key, node); a slot with a null node is free. Beyond its smallest
// size the table is kept between 30% and 70% full (emptier only when memory
// to shrink it was refused), so it costs 23 to 54 bytes per entry. Removal
// shifts the following entries of the probe run back (no tombstones), so a
// search ends at the first free slot.
//
// Every allocation goes through Memory::allocate (zeroed bytes, null on
// failure) and Memory::release. An operation whose allocation fails leaves
// the table as it was and says so; none throws.
//
// The index has no guard of its own: its owner changes it only under the
// store's write hold and reads it under the read hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

namespace vx::store {

// Zeroed heap memory from the C allocator: a large table comes straight from
// fresh pages, so growing it does not write the new table twice.
struct IndexMemory {
  static void* allocate(size_t bytes) noexcept { return std::calloc(bytes, 1); }
  static void release(void* p) noexcept { std::free(p); }
};

template <class NodeT, class Memory = IndexMemory>
class KeyIndex {
 public:
  struct Slot {
    int64_t key;
    NodeT* node;  // null: the slot is free
  };
  static_assert(sizeof(Slot) == 16);

  static constexpr size_t kMinCapacity = 16;

  KeyIndex() = default;
  KeyIndex(const KeyIndex&) = delete;
  KeyIndex& operator=(const KeyIndex&) = delete;
  ~KeyIndex() { Memory::release(slots_); }

  size_t size() const noexcept { return size_; }
  size_t capacity() const noexcept { return slots_ == nullptr ? 0 : mask_ + 1; }

  // The node filed under key, or null.
  NodeT* find(int64_t key) const noexcept {
    if (slots_ == nullptr) return nullptr;
    for (size_t i = home(key);; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.node == nullptr) return nullptr;
      if (s.key == key) return s.node;
    }
  }

  // Files node under key, which must not be present. False when the table
  // had to grow and could not; it is unchanged then.
  bool insert(int64_t key, NodeT* node) noexcept {
    if (!fits(size_ + 1, capacity()) && !resize(capacityFor(size_ + 1))) return false;
    place(key, node);
    ++size_;
    return true;
  }

  // Files key under another node; false when key is not present.
  bool repoint(int64_t key, NodeT* node) noexcept {
    if (slots_ == nullptr) return false;
    for (size_t i = home(key);; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.node == nullptr) return false;
      if (s.key == key) {
        s.node = node;
        return true;
      }
    }
  }

  // Removes key if present. The table shrinks to half once it is less than
  // 30% full (60% after); when that allocation fails it stays as large.
  void erase(int64_t key) noexcept {
    if (slots_ == nullptr) return;
    size_t i = home(key);
    for (;; i = (i + 1) & mask_) {
      if (slots_[i].node == nullptr) return;
      if (slots_[i].key == key) break;
    }
    // Close the gap at i: an entry further along the run moves into it when
    // its home is not inside (i, j], i.e. when it would no longer be found
    // from its home with i free.
    for (size_t j = (i + 1) & mask_; slots_[j].node != nullptr; j = (j + 1) & mask_) {
      const size_t h = home(slots_[j].key);
      if (((j - h) & mask_) >= ((j - i) & mask_)) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = Slot{0, nullptr};
    --size_;
    if (capacity() > kMinCapacity && size_ * 10 < capacity() * 3) resize(capacity() / 2);
  }

  // Makes room for n entries without growing again; false when it could not
  // (the table is unchanged then).
  bool reserve(size_t n) noexcept { return fits(n, capacity()) || resize(capacityFor(n)); }

  // Replaces the contents with the n entries given (distinct keys), which it
  // reorders: they are sorted by home slot first, so that the table is
  // written front to back rather than at random, which is several times
  // faster for a large table. False (the table then empty) when memory was
  // refused.
  bool assign(Slot* entries, size_t n) noexcept {
    clear();
    const size_t cap = capacityFor(n);
    auto* fresh = static_cast<Slot*>(Memory::allocate(cap * sizeof(Slot)));
    auto* spare = n > 0 ? static_cast<Slot*>(Memory::allocate(n * sizeof(Slot))) : nullptr;
    if (fresh == nullptr || (n > 0 && spare == nullptr)) {
      Memory::release(fresh);
      Memory::release(spare);
      return false;
    }
    slots_ = fresh;
    mask_ = cap - 1;
    // Radix sort by home slot, eleven bits a pass (counts stay in cache).
    constexpr unsigned kBits = 11;
    constexpr size_t kBuckets = size_t{1} << kBits;
    Slot* from = entries;
    Slot* to = spare;
    for (unsigned shift = 0; (mask_ >> shift) != 0; shift += kBits) {
      size_t counts[kBuckets] = {};
      for (size_t i = 0; i < n; ++i) ++counts[(home(from[i].key) >> shift) & (kBuckets - 1)];
      size_t sum = 0;
      for (size_t& c : counts) {
        const size_t here = c;
        c = sum;
        sum += here;
      }
      for (size_t i = 0; i < n; ++i) to[counts[(home(from[i].key) >> shift) & (kBuckets - 1)]++] = from[i];
      std::swap(from, to);
    }
    for (size_t i = 0; i < n; ++i) place(from[i].key, from[i].node);
    size_ = n;
    Memory::release(spare);
    return true;
  }

  // Empties the table and releases its memory.
  void clear() noexcept {
    Memory::release(slots_);
    slots_ = nullptr;
    mask_ = 0;
    size_ = 0;
  }

 private:
  // 70% at most: a successful search then reads about two slots on average,
  // almost always within one cache line.
  static bool fits(size_t n, size_t cap) noexcept { return n * 10 <= cap * 7; }

  static size_t capacityFor(size_t n) noexcept {
    size_t cap = kMinCapacity;
    while (!fits(n, cap)) cap *= 2;
    return cap;
  }

  // Keys of nearby satellites and epochs differ only in their low digits, and
  // DMA keys are multiples of ten: mix every bit into the ones the mask keeps.
  size_t home(int64_t key) const noexcept {
    uint64_t x = static_cast<uint64_t>(key);
    x ^= x >> 32;
    x *= 0xd6e8feb86659fd93ULL;
    x ^= x >> 32;
    x *= 0xd6e8feb86659fd93ULL;
    x ^= x >> 32;
    return static_cast<size_t>(x) & mask_;
  }

  void place(int64_t key, NodeT* node) noexcept {
    size_t i = home(key);
    while (slots_[i].node != nullptr) i = (i + 1) & mask_;
    slots_[i] = Slot{key, node};
  }

  // Moves every entry into a fresh table of cap slots (a power of two).
  bool resize(size_t cap) noexcept {
    if (cap > SIZE_MAX / sizeof(Slot)) return false;
    auto* fresh = static_cast<Slot*>(Memory::allocate(cap * sizeof(Slot)));
    if (fresh == nullptr) return false;
    Slot* old = slots_;
    const size_t oldCap = capacity();
    slots_ = fresh;
    mask_ = cap - 1;
    for (size_t i = 0; i < oldCap; ++i)
      if (old[i].node != nullptr) place(old[i].key, old[i].node);
    Memory::release(old);
    return true;
  }

  Slot* slots_ = nullptr;
  size_t mask_ = 0;
  size_t size_ = 0;
};

// Every node of the tree under root (nodes with satKey, left and right), in
// ascending key order, as slots from out[i] on.
template <class Node, class Slot>
void collectTreeSlots(Node* n, Slot* out, size_t& i) noexcept {
  for (; n != nullptr; n = n->right) {
    collectTreeSlots(n->left, out, i);
    out[i++] = {n->satKey, n};
  }
}

// Files every node of the tree under root; room for them is reserved, so
// no insertion can fail.
template <class Node, class Mem>
void fileTreeNodes(KeyIndex<Node, Mem>& index, Node* n) noexcept {
  for (; n != nullptr; n = n->right) {
    fileTreeNodes(index, n->left);
    index.insert(n->satKey, n);
  }
}

// The index filled with the count nodes of the tree under root: in one
// sorted pass (see assign) when sorted is asked for and memory for it can
// be had, else node by node. False, the index empty, when not even room for
// the nodes can be had.
template <class Node, class Mem>
bool fillFromTree(KeyIndex<Node, Mem>& index, Node* root, size_t count, bool sorted) noexcept {
  if (sorted) {
    using Slot = typename KeyIndex<Node, Mem>::Slot;
    std::unique_ptr<Slot[]> entries(new (std::nothrow) Slot[count > 0 ? count : 1]);
    if (entries) {
      size_t i = 0;
      collectTreeSlots(root, entries.get(), i);
      if (index.assign(entries.get(), i)) return true;
    }
  }
  index.clear();
  if (!index.reserve(count)) return false;
  fileTreeNodes(index, root);
  return true;
}

}  // namespace vx::store
