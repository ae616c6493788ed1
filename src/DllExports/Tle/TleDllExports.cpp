// Exported functions of the TLE library: each converts its arguments, calls
// one routine and converts the results back.
#include <cstring>
#include <string>

#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Store/StoreListing.h"
#include "Tle/OmmSave.h"
#include "Tle/TleAdd.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleCsv.h"
#include "Tle/TleFields.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

using namespace vx;
using namespace vx::tle;

namespace {

constexpr std::string_view kGetLinesMissingHead = "TleGetLines: Unable to locate satKey ";
constexpr std::string_view kGetCsvMissingHead = "TleGetCsv: Unable to locate satKey ";
constexpr std::string_view kMissingTail = " in the TLE binary tree.";
constexpr std::string_view kGetLoadedEmpty = "Warning-TleGetLoaded: The binary tree is empty. No satKey returns.";

// The file name of a host array: left-adjusted, without trailing blanks.
std::string_view fileName(const HostText<kLineLen>& name) { return trimmed(name.view()); }

}  // namespace

extern "C" {

// ---- Lifecycle -------------------------------------------------------------

VX_API int32_t TleInit(void) { return 0; }

VX_API void TleGetInfo(char infoStr[128]) {
  guardedvoid("TleGetInfo", [&] { getsoftwareinfo("Tle", infoStr, 128); });
}

VX_API int32_t GetTleKeyMode(void) { return 0; }
VX_API int32_t SetTleKeyMode(void) { return 0; }

// ---- Adding ------------------------------------------------------------------

VX_API int64_t TleAddSatFrLines(const char line1[512], const char line2[512]) {
  return guarded("TleAddSatFrLines", int64_t{-1}, [&] {
    HostText<kLineLen> l1(line1), l2(line2);
    return addtlefrlines(l1.view(), l2.view());
  });
}

VX_API void TleAddSatFrLinesML(const char line1[512], const char line2[512], int64_t* satKey) {
  const int64_t key = TleAddSatFrLines(line1, line2);
  if (satKey) *satKey = key;
}

VX_API int64_t TleAddSatFrCsv(const char csvLine[512]) {
  return guarded("TleAddSatFrCsv", int64_t{-1}, [&] {
    HostText<kLineLen> l1(csvLine);
    const char blanks[kLineLen] = {};
    HostText<kLineLen> l2(blanks);
    return addtlefrlines(l1.view(), l2.view());
  });
}

VX_API void TleAddSatFrCsvML(const char csvLine[512], int64_t* satKey) {
  const int64_t key = TleAddSatFrCsv(csvLine);
  if (satKey) *satKey = key;
}

// ---- Keys, counts, lists --------------------------------------------------------

VX_API int64_t TleGetSatKey(int32_t satNum) {
  return guarded("TleGetSatKey", int64_t{-1}, [&] { return getsatkey(satNum); });
}

VX_API void TleGetSatKeyML(int32_t satNum, int64_t* satKey) {
  const int64_t key = TleGetSatKey(satNum);
  if (satKey) *satKey = key;
}

VX_API int64_t TleGetLatestSatKey(int32_t satNum) {
  return guarded("TleGetLatestSatKey", int64_t{-1}, [&] { return getlatestsatkey(satNum); });
}

VX_API int64_t TleFieldsToSatKey(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType) {
  return guarded("TleFieldsToSatKey", int64_t{-1},
                 [&] { return tlefields2satkey(satNum, epochYr, epochDays, ephType); });
}

VX_API void TleFieldsToSatKeyML(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType,
                                int64_t* satKey) {
  const int64_t key = TleFieldsToSatKey(satNum, epochYr, epochDays, ephType);
  if (satKey) *satKey = key;
}

VX_API int32_t TleGetCount(void) {
  return guarded("TleGetCount", int32_t{0}, [] { return tlestore().count(); });
}

VX_API void TleGetLoaded(int32_t order, int64_t* satKeys) {
  guardedvoid("TleGetLoaded", [&] { store::getloaded(tlestore(), kGetLoadedEmpty, order, satKeys); });
}

VX_API int32_t TleGetLoadedN(int32_t order, int32_t capacity, int64_t* satKeys, int32_t* total) {
  return guarded("TleGetLoadedN", int32_t{-1},
                 [&] { return store::getloadedn(tlestore(), "TleGetLoadedN", order, capacity, satKeys, total); });
}

// ---- Fetching ------------------------------------------------------------------------

VX_API int32_t TleGetLines(int64_t satKey, char line1[512], char line2[512]) {
  return guarded("TleGetLines", int32_t{2}, [&] {
    return store::getlines(tlestore(), kGetLinesMissingHead, kMissingTail, satKey, line1, line2,
                           [](const Tlerecord& rec, char* l1, char* l2) { tle2lines(rec, l1, l2); });
  });
}

VX_API int32_t TleGetCsv(int64_t satKey, char csvLine[512]) {
  return guarded("TleGetCsv", int32_t{2}, [&] {
    strtochararr({}, csvLine, kLineLen);
    char csv[kLineLen];
    const bool found = withtlerecord(satKey, [&](const Tlerecord& rec) { tle2csv(rec, csv); });
    if (!found) {
      tracelognumbered(kGetCsvMissingHead, satKey, 19, kMissingTail);
      return int32_t{2};
    }
    if (isblankornull(std::string_view(csv, kLineLen))) return int32_t{2};
    strtochararr({csv, kLineLen}, csvLine, kLineLen);
    return int32_t{0};
  });
}

// ---- Removing ------------------------------------------------------------------------

VX_API int32_t TleRemoveSat(int64_t satKey) {
  return guarded("TleRemoveSat", int32_t{2}, [&] { return tlestore().remove(satKey); });
}

VX_API int32_t TleRemoveAllSats(void) {
  return guarded("TleRemoveAllSats", int32_t{2}, [] {
    int32_t err = 0;
    tlestore().emptyTree(err);
    return err;
  });
}

// ---- Files ------------------------------------------------------------------------------

VX_API int32_t TleLoadFile(const char tleFile[512]) {
  return guarded("TleLoadFile", int32_t{2}, [&] {
    HostText<kLineLen> name(tleFile);
    const std::string_view file = fileName(name);
    LongLogLine().text("TleLoadFile: Reading TLEs from file \"").text(file).text("\".").info();
    return readtlesfrfile(file);
  });
}

VX_API int32_t TleLoadFileEach(const char tleFile[512], TleLoadFn fn, void* user) {
  return guarded("TleLoadFileEach", int32_t{2}, [&] {
    HostText<kLineLen> name(tleFile);
    const std::string_view file = fileName(name);
    LongLogLine().text("TleLoadFile: Reading TLEs from file \"").text(file).text("\".").info();
    const store::HostSetReport<TleLoadFn> host{fn, user};
    return readtlesfrfile(file, nullptr, host.reporter());
  });
}

VX_API int32_t TleSaveFile(const char tleFile[512], int32_t saveMode, int32_t saveForm) {
  return guarded("TleSaveFile", int32_t{2}, [&] {
    HostText<kLineLen> name(tleFile);
    return savetlefile(fileName(name), saveMode, saveForm == 0 ? kFormLines : kFormCsv);
  });
}

VX_API int32_t TleSaveFileAs(const char tleFile[512], int32_t saveMode, int32_t saveForm) {
  return guarded("TleSaveFileAs", int32_t{2}, [&] {
    if (!isSaveForm(saveForm)) {
      tracelognumbered("TleSaveFileAs: Invalid save form ", saveForm, 1, " (valid=0-6).");
      return int32_t{2};
    }
    HostText<kLineLen> name(tleFile);
    return savetlefile(fileName(name), saveMode, saveForm);
  });
}

// ---- Stateless text conversions ----------------------------------------------------

VX_API void GetCheckSums(const char line1[512], const char line2[512], int32_t* chkSum1, int32_t* chkSum2,
                         int32_t* errCode) {
  guardedvoid("GetCheckSums", [&] {
    int32_t s1 = 0, s2 = 0, err = 0;
    HostText<kLineLen> l1(line1);
    cksum(l1.view(), kChecksummed.first, kChecksummed.last, s1, err);
    if (err == 0) {
      HostText<kLineLen> l2(line2);
      cksum(l2.view(), kChecksummed.first, kChecksummed.last, s2, err);
    }
    if (chkSum1) *chkSum1 = s1;
    if (chkSum2) *chkSum2 = s2;
    if (errCode) *errCode = err;
  });
}

VX_API int32_t TleCsvToLines(const char csvLine[512], int32_t newSatno, char line1[512], char line2[512]) {
  return guarded("TleCsvToLines", int32_t{2}, [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    HostText<kLineLen> csv(csvLine);
    char o1[kLineLen], o2[kLineLen];
    const int32_t status = csv2lines(csv.view(), newSatno, o1, o2);
    if (status == 0) {
      strtochararr({o1, kLineLen}, line1, kLineLen);
      strtochararr({o2, kLineLen}, line2, kLineLen);
    }
    return status;
  });
}

VX_API int32_t TleLinesToCsv(const char line1[512], const char line2[512], char csvLine[512]) {
  return guarded("TleLinesToCsv", int32_t{2}, [&] {
    strtochararr({}, csvLine, kLineLen);
    HostText<kLineLen> l1(line1), l2(line2);
    char csv[kLineLen];
    const int32_t status = lines2csv(l1.view(), l2.view(), csv);
    if (status == 0) strtochararr({csv, kLineLen}, csvLine, kLineLen);
    return status;
  });
}

}  // extern "C"
