// Exported functions of the state-vector library: each converts its
// arguments, calls one routine and converts the results back.
#include <cstring>
#include <string_view>

#include "Kinem/KinemSatKeys.h"
#include "Kinem/KinemInputFiles.h"
#include "Kinem/KinemLines.h"
#include "Kinem/KinemTree.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Store/StoreListing.h"
#include "veltrix/kinem.h"

using namespace vx;
using namespace vx::kinem;

namespace {

constexpr std::string_view kGetLinesMissingHead = "KinemGetLines: Unable to locate satKey ";
constexpr std::string_view kMissingTail = " in the KINEM binary tree.";
constexpr std::string_view kGetLoadedEmpty = "Warning-KinemGetLoaded: The binary tree is empty. No satKey returns.";

// The file name of a host array: left-adjusted, without trailing blanks.
std::string_view fileName(const HostText<kLineLen>& name) { return trimmed(name.view()); }

}  // namespace

extern "C" {

// ---- Lifecycle -------------------------------------------------------------

VX_API int32_t KinemInit(void) { return 0; }

VX_API void KinemGetInfo(char infoStr[128]) {
  guardedvoid("KinemGetInfo", [&] { getsoftwareinfo("Kinem", infoStr, 128); });
}

// ---- Adding ------------------------------------------------------------------

VX_API int64_t KinemAddSatFrLines(const char line1[512], const char line2[512]) {
  return guarded("KinemAddSatFrLines", int64_t{-1}, [&] {
    HostText<kLineLen> l1(line1), l2(line2);
    return addsatfrlines(l1.view(), l2.view());
  });
}

VX_API void KinemAddSatFrLinesML(const char line1[512], const char line2[512], int64_t* satKey) {
  const int64_t key = KinemAddSatFrLines(line1, line2);
  if (satKey) *satKey = key;
}

// ---- Keys, counts, lists --------------------------------------------------------

VX_API int64_t KinemGetSatKey(int32_t satNum) {
  return guarded("KinemGetSatKey", int64_t{-1}, [&] { return getsatkey(satNum); });
}

VX_API void KinemGetSatKeyML(int32_t satNum, int64_t* satKey) {
  const int64_t key = KinemGetSatKey(satNum);
  if (satKey) *satKey = key;
}

VX_API int64_t KinemGetLatestSatKey(int32_t satNum) {
  return guarded("KinemGetLatestSatKey", int64_t{-1}, [&] { return getlatestsatkey(satNum); });
}

VX_API int64_t KinemFieldsToSatKey(int32_t satNum, const char epochDtg[20]) {
  return guarded("KinemFieldsToSatKey", int64_t{-1}, [&] {
    HostText<kEpochTextLen> epoch(epochDtg);
    return fieldstosatkey(satNum, epoch.view());
  });
}

VX_API void KinemFieldsToSatKeyML(int32_t satNum, const char epochDtg[20], int64_t* satKey) {
  const int64_t key = KinemFieldsToSatKey(satNum, epochDtg);
  if (satKey) *satKey = key;
}

VX_API int32_t KinemGetCount(void) {
  return guarded("KinemGetCount", int32_t{0}, [] { return kinemstore().count(); });
}

VX_API void KinemGetLoaded(int32_t order, int64_t* satKeys) {
  guardedvoid("KinemGetLoaded", [&] { store::getloaded(kinemstore(), kGetLoadedEmpty, order, satKeys); });
}

VX_API int32_t KinemGetLoadedN(int32_t order, int32_t capacity, int64_t* satKeys, int32_t* total) {
  return guarded("KinemGetLoadedN", int32_t{-1},
                 [&] { return store::getloadedn(kinemstore(), "KinemGetLoadedN", order, capacity, satKeys, total); });
}

// ---- Fetching ------------------------------------------------------------------------

VX_API int32_t KinemGetLines(int64_t satKey, char line1[512], char line2[512]) {
  return guarded("KinemGetLines", int32_t{2}, [&] {
    return store::getlines(kinemstore(), kGetLinesMissingHead, kMissingTail, satKey, line1, line2,
                           [](const Kinemrecord& rec, char* l1, char* l2) { kinem2lines(rec, l1, l2); });
  });
}

// ---- Removing ------------------------------------------------------------------------

VX_API int32_t KinemRemoveSat(int64_t satKey) {
  return guarded("KinemRemoveSat", int32_t{2}, [&] { return kinemstore().remove(satKey); });
}

VX_API int32_t KinemRemoveAllSats(void) {
  return guarded("KinemRemoveAllSats", int32_t{2}, [] {
    int32_t err = 0;
    kinemstore().emptyTree(err);
    return err;
  });
}

// ---- Files ------------------------------------------------------------------------------

VX_API int32_t KinemLoadFile(const char kinemFile[512]) {
  return guarded("KinemLoadFile", int32_t{2}, [&] {
    HostText<kLineLen> name(kinemFile);
    const std::string_view file = fileName(name);
    LongLogLine().text("KinemLoadFile: Reading KINEMs from file \"").text(file).text("\".").info();
    return readkinemsfrfile(file);
  });
}

VX_API int32_t KinemLoadFileCounts(const char kinemFile[512], int32_t* loaded, int32_t* dup, int32_t* bad) {
  store::LoadCounts counts;
  const int32_t rc = guarded("KinemLoadFileCounts", int32_t{2}, [&] {
    HostText<kLineLen> name(kinemFile);
    const std::string_view file = fileName(name);
    LongLogLine().text("KinemLoadFile: Reading KINEMs from file \"").text(file).text("\".").info();
    return readkinemsfrfile(file, &counts);
  });
  store::putCounts(counts, loaded, dup, bad);
  return rc;
}

VX_API int32_t KinemLoadFileEach(const char kinemFile[512], KinemLoadFn fn, void* user) {
  return guarded("KinemLoadFileEach", int32_t{2}, [&] {
    HostText<kLineLen> name(kinemFile);
    const std::string_view file = fileName(name);
    LongLogLine().text("KinemLoadFile: Reading KINEMs from file \"").text(file).text("\".").info();
    const store::HostSetReport<KinemLoadFn> host{fn, user};
    return readkinemsfrfile(file, nullptr, host.reporter());
  });
}

VX_API int32_t KinemSaveFile(const char kinemFile[512], int32_t saveMode) {
  return guarded("KinemSaveFile", int32_t{2}, [&] {
    HostText<kLineLen> name(kinemFile);
    return savekinemfile(fileName(name), saveMode);
  });
}

}  // extern "C"
