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

namespace {
// The key mode and duplicate switch in force, for one add.
store::AddPolicy addpolicy() { return {effectivekeymode(), dupkeymodeget()}; }
}  // namespace

int64_t addtletomem(Tlerecord& rec, Tlebintree** node) { return tlestore().add(rec, addpolicy(), node); }
int64_t addtletomemtaking(Tlerecord& rec) { return tlestore().addTaking(rec, addpolicy()); }
int64_t addtletomemparsed(Tlerecord& rec) { return tlestore().addTakingChecked(rec, addpolicy()); }

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
