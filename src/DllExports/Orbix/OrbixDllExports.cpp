// The exported functions of orbix: argument checks, then the snapshot.
#include "veltrix/orbix.h"

#include <cstdint>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "Platform/orbix/Snapshot.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"

struct OrbixSnapshot {
  vx::orbix::Snapshot snap;
};

namespace {

namespace orb = vx::orbix;

constexpr size_t kMsgLen = 128;

void logFail(std::string_view routine, std::string_view what) {
  vx::LogLine().text(routine).text(": ").text(what, true).error();
}

bool gravOf(int32_t model, orb::GravConst& g) {
  switch (model) {
    case 0:
    case ORBIX_GRAV_WGS72: g = orb::GravConst::wgs72(); return true;
    case ORBIX_GRAV_WGS84: g = orb::GravConst::wgs84(); return true;
    case ORBIX_GRAV_WGS72OLD: g = orb::GravConst::wgs72old(); return true;
    default: return false;
  }
}

// The reason a propagation's arguments are refused, or empty.
std::string_view badPropagate(const OrbixSnapshot* snap, int32_t first, int32_t count, const double* times,
                              int32_t timeCount, int32_t timeMode, int32_t layout, const double* pos,
                              const double* vel, const int32_t* errors) {
  if (snap == nullptr) return "no snapshot";
  if (first < 0 || count < 0 || timeCount < 0) return "negative first, count or time count";
  if (static_cast<int64_t>(first) + count > static_cast<int64_t>(snap->snap.size()))
    return "set range outside the snapshot";
  if (timeMode != ORBIX_TIME_SINCE_EPOCH && timeMode != ORBIX_TIME_DS50) return "unknown time mode";
  if (layout != ORBIX_LAYOUT_OUTER && layout != ORBIX_LAYOUT_ZIPPED) return "unknown layout";
  if (layout == ORBIX_LAYOUT_ZIPPED && count != timeCount) return "zipped layout needs as many times as sets";
  if (timeCount > 0 && times == nullptr) return "no times";
  if (count > 0 && timeCount > 0 && (pos == nullptr || vel == nullptr || errors == nullptr))
    return "no result arrays";
  return {};
}

// A snapshot of count sets of element values, with ids and codes (either
// may be NULL); an entry whose code is nonzero is failed with that code and
// its element values are not read.
OrbixSnapshot* makeSnapshot(std::string_view name, const double* elements, const int64_t* ids,
                            const int32_t* codes, int32_t count, int32_t gravModel, char opsMode,
                            int32_t* status) {
  if (status != nullptr) *status = VX_FAIL;
  return vx::guarded(name, static_cast<OrbixSnapshot*>(nullptr), [&]() -> OrbixSnapshot* {
    orb::GravConst grav{};
    std::string_view bad;
    if (opsMode == 0) opsMode = 'i';
    if (count < 0)
      bad = "negative count";
    else if (count > 0 && elements == nullptr)
      bad = "no element values";
    else if (!gravOf(gravModel, grav))
      bad = "unknown gravity model";
    else if (opsMode != 'a' && opsMode != 'i')
      bad = "unknown operation mode";
    if (!bad.empty()) {
      logFail(name, bad);
      return nullptr;
    }
    const auto n = static_cast<size_t>(count);
    std::vector<orb::MeanElements> els(n);
    for (size_t i = 0; i < n; ++i)
      if (codes == nullptr || codes[i] == 0) els[i] = orb::gpToMeanElements(elements + i * orb::kGpValueCount);
    const std::span<const int64_t> idSpan = ids == nullptr ? std::span<const int64_t>() : std::span(ids, n);
    const std::span<const int32_t> codeSpan = codes == nullptr ? std::span<const int32_t>() : std::span(codes, n);
    auto* snap = new OrbixSnapshot{orb::Snapshot(
        els, grav, opsMode == 'a' ? orb::OpsMode::afspc : orb::OpsMode::improved, idSpan, codeSpan)};
    if (status != nullptr) *status = VX_OK;
    return snap;
  });
}

}  // namespace

