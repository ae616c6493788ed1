// Many element sets in the array form at once: the arrays of a list of keys,
// and chosen array elements of every loaded element set as columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Services/kernix.h"
#include "Tle/TleTree.h"

namespace vx::tle {

// Reads each key under its own read hold (writers wait for at most one
// record, not for the whole batch): take(i, rec) for a key found, miss(i)
// for one not loaded; found[i] (may be null) 1 or 0. The number found; the
// misses are logged once under routine, with the first of them.
template <class Take, class Miss>
int32_t eachKey(std::string_view routine, int32_t count, const int64_t* satKeys, int32_t* found, Take&& take,
                Miss&& miss) {
  int32_t hits = 0, misses = 0;
  int64_t firstMiss = 0;
  for (int32_t i = 0; i < count; ++i) {
    const auto at = static_cast<size_t>(i);
    const bool hit = withtlerecord(satKeys[i], [&](const Tlerecord& rec) { take(at, rec); });
    if (hit) {
      ++hits;
    } else {
      miss(at);
      if (misses++ == 0) firstMiss = satKeys[i];
    }
    if (found != nullptr) found[i] = hit ? 1 : 0;
  }
  if (misses > 0) {
    LogLine()
        .text(routine)
        .text(": ")
        .num(misses)
        .text(" of ")
        .num(count)
        .text(" satKeys not loaded, the first ")
        .num(firstMiss, 19)
        .text(".")
        .error();
  }
  return hits;
}

// Row i of arrays (kTleArrLen values) gets the array of satKeys[i], zeros
// when the key is not loaded; found[i] (when found is not null) 1 or 0. The
// number of keys found; the misses are logged once, with the first of them.
int32_t dataToArrays(int32_t count, const int64_t* satKeys, double* arrays, int32_t* found);
// Width of a designator (satName) in the text columns.
inline constexpr size_t kDesignatorWidth = 8;
// Row i of designators (8 characters a row) and names (nameWidth a row, the
// object name cut and blank padded) for satKeys[i], blanks when the key is
// not loaded; either may be null; longest (may be null) the length of the
// longest object name found. As dataToArrays otherwise.
int32_t textColumns(int32_t count, const int64_t* satKeys, char* designators, char* names, size_t nameWidth,
                    int32_t* found, int32_t* longest);
// The keys of the loaded element sets in ascending order, up to capacity, and
// for each the nElems array elements elems[j] (1-based) in column j of
// columns (capacity values per column). total gets the number loaded; the
// result is the number written.
int32_t getLoadedColumns(size_t capacity, size_t nElems, const int32_t* elems, int64_t* satKeys, double* columns,
                         int32_t& total);

}  // namespace vx::tle
