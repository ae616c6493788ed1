// Exported bulk functions of the TLE library: many element sets as arrays in
// one call, and a file load that hands back its counts.
#include <algorithm>

#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Store/FileLoad.h"
#include "Tle/TleArray.h"
#include "Tle/TleBulk.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleLines.h"
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
    return dataToArrays(count, satKeys, arrays, found);
  });
}

VX_API int32_t TleGetLoadedColumns(int32_t capacity, int32_t nElems, const int32_t* elems, int64_t* satKeys,
                                   double* columns, int32_t* total) {
  return guarded("TleGetLoadedColumns", int32_t{-1}, [&]() -> int32_t {
    if (total != nullptr) *total = 0;
    const bool badElem = elems != nullptr && !std::all_of(elems, elems + std::max(nElems, 0), isArrayElement);
    if (capacity < 0 || nElems < 0 || badElem || (nElems > 0 && elems == nullptr) ||
        (capacity > 0 && (satKeys == nullptr || (nElems > 0 && columns == nullptr)))) {
      tracelognumbered("TleGetLoadedColumns: Invalid capacity, element list or buffer, capacity ", capacity, 11,
                       ".");
      return -1;
    }
    int32_t loaded = 0;
    const int32_t written = getLoadedColumns(static_cast<size_t>(capacity), static_cast<size_t>(nElems), elems,
                                             satKeys, columns, loaded);
    if (total != nullptr) *total = loaded;
    return written;
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
  store::putCounts(counts, loaded, dup, bad);
  return rc;
}

VX_API int32_t TleLoadFileReport(const char tleFile[512], TleLoadFn fn, void* user, int32_t* loaded, int32_t* dup,
                                 int32_t* bad) {
  LoadCounts counts;
  const int32_t rc = guarded("TleLoadFileReport", int32_t{2}, [&] {
    HostText<kLineLen> name(tleFile);
    const std::string_view file = trimmed(name.view());
    LongLogLine().text("TleLoadFile: Reading TLEs from file \"").text(file).text("\".").info();
    const store::HostSetReport<TleLoadFn> host{fn, user, true};
    return readtlesfrfile(file, &counts, host.reporter());
  });
  store::putCounts(counts, loaded, dup, bad);
  return rc;
}

VX_API int32_t TleParseTextArrays(const char* text, int64_t textLen, int32_t capacity, double* values,
                                  int32_t* lineNums, int32_t* count, int32_t* bad, TleLoadFn fn, void* user) {
  LoadCounts counts;
  const int32_t rc = guarded("TleParseTextArrays", int32_t{2}, [&]() -> int32_t {
    if (textLen < 0 || capacity < 0 || (textLen > 0 && text == nullptr) || (capacity > 0 && values == nullptr)) {
      tracelognumbered("TleParseTextArrays: Invalid text length, capacity or buffer, capacity ", capacity, 11, ".");
      return 2;
    }
    const store::HostSetReport<TleLoadFn> host{fn, user, true};
    return readtlesfrtexttoarrays(std::string_view(text, static_cast<size_t>(textLen)), static_cast<size_t>(capacity),
                                  values, lineNums, counts, host.reporter());
  });
  if (rc != 0) counts = LoadCounts{};
  if (count != nullptr) *count = counts.loaded;
  if (bad != nullptr) *bad = counts.bad;
  return rc;
}

}  // extern "C"
