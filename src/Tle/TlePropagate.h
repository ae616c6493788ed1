// Element sets of the store to the orbit model: their GP element values,
// gathered from a list of keys or from the whole store, for an orbix
// snapshot that holds its own copy of everything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "Tle/TleTypes.h"

namespace vx::tle {

// Codes an entry gets before the model sees it (those of orbix.h).
inline constexpr int32_t kNoSetCode = 8;       // the key held no element set
inline constexpr int32_t kNotMeanSetCode = 9;  // ephemeris type 4 or 6

// What a snapshot is made of: entry i has element values
// elements[i * kGpValues ..], id ids[i] and code codes[i] (0, or failed
// with that code and its values unused).
struct SnapshotInput {
  static constexpr size_t kGpValues = 10;
  std::vector<double> elements;
  std::vector<int64_t> ids;
  std::vector<int32_t> codes;
  int32_t misses = 0;  // keys that held no set

  void resize(size_t n);
  // Entry i from rec: the values of a type 0 or 2 set, code 9 for another.
  void put(size_t i, int64_t satKey, const Tlerecord& rec);
  // Entry i for a key without a set: code 8.
  void miss(size_t i, int64_t satKey);
};

// The entries of satKeys[0 .. count) in that order, each key read under its
// own read hold; the misses are logged once under routine.
void gatherKeys(std::string_view routine, const int64_t* satKeys, int32_t count, SnapshotInput& in);
// Every set of the store in ascending key order, read in chunks under one
// read hold each (writers run between chunks).
void gatherStore(SnapshotInput& in);

}  // namespace vx::tle
