// What the keyed store is told from outside: what it needs to know about
// its record (StoreTraits), and how one add makes its key (AddPolicy).
#pragma once

#include <concepts>
#include <cstdint>
#include <type_traits>

namespace vx::store {

// How one add makes its key and answers a duplicate; the library reads the
// process-wide switches and passes them.
struct AddPolicy {
  int32_t keyMode = 0;  // 1: DMA key; any other value: tree key
  int32_t dupMode = 0;  // 0: a duplicate is logged and answered 0; other: answered with the first key tried
  // For a reader that checks its records and reports by itself: a tree key
  // whatever keyMode says, no value checks, and nothing logged by the add
  // but a key it cannot place. The answer is the key linked, 0 when an equal
  // record is stored, -1 when no key can be made (the key maker names its
  // reason) or none is free (the add names the first key tried), and
  // kAddNoMemory when memory runs out.
  bool unchecked = false;

  static constexpr AddPolicy uncheckedTreeKey() noexcept { return {0, 0, true}; }
};

// The answer of an unchecked add (AddPolicy::unchecked) that ran out of
// memory.
inline constexpr int64_t kAddNoMemory = -2;

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
//   epochDs50(rec)     rec's epoch in days since 1950, for the latest set of a
//                      number
//   epochKey(rec)      the tree key rec's own number, type and epoch give, not
//                      advanced; -1 when none. Never logs.
//   typeKeyRange(n, t, lo, hi) whether there is a part [lo, hi] of
//                      keyRange(n) that holds every key epochKey gives for
//                      number n and type code t, and in which those keys
//                      never decrease as epochDs50 grows
//   markNotFound(rec)  releases rec's optional parts and marks it not found
// and, optionally:
//   kTreeKeyIsEpochKey true when every key treeKey(rec) makes is epochKey(rec)
//                      and lies in keyRange(satNum(rec)): an add's key that was
//                      not advanced is then in its record's place by
//                      construction, and the add skips working that out again
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
      { T::epochDs50(c) } -> std::same_as<double>;
      { T::epochKey(c) } -> std::same_as<int64_t>;
      { T::typeKeyRange(t, t, k, k) } -> std::same_as<bool>;
      T::markNotFound(r);
    };

}  // namespace vx::store
