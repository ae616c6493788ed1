// The state-vector store's named operations over the generic keyed store.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "Kinem/KinemLines.h"
#include "Kinem/KinemTypes.h"
#include "Services/chronom.h"
#include "Store/KeyedStore.h"

namespace vx::kinem {

struct KinemStoreTraits {
  using Record = Kinemrecord;
  static int32_t validate(Kinemrecord& rec) { return validatekinemvalues(rec); }
  static int64_t treeKey(const Kinemrecord& rec) { return kinemrecsatkey(rec); }
  static int32_t eltType(const Kinemrecord&) { return kKinemEltType; }
  static bool isElsetType(int32_t code) { return kinemelsettype(code); }
  static bool equal(const Kinemrecord& a, const Kinemrecord& b) { return kinem::equal(a, b); }
  static void sortText(const Kinemrecord& rec, char* text) { fieldstostr(rec, text); }
  static int32_t satNum(const Kinemrecord& rec) { return rec.satNum; }
  static bool keyRange(int32_t satNum, int64_t& lo, int64_t& hi) { return treekeyrange(satNum, lo, hi); }
  // An epoch text that does not read counts as day 0.
  static double epochDs50(const Kinemrecord& rec) {
    double ds50 = 0.0;
    return epochds50(rec, ds50) ? ds50 : 0.0;
  }
  static int64_t epochKey(const Kinemrecord& rec) { return treekeyat(rec.satNum, kKinemEltType, epochDs50(rec)); }
  static bool typeKeyRange(int32_t satNum, int32_t type, int64_t& lo, int64_t& hi) {
    return treekeyrange(satNum, type, lo, hi);
  }
  static void markNotFound(Kinemrecord& rec) {
    freekinemrecord(rec);
    rec.satNum = -123;
  }
};

using KinemStore = store::KeyedStore<KinemStoreTraits>;
using Kinembintree = KinemStore::Node;

// The library's one store.
KinemStore& kinemstore();

// Adds rec by the key mode and duplicate switch in force (see
// KeyedStore::add).
[[nodiscard]] int64_t addkinemtomem(Kinemrecord& rec, Kinembintree** node = nullptr);
// The same for a record the caller drops afterwards: the store takes over
// its contents instead of copying them.
[[nodiscard]] int64_t addkinemtomemtaking(Kinemrecord& rec);
// The same for a record lines2kinem has just read: it ran the value checks
// already, and they are not run again.
[[nodiscard]] int64_t addkinemtomemparsed(Kinemrecord& rec);

// Reads the record of satKey in place under the read hold and calls
// f(const Kinemrecord&); false (f not called) when the key is not loaded.
template <class F>
bool withkinemrecord(int64_t satKey, F&& f) {
  return kinemstore().withRecord(satKey, std::forward<F>(f));
}

// Read, change and write of the record of satKey as one step under the
// writer side: f(Kinemrecord&) changes a copy, and when it returns 0 the copy
// replaces the stored record. f's log lines go out after the hold. Returns
// f's result, or -1 (nothing logged) when the key is not loaded.
template <class F>
[[nodiscard]] int32_t kinemmodifyrec(int64_t satKey, F&& f) {
  return kinemstore().modify(satKey, std::forward<F>(f));
}

}  // namespace vx::kinem
