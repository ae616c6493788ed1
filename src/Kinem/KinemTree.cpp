// The state-vector store's named operations, over the generic keyed store.
#include "Kinem/KinemTree.h"

#include "Services/kernix.h"

namespace vx::kinem {

KinemStore& kinemstore() {
  static KinemStore store;
  return store;
}

namespace {
// The key mode and duplicate switch in force, for one add.
store::AddPolicy addpolicy() { return {effectivekeymode(), dupkeymodeget()}; }
}  // namespace

int64_t addkinemtomem(Kinemrecord& rec, Kinembintree** node) { return kinemstore().add(rec, addpolicy(), node); }
int64_t addkinemtomemtaking(Kinemrecord& rec) { return kinemstore().addTaking(rec, addpolicy()); }
int64_t addkinemtomemparsed(Kinemrecord& rec) { return kinemstore().addTakingChecked(rec, addpolicy()); }

}  // namespace vx::kinem
