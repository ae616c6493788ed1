// The state-vector store's named operations, over the generic keyed store.
#include "Kinem/KinemTree.h"

namespace vx::kinem {

KinemStore& kinemstore() {
  static KinemStore store;
  return store;
}

int64_t addkinemtomem(Kinemrecord& rec, Kinembintree** node) { return kinemstore().add(rec, node); }
int64_t addkinemtomemtaking(Kinemrecord& rec) { return kinemstore().addTaking(rec); }
int64_t addkinemtomemparsed(Kinemrecord& rec) { return kinemstore().addTakingChecked(rec); }
int32_t kinemaddnode(Kinembintree* node, int64_t* linkedKey) { return kinemstore().addNode(node, linkedKey); }
int32_t kinemremovenode(int64_t satKey) { return kinemstore().remove(satKey); }
int32_t kinemupdaterec(int64_t satKey, const Kinemrecord& rec) { return kinemstore().update(satKey, rec); }
int32_t kinemfindrec(int64_t satKey, Kinemrecord& rec, char* msg) { return kinemstore().findRec(satKey, rec, msg); }
const Kinemrecord* kinemfindrecptr(int64_t satKey, char* msg) { return kinemstore().findRecPtr(satKey, msg); }
int64_t kinemsatkeyget(int32_t satNum) { return kinemstore().satKeyGet(satNum); }
bool kinemtreeisempty() { return kinemstore().isEmpty(); }
int32_t kinemgetnumoftreenodes() { return kinemstore().count(); }
void kinemgettreekeys(int32_t& count, int64_t* keys, int32_t order) { kinemstore().getTreeKeys(count, keys, order); }
void kinememptytree(int32_t& err) { kinemstore().emptyTree(err); }
void kinembeginread() { kinemstore().beginRead(); }
void kinemendread() { kinemstore().endRead(); }

}  // namespace vx::kinem
