// The TLE store's named operations over the generic keyed store.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "Services/chronom.h"
#include "Store/FileLoad.h"
#include "Store/KeyedStore.h"
#include "Tle/TleLines.h"
#include "Tle/TleTypes.h"

namespace vx::tle {

struct TleStoreTraits {
  using Record = Tlerecord;
  static int32_t validate(Tlerecord& rec) { return validatetlevalues(rec); }
  static int64_t treeKey(const Tlerecord& rec) {
    return tlefields2satkey(rec.satNum, rec.epochYr, rec.epochDays, rec.ephType);
  }
  static int32_t eltType(const Tlerecord& rec) { return tletype2elttype(rec.ephType); }
  static bool isElsetType(int32_t code) { return tleelsettype(code); }
  static bool equal(const Tlerecord& a, const Tlerecord& b) { return tle::equal(a, b); }
  static void sortText(const Tlerecord& rec, char* text) { fieldstostr(rec, text); }
  static int32_t satNum(const Tlerecord& rec) { return rec.satNum; }
  static bool keyRange(int32_t satNum, int64_t& lo, int64_t& hi) { return treekeyrange(satNum, lo, hi); }
  static double epochDs50(const Tlerecord& rec) { return yrdays2ds50(rec.epochYr, rec.epochDays); }
  // treeKey makes its key as epochKey does, through createsatkey.
  static constexpr bool kTreeKeyIsEpochKey = true;
  static int64_t epochKey(const Tlerecord& rec) { return treekeyat(rec.satNum, eltType(rec), epochDs50(rec)); }
  static bool typeKeyRange(int32_t satNum, int32_t type, int64_t& lo, int64_t& hi) {
    return treekeyrange(satNum, type, lo, hi);
  }
  static void markNotFound(Tlerecord& rec) {
    freetlerecord(rec);
    rec.satNum = -123;
  }
};

using TleStore = store::KeyedStore<TleStoreTraits>;
using Tlebintree = TleStore::Node;

// The library's one store.
TleStore& tlestore();

// Adds rec by the key mode and duplicate switch in force (see
// KeyedStore::add).
[[nodiscard]] int64_t addtletomem(Tlerecord& rec, Tlebintree** node = nullptr);
// The same for a record the caller drops afterwards: the store takes over
// its contents instead of copying them.
[[nodiscard]] int64_t addtletomemtaking(Tlerecord& rec);
// The same for a record that has just passed validatetlevalues (the add
// road): the checks are not run again.
[[nodiscard]] int64_t addtletomemparsed(Tlerecord& rec);
// A save's report (see store::writeAllLines): a set that would not read
// back as itself (see TleFaithful.h) is not written; each such set is logged
// with its key and the reason once the walk is over. ioError is the error
// code of the first write that failed (later lines are not tried), 0 if none.
using WriteReport = store::WriteReport;
// Reads the record of satKey in place under the read hold and calls
// f(const Tlerecord&); false (f not called) when the key is not loaded.
template <class F>
bool withtlerecord(int64_t satKey, F&& f) {
  return tlestore().withRecord(satKey, std::forward<F>(f));
}

// Read, change and write of the record of satKey as one step under the
// writer side: f(Tlerecord&) changes a copy, and when it returns 0 the copy
// replaces the stored record. f's log lines go out after the hold. Returns
// f's result, or -1 (nothing logged) when the key is not loaded.
template <class F>
[[nodiscard]] int32_t tlemodifyrec(int64_t satKey, F&& f) {
  return tlestore().modify(satKey, std::forward<F>(f));
}

}  // namespace vx::tle
