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

namespace {
// The key mode and duplicate switch in force, for one add.
store::AddPolicy addpolicy() { return {effectivekeymode(), dupkeymodeget()}; }
}  // namespace

int64_t addtletomem(Tlerecord& rec, Tlebintree** node) { return tlestore().add(rec, addpolicy(), node); }
int64_t addtletomemtaking(Tlerecord& rec) { return tlestore().addTaking(rec, addpolicy()); }

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
