// Fuzz target of the CSV parser: any line parses without harm, and a CSV
// line written from a parsed record parses back to exactly the same values.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"

using namespace vx::tle;

namespace {

void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "round trip broke: %s\n", what);
    std::abort();
  }
}

// A text value the writer puts out as it stands reads back the same only
// when it holds none of the list separators, quotes or the slash.
bool plain(std::string_view t) { return t.find_first_of(",/ '\"") == std::string_view::npos; }

// Equal values, NaN equal to NaN.
bool same(double a, double b) { return a == b || (a != a && b != b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 700) return 0;
  std::string line(reinterpret_cast<const char*>(data), size);
  line.resize(kLineLen, ' ');
  Tlerecord rec;
  if (csvline2tle(line, rec) != 0) return 0;
  char out[kLineLen];
  tle2csv(rec, out);
  const auto& ext = *rec.csvExt;
  if ((rec.secClass != ' ' && !plain({&rec.secClass, 1})) ||
      !plain(vx::rtrimmed({ext.satNameLong.data(), ext.satNameLong.size()})) ||
      !plain(vx::rtrimmed({ext.csvText.data(), ext.csvText.size()})))
    return 0;
  Tlerecord again;
  // Text values with blanks or separators inside do not survive the
  // writer's squeezing; everything numeric does.
  if (csvline2tle({out, kLineLen}, again) != 0) return 0;
  require(again.satNum == rec.satNum && again.epochYr == rec.epochYr && again.ephType == rec.ephType, "integers");
  require(again.elsetNum == rec.elsetNum && again.revNum == rec.revNum, "counters");
  require(same(again.epochDays, rec.epochDays) && same(again.incli, rec.incli) && same(again.raNode, rec.raNode),
          "epoch and angles");
  require(same(again.eccen, rec.eccen) && same(again.mnMotion, rec.mnMotion) && same(again.bStar, rec.bStar),
          "elements");
  require(same(again.csvExt->csvVal5, rec.csvExt->csvVal5) && again.csvExt->csvNum == rec.csvExt->csvNum,
          "extension");
  return 0;
}
