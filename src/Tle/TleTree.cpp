// The TLE store's named operations, over the generic keyed store.
#include "Tle/TleTree.h"

#include <cstring>

#include "Services/kernix.h"
#include "Store/FileLoad.h"
#include "Tle/TleFaithful.h"

namespace vx::tle {

TleStore& tlestore() {
  static TleStore store;
  return store;
}

int64_t addtletomem(Tlerecord& rec, Tlebintree** node) { return tlestore().add(rec, node); }
int64_t addtletomemtaking(Tlerecord& rec) { return tlestore().addTaking(rec); }
int64_t addtletomemparsed(Tlerecord& rec) { return tlestore().addTakingChecked(rec); }
int32_t tleaddnode(Tlebintree* node) { return tlestore().addNode(node); }
int32_t tleremovenode(int64_t satKey) { return tlestore().remove(satKey); }
int32_t tleupdaterec(int64_t satKey, const Tlerecord& rec) { return tlestore().update(satKey, rec); }
int32_t tlefindrec(int64_t satKey, Tlerecord& rec, char* msg) { return tlestore().findRec(satKey, rec, msg); }
const Tlerecord* tlefindrecptr(int64_t satKey, char* msg) { return tlestore().findRecPtr(satKey, msg); }
int64_t tlesatkeyget(int32_t satNum) { return tlestore().satKeyGet(satNum); }
bool tletreeisempty() { return tlestore().isEmpty(); }
int32_t tlegetnumoftreenodes() { return tlestore().count(); }
void tlegettreekeys(int32_t& count, int64_t* keys, int32_t order) { tlestore().getTreeKeys(count, keys, order); }
void tleemptytree(int32_t& err) { tlestore().emptyTree(err); }
void tlebeginread() { tlestore().beginRead(); }
void tleendread() { tlestore().endRead(); }

WriteReport tlewritelines(int32_t unit, int32_t form) {
  char a[kLineLen], b[kLineLen];
  return store::writeAllLines(tlestore(), unit, "TleWriteLines: Element set ", [&](const Tlerecord& rec, auto&& write) {
    if (form != 0) {
      tle2csv(rec, a);
      const std::string_view why = tlecsvloss(rec, a);
      if (why.empty()) write(rtrimmed(std::string_view(a, kLineLen)));
      return why;
    }
    tle2lines(rec, a, b);
    const std::string_view why = tlelinesloss(rec, a, b);
    if (why.empty()) {
      write(rtrimmed(std::string_view(a, 80)));
      write(rtrimmed(std::string_view(b, 80)));
    }
    return why;
  });
}

}  // namespace vx::tle
