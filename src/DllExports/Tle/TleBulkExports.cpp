// Exported bulk functions of the TLE library: many element sets as arrays in
// one call, and a file load that hands back its counts.
#include <algorithm>
#include <cstring>
#include <string>

#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Store/FileLoad.h"
#include "Store/StoreMessages.h"
#include "Tle/TleArray.h"
#include "Tle/TleBulk.h"
#include "Tle/TleCardReading.h"
#include "Tle/OmmSave.h"
#include "Tle/TleLines.h"
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
    return dataToArrays(count, satKeys, arrays, found);
  });
}

VX_API int32_t TleGetTextColumns(int32_t count, const int64_t* satKeys, char* designators, char* names,
                                 int32_t nameWidth, int32_t* found, int32_t* longest) {
  if (longest != nullptr) *longest = 0;
  return guarded("TleGetTextColumns", int32_t{-1}, [&]() -> int32_t {
    if (count < 0 || nameWidth < 0 || (count > 0 && satKeys == nullptr) || (names != nullptr && nameWidth == 0)) {
      tracelognumbered("TleGetTextColumns: Invalid count, name width or key buffer, count ", count, 11, ".");
      return -1;
    }
    return textColumns(count, satKeys, designators, names, static_cast<size_t>(nameWidth), found, longest);
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

extern "C" {

VX_API int32_t TleLoadText(const char* text, int64_t textLen, TleLoadFn fn, void* user, int32_t* loaded, int32_t* dup,
                           int32_t* bad) {
  LoadCounts counts;
  const int32_t rc = guarded("TleLoadText", int32_t{2}, [&]() -> int32_t {
    if (textLen < 0 || (textLen > 0 && text == nullptr)) {
      tracelognumbered("TleLoadText: Invalid text or text length ", textLen, 1, ".");
      return 2;
    }
    if (store::LoadingFlag<TleStore>::loading) {
      tracelogerror("TleLoadText: Cannot load while this thread is loading (called from a log callback?)");
      return 2;
    }
    struct Loading {
      Loading() { store::LoadingFlag<TleStore>::loading = true; }
      ~Loading() { store::LoadingFlag<TleStore>::loading = false; }
    } loading;
    const store::HostSetReport<TleLoadFn> host{fn, user, false};
    const int32_t r = readtlesfrtext(std::string_view(text, static_cast<size_t>(textLen)), counts, host.reporter());
    store::logTotals("Total TLEs = ", counts);
    return r;
  });
  store::putCounts(counts, loaded, dup, bad);
  return rc;
}

VX_API int32_t TleWriteText(const int64_t* satKeys, int32_t keyCount, int32_t saveForm, char* out, int64_t outCap,
                            int64_t* outLen) {
  if (outLen != nullptr) *outLen = 0;
  return guarded("TleWriteText", int32_t{2}, [&]() -> int32_t {
    if (!isSaveForm(saveForm) || (satKeys != nullptr && keyCount < 0) || outCap < 0 ||
        (outCap > 0 && out == nullptr)) {
      tracelognumbered("TleWriteText: Invalid form, key count or buffer, form ", saveForm, 1, ".");
      return 2;
    }
    std::string text;
    const int32_t left = tlewritetext(satKeys, satKeys == nullptr ? 0 : static_cast<size_t>(keyCount), saveForm,
                                      text, "TleWriteText");
    if (outLen != nullptr) *outLen = static_cast<int64_t>(text.size());
    if (out == nullptr) return left == 0 ? 0 : 2;
    if (static_cast<uint64_t>(outCap) < text.size()) {
      LogLine()
          .text("TleWriteText: The text needs ")
          .num(static_cast<int64_t>(text.size()))
          .text(" bytes; the buffer holds ")
          .num(outCap)
          .text(".")
          .error();
      return 2;
    }
    std::memcpy(out, text.data(), text.size());
    return left == 0 ? 0 : 2;
  });
}

VX_API int32_t TleGetObjectName(int64_t satKey, char name[256]) {
  return guarded("TleGetObjectName", int32_t{2}, [&]() -> int32_t {
    if (name == nullptr) {
      tracelogerror("TleGetObjectName: No name buffer given.");
      return int32_t{2};
    }
    std::string_view got;
    const bool found = withtlerecord(satKey, [&](const Tlerecord& r) {
      got = r.objectName().substr(0, 256);
      if (!got.empty()) std::memcpy(name, got.data(), got.size());
    });
    if (!found) {
      std::memset(name, ' ', 256);
      store::msg::logNamingKey("TleGetObjectName: No element set of satKey", satKey);
      return 2;
    }
    std::memset(name + got.size(), ' ', 256 - got.size());
    return 0;
  });
}

VX_API int32_t TleSetObjectName(int64_t satKey, const char name[256]) {
  return guarded("TleSetObjectName", int32_t{2}, [&]() -> int32_t {
    if (name == nullptr) {
      tracelogerror("TleSetObjectName: No name given.");
      return int32_t{2};
    }
    HostText<256> text(name);
    const std::string_view n = trimmed(text.view());
    const int32_t rc = tlemodifyrec(satKey, [&](Tlerecord& r) -> int32_t {
      r.setObjectName(n);
      return validatetlevalues(r) == 0 ? 0 : 2;
    });
    if (rc == -1) {
      store::msg::logNamingKey("TleSetObjectName: No element set of satKey", satKey);
      return 2;
    }
    return rc;
  });
}

}  // extern "C"
