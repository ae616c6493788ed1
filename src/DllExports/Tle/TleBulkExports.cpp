// Exported bulk functions of the TLE library: many element sets as arrays in
// one call, and a file load that hands back its counts.
#include <algorithm>
#include <cstring>

#include "DllExports/Tle/TleDllVarsUtils.h"
#include "DllExports/Tle/TleFieldVarsUtils.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

using namespace vx;
using namespace vx::tle;

extern "C" {

VX_API int32_t TleDataToArrays(int32_t count, const int64_t* satKeys, double* arrays, int32_t* found) {
  return guarded("TleDataToArrays", int32_t{-1}, [&]() -> int32_t {
    if (count < 0 || (count > 0 && (satKeys == nullptr || arrays == nullptr))) {
      tracelognumbered("TleDataToArrays: Invalid count or no key or array buffer, count ", count, 11, ".");
      return -1;
    }
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
  });
}

VX_API int32_t TleGetLoadedColumns(int32_t capacity, int32_t nElems, const int32_t* elems, int64_t* satKeys,
                                   double* columns, int32_t* total) {
  return guarded("TleGetLoadedColumns", int32_t{-1}, [&]() -> int32_t {
    if (total != nullptr) *total = 0;
    const bool badElem = elems != nullptr && std::any_of(elems, elems + std::max(nElems, 0), [](int32_t e) {
      return e < 1 || e > static_cast<int32_t>(kTleArrLen);
    });
    if (capacity < 0 || nElems < 0 || badElem || (nElems > 0 && elems == nullptr) ||
        (capacity > 0 && (satKeys == nullptr || (nElems > 0 && columns == nullptr)))) {
      tracelognumbered("TleGetLoadedColumns: Invalid capacity, element list or buffer, capacity ", capacity, 11,
                       ".");
      return -1;
    }
    const auto cap = static_cast<size_t>(capacity);
    size_t n = 0;
    TleArray work;
    // One walk in ascending key order under one read hold: the keys, the
    // columns and the total agree, and no key is looked up twice.
    tlestore().forEachKeyedInOrder([&](int64_t key, const Tlerecord& rec) {
      if (n < cap) {
        satKeys[n] = key;
        if (nElems > 0) {
          tle2arrayvalues(rec, work);
          for (size_t j = 0; j < static_cast<size_t>(nElems); ++j)
            columns[j * cap + n] = work[static_cast<size_t>(elems[j] - 1)];
        }
      }
      ++n;
    });
    if (total != nullptr) *total = static_cast<int32_t>(n);
    return static_cast<int32_t>(std::min(n, cap));
  });
}

VX_API int32_t TleLoadFileCounts(const char tleFile[512], int32_t* loaded, int32_t* dup, int32_t* bad) {
  LoadCounts counts;
  const int32_t rc = guarded("TleLoadFileCounts", int32_t{2}, [&] {
    HostText<kLineLen> name(tleFile);
    const std::string_view file = trimmed(name.view());
    LongLogLine().text("TleLoadFile: Reading TLEs from file \"").text(file).text("\".").info();
    return readtlesfrfile(file, &counts);
  });
  if (loaded != nullptr) *loaded = counts.loaded;
  if (dup != nullptr) *dup = counts.dup;
  if (bad != nullptr) *bad = counts.bad;
  return rc;
}

}  // extern "C"
