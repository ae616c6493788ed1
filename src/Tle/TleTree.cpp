// The TLE store's named operations, over the generic keyed store.
#include "Tle/TleTree.h"

#include <cstring>

#include "Services/kernix.h"
#include "Store/FileLoad.h"

namespace vx::tle {

TleStore& tlestore() {
  static TleStore store;
  return store;
}

namespace {
// The key mode and duplicate switch in force, for one add.
store::AddPolicy addpolicy() { return {effectivekeymode(), dupkeymodeget()}; }
}  // namespace

int64_t addtletomem(Tlerecord& rec, Tlebintree** node) { return tlestore().add(rec, addpolicy(), node); }
int64_t addtletomemtaking(Tlerecord& rec) { return tlestore().addTaking(rec, addpolicy()); }
int64_t addtletomemparsed(Tlerecord& rec) { return tlestore().addTakingChecked(rec, addpolicy()); }

}  // namespace vx::tle
