#include "Tle/TlePropagate.h"

#include <algorithm>

#include "Services/kernix.h"
#include "Store/FileLoad.h"
#include "Tle/TleBulk.h"
#include "Tle/TleTree.h"

namespace vx::tle {

void SnapshotInput::resize(size_t n) {
  elements.assign(n * kGpValues, 0.0);
  ids.assign(n, 0);
  codes.assign(n, 0);
}

void SnapshotInput::put(size_t i, int64_t satKey, const Tlerecord& rec) {
  ids[i] = satKey;
  if (rec.ephType != 0 && rec.ephType != 2) {
    codes[i] = kNotMeanSetCode;
    return;
  }
  double* e = elements.data() + i * kGpValues;
  e[0] = TleStoreTraits::epochDs50(rec);
  e[1] = rec.mnMotion;
  e[2] = rec.eccen;
  e[3] = rec.incli;
  e[4] = rec.raNode;
  e[5] = rec.argPer;
  e[6] = rec.mnAnomaly;
  e[7] = rec.bStar;
  e[8] = rec.nDotO2;
  e[9] = rec.n2DotO6;
}

void SnapshotInput::miss(size_t i, int64_t satKey) {
  ids[i] = satKey;
  codes[i] = kNoSetCode;
  ++misses;
}

void gatherKeys(std::string_view routine, const int64_t* satKeys, int32_t count, SnapshotInput& in) {
  in.resize(static_cast<size_t>(count));
  (void)eachKey(
      routine, count, satKeys, nullptr, [&](size_t i, const Tlerecord& rec) { in.put(i, satKeys[i], rec); },
      [&](size_t i) { in.miss(i, satKeys[i]); });
}

void gatherStore(SnapshotInput& in) {
  in.resize(0);
  TleStore& store = tlestore();
  int64_t after = TleStore::kBeforeFirstKey;
  for (bool done = false; !done;) {
    // The walk holds the store: nothing may reach a log callback meanwhile.
    vx::LogDeferral quiet;
    const size_t at = in.ids.size();
    in.elements.resize((at + store::kSaveChunkSets) * SnapshotInput::kGpValues, 0.0);
    in.ids.resize(at + store::kSaveChunkSets, 0);
    in.codes.resize(at + store::kSaveChunkSets, 0);
    size_t n = at;
    const auto step = store.forEachKeyedFrom(after, store::kSaveChunkSets, [&](int64_t key, const Tlerecord& rec) {
      in.put(n++, key, rec);
    });
    in.elements.resize(n * SnapshotInput::kGpValues);
    in.ids.resize(n);
    in.codes.resize(n);
    after = step.lastKey;
    done = step.done;
  }
}

}  // namespace vx::tle
