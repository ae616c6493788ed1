// The TLE store's named operations, over the generic keyed store.
#include "Tle/TleTree.h"

#include <cstring>
#include <vector>

#include "Services/kernix.h"
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
  struct Loss {
    int64_t key;
    std::string_view why;
  };
  std::vector<Loss> losses;
  WriteReport report;
  char a[kLineLen], b[kLineLen];
  auto write = [&](std::string_view text) {
    if (report.ioError == 0) report.ioError = filewriteline(unit, text);
  };
  {
    // The walk holds the store: a line that reached a log callback now could
    // call back into the store and wait for this very hold.
    LogDeferral quiet;
    tlestore().forEachKeyedInOrder([&](int64_t key, const Tlerecord& rec) {
      std::string_view why;
      if (form != 0) {
        tle2csv(rec, a);
        why = tlecsvloss(rec, a);
        if (why.empty()) write(rtrimmed(std::string_view(a, kLineLen)));
      } else {
        tle2lines(rec, a, b);
        why = tlelinesloss(rec, a, b);
        if (why.empty()) {
          write(rtrimmed(std::string_view(a, 80)));
          write(rtrimmed(std::string_view(b, 80)));
        }
      }
      if (!why.empty()) losses.push_back({key, why});
    });
  }
  for (const Loss& l : losses) {
    LogLine().text("TleWriteLines: Element set ").num(l.key, 19).text(" not written: ").text(l.why).error();
  }
  report.notWritten = static_cast<int32_t>(losses.size());
  return report;
}

}  // namespace vx::tle
