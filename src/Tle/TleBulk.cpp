#include "Tle/TleBulk.h"

#include <algorithm>

#include "Services/kernix.h"
#include "Tle/TleArray.h"
#include "Tle/TleTree.h"

namespace vx::tle {

int32_t dataToArrays(int32_t count, const int64_t* satKeys, double* arrays, int32_t* found) {
  int32_t hits = 0, misses = 0;
  int64_t firstMiss = 0;
  TleArray work;
  char text[kTleTextLen];
  for (int32_t i = 0; i < count; ++i) {
    double* row = arrays + static_cast<size_t>(i) * kTleArrLen;
    // Each key is read under its own read hold, so writers wait for at
    // most one record and not for the whole batch.
    const bool hit = withtlerecord(satKeys[i], [&](const Tlerecord& rec) { tle2array(rec, work, text); });
    if (hit) {
      std::copy(work.begin(), work.end(), row);
      ++hits;
    } else {
      std::fill(row, row + kTleArrLen, 0.0);
      if (misses++ == 0) firstMiss = satKeys[i];
    }
    if (found != nullptr) found[i] = hit ? 1 : 0;
  }
  if (misses > 0) {
    LogLine()
        .text("TleDataToArrays: ")
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

int32_t getLoadedColumns(size_t capacity, size_t nElems, const int32_t* elems, int64_t* satKeys, double* columns,
                         int32_t& total) {
  size_t n = 0;
  TleArray work;
  // One walk in ascending key order under one read hold: the keys, the
  // columns and the total agree, and no key is looked up twice.
  tlestore().forEachKeyedInOrder([&](int64_t key, const Tlerecord& rec) {
    if (n < capacity) {
      satKeys[n] = key;
      if (nElems > 0) {
        tle2arrayvalues(rec, work);
        for (size_t j = 0; j < nElems; ++j) columns[j * capacity + n] = work[static_cast<size_t>(elems[j] - 1)];
      }
    }
    ++n;
  });
  total = static_cast<int32_t>(n);
  return static_cast<int32_t>(std::min(n, capacity));
}

}  // namespace vx::tle