extern "C" {

VX_API OrbixSnapshot* OrbixSnapshotFromElements(const double* elements, int32_t count, int32_t gravModel,
                                                char opsMode, int32_t* status) {
  return makeSnapshot("OrbixSnapshotFromElements", elements, nullptr, nullptr, count, gravModel, opsMode, status);
}

VX_API OrbixSnapshot* OrbixSnapshotFromElementsIds(const double* elements, const int64_t* ids, int32_t count,
                                                   int32_t gravModel, char opsMode, int32_t* status) {
  return makeSnapshot("OrbixSnapshotFromElementsIds", elements, ids, nullptr, count, gravModel, opsMode, status);
}

VX_API OrbixSnapshot* OrbixSnapshotFromElementsCodes(const double* elements, const int64_t* ids,
                                                     const int32_t* codes, int32_t count, int32_t gravModel,
                                                     char opsMode, int32_t* status) {
  return makeSnapshot("OrbixSnapshotFromElementsCodes", elements, ids, codes, count, gravModel, opsMode, status);
}

VX_API int32_t OrbixSnapshotGetIds(const OrbixSnapshot* snap, int32_t first, int32_t count, int64_t* ids) {
  constexpr std::string_view kName = "OrbixSnapshotGetIds";
  return vx::guarded(kName, int32_t{VX_FAIL}, [&]() -> int32_t {
    std::string_view bad;
    if (snap == nullptr)
      bad = "no snapshot";
    else if (first < 0 || count < 0)
      bad = "negative first or count";
    else if (static_cast<int64_t>(first) + count > static_cast<int64_t>(snap->snap.size()))
      bad = "set range outside the snapshot";
    else if (count > 0 && ids == nullptr)
      bad = "no id array";
    if (!bad.empty()) {
      logFail(kName, bad);
      return VX_FAIL;
    }
    for (int32_t i = 0; i < count; ++i) ids[i] = snap->snap.id(static_cast<size_t>(first + i));
    return VX_OK;
  });
}

VX_API void OrbixSnapshotFree(OrbixSnapshot* snap) { delete snap; }

VX_API int32_t OrbixSnapshotCount(const OrbixSnapshot* snap) {
  return snap == nullptr ? 0 : static_cast<int32_t>(snap->snap.size());
}

VX_API int32_t OrbixSnapshotInitError(const OrbixSnapshot* snap, int32_t index) {
  if (snap == nullptr || index < 0 || static_cast<size_t>(index) >= snap->snap.size()) {
    logFail("OrbixSnapshotInitError", snap == nullptr ? "no snapshot" : "index outside the snapshot");
    return -1;
  }
  return snap->snap.initError(static_cast<size_t>(index));
}

VX_API int32_t OrbixPropagate(const OrbixSnapshot* snap, int32_t first, int32_t count, const double* times,
                              int32_t timeCount, int32_t timeMode, int32_t layout, double* pos, double* vel,
                              int32_t* errors) {
  constexpr std::string_view kName = "OrbixPropagate";
  return vx::guarded(kName, int32_t{VX_FAIL}, [&]() -> int32_t {
    const std::string_view bad =
        badPropagate(snap, first, count, times, timeCount, timeMode, layout, pos, vel, errors);
    if (!bad.empty()) {
      logFail(kName, bad);
      return VX_FAIL;
    }
    if (count == 0 || timeCount == 0) return VX_OK;
    snap->snap.propagate(static_cast<size_t>(first), static_cast<size_t>(count),
                         std::span<const double>(times, static_cast<size_t>(timeCount)),
                         static_cast<orb::TimeMode>(timeMode), static_cast<orb::Layout>(layout), pos, vel, errors);
    return VX_OK;
  });
}

VX_API void OrbixGetMessage(int32_t code, char msg[128]) {
  vx::guardedvoid("OrbixGetMessage", [&] { vx::strtochararr(orb::sgp4message(code), msg, kMsgLen); });
}

}  // extern "C"
