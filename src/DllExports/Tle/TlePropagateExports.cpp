// Exported propagation of the TLE library: snapshots of the store's sets for
// the orbit model, and one set at its times.
#include <cstdint>
#include <string_view>

#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Store/StoreMessages.h"
#include "Tle/TlePropagate.h"
#include "Tle/TleTree.h"
#include "veltrix/orbix.h"
#include "veltrix/tle.h"

using namespace vx;
using namespace vx::tle;

namespace {

// The reason the model's choices are refused, or empty.
std::string_view badModel(int32_t g, char m) {
  if (g != 0 && g != ORBIX_GRAV_WGS72 && g != ORBIX_GRAV_WGS84 && g != ORBIX_GRAV_WGS72OLD)
    return "unknown gravity model";
  if (m != 0 && m != 'a' && m != 'i') return "unknown operation mode";
  return {};
}

// Logs the reason under routine, if there is one; true when there was.
bool refused(std::string_view routine, std::string_view why) {
  if (why.empty()) return false;
  LogLine().text(routine).text(": ").text(why, true).error();
  return true;
}

OrbixSnapshot* snapshotOf(const SnapshotInput& in, int32_t gravModel, char opsMode) {
  int32_t st = VX_FAIL;
  return OrbixSnapshotFromElementsCodes(in.elements.data(), in.ids.data(), in.codes.data(),
                                        static_cast<int32_t>(in.ids.size()), gravModel, opsMode, &st);
}

}  // namespace

extern "C" {

VX_API OrbixSnapshot* TleSnapshot(const int64_t* satKeys, int32_t count, int32_t gravModel, char opsMode,
                                  int32_t* status) {
  constexpr std::string_view kName = "TleSnapshot";
  if (status != nullptr) *status = VX_FAIL;
  return guarded(kName, static_cast<OrbixSnapshot*>(nullptr), [&]() -> OrbixSnapshot* {
    if (refused(kName, satKeys != nullptr && count < 0 ? "negative count" : badModel(gravModel, opsMode)))
      return nullptr;
    SnapshotInput in;
    if (satKeys == nullptr)
      gatherStore(in);
    else
      gatherKeys(kName, satKeys, count, in);
    OrbixSnapshot* snap = snapshotOf(in, gravModel, opsMode);
    if (snap != nullptr && status != nullptr) *status = in.misses == 0 ? VX_OK : VX_FAIL;
    return snap;
  });
}

VX_API int32_t TlePropagateSat(int64_t satKey, const double* times, int32_t timeCount, int32_t timeMode,
                               int32_t gravModel, char opsMode, double* pos, double* vel, int32_t* errors) {
  constexpr std::string_view kName = "TlePropagateSat";
  return guarded(kName, int32_t{VX_FAIL}, [&]() -> int32_t {
    std::string_view bad = badModel(gravModel, opsMode);
    if (timeCount < 0)
      bad = "negative time count";
    else if (timeCount > 0 && times == nullptr)
      bad = "no times";
    else if (timeCount > 0 && (pos == nullptr || vel == nullptr || errors == nullptr))
      bad = "no result arrays";
    else if (timeMode != ORBIX_TIME_SINCE_EPOCH && timeMode != ORBIX_TIME_DS50)
      bad = "unknown time mode";
    if (refused(kName, bad)) return VX_FAIL;
    SnapshotInput in;
    in.resize(1);
    if (!withtlerecord(satKey, [&](const Tlerecord& rec) { in.put(0, satKey, rec); })) {
      store::msg::logNamingKey("TlePropagateSat: No element set of satKey", satKey);
      return VX_FAIL;
    }
    OrbixSnapshot* snap = snapshotOf(in, gravModel, opsMode);
    if (snap == nullptr) return VX_FAIL;
    const int32_t rc =
        OrbixPropagate(snap, 0, 1, times, timeCount, timeMode, ORBIX_LAYOUT_OUTER, pos, vel, errors);
    OrbixSnapshotFree(snap);
    return rc;
  });
}

}  // extern "C"
