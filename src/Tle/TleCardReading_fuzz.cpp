// Fuzz target of the two-line parser and its CSV branch: any two lines
// parse without harm, and a pair that parses writes lines that parse back to
// the same element set (within the written precision).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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

bool near(double a, double b, double tol) { return std::fabs(a - b) <= tol * (1.0 + std::fabs(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1200) return 0;
  // The input is line 1, a newline, line 2; each is used as a 512-character
  // blank-padded line, as the library's callers hand them over.
  const std::string in(reinterpret_cast<const char*>(data), size);
  const size_t nl = in.find('\n');
  std::string l1 = in.substr(0, nl), l2 = nl == std::string::npos ? "" : in.substr(nl + 1);
  l1.resize(kLineLen, ' ');
  l2.resize(kLineLen, ' ');

  Tlerecord rec;
  const int32_t status = lines2tle(l1, l2, rec);
  (void)line1tosatkey(l1);
  char csv[kLineLen];
  tle2csv(rec, csv);
  if (status != 0 || tlecardtype(l1) == kCardCsv) return 0;

  // A valid element set written back reads back the same.
  char o1[kLineLen], o2[kLineLen];
  tle2lines(rec, o1, o2);
  // Values the line form cannot carry: a mean motion of 100 or more or below
  // half its last written decimal, a first coefficient of one or more.
  if (rec.mnMotion >= 100 || rec.mnMotion < 5e-9 || std::fabs(rec.nDotO2) >= 1 || std::fabs(rec.auxCoef2) >= 1)
    return 0;
  Tlerecord again;
  require(lines2tle({o1, kLineLen}, {o2, kLineLen}, again) == 0, "written lines parse");
  require(again.satNum == rec.satNum && again.elsetNum == rec.elsetNum && again.revNum == rec.revNum, "integers");
  require(again.ephType == rec.ephType && again.secClass == rec.secClass, "type and class");
  require(near(again.incli, rec.incli, 1e-4) && near(again.eccen, rec.eccen, 1e-7), "elements");
  require(near(again.mnMotion, rec.mnMotion, 1e-8), "mean motion");
  return 0;
}
