// Feeds arbitrary text to TleSetField as the value of one field of a stored
// element set; the first byte picks the field index (-1 to 26), the rest is
// the value. Whatever the set accepts or refuses, the element set must still
// write as two lines that read back, a refused value must leave it as it
// was, and the field must still read.
//
// The element set is added once, from a CSV line so that the CSV-only fields
// are live too, and put back before every input, so that each input stands
// on its own.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

namespace {

constexpr size_t kMaxInput = 600;
constexpr size_t kText = 512;

constexpr std::string_view kSeedCsv =
    "U,41568,1998-067JS,2018,20.44277298,3.4283E-4,0,1.874E-4,0,999,51.6293,344.6959,6.17E-5,270.9238,89.1693,"
    "15.79522238,9385,7,0,0,1.5,-2.5,0,0,1E-3,SEED";

void require(bool cond) {
  if (!cond) __builtin_trap();
}

// Whether the two-line form can carry the values a set may leave: a mean
// motion that writes as more than 0.00000000 and less than 100.00000000 in
// its 11 columns, and a first coefficient that fits in ten. The value checks
// accept more than that; such a set lives on in memory and CSV only.
bool linescancarry(const vx::tle::Tlerecord& r) {
  const double first = r.ephType == 6 ? r.auxCoef2 : r.nDotO2;
  return r.mnMotion >= 1e-8 && r.mnMotion < 99.99999999 && std::fabs(first) < 99999999.0;
}

struct Seed {
  int64_t key = -1;
  vx::tle::Tlerecord rec;
  char l1[kText], l2[kText];
};

const Seed& seed() {
  static const Seed s = [] {
    Seed out;
    char csv[kText];
    std::memset(csv, ' ', sizeof csv);
    std::memcpy(csv, kSeedCsv.data(), kSeedCsv.size());
    out.key = TleAddSatFrCsv(csv);
    require(out.key > 0);
    require(vx::tle::tlestore().findRec(out.key, out.rec) == 0);
    vx::tle::tle2lines(out.rec, out.l1, out.l2);
    return out;
  }();
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const Seed& s = seed();
  require(vx::tle::tlestore().update(s.key, s.rec) == 0);

  const int32_t idx = static_cast<int32_t>(data[0] % 28) - 1;
  char value[kText];
  std::memset(value, ' ', sizeof value);
  const size_t n = size - 1 < kText ? size - 1 : kText;
  std::memcpy(value, data + 1, n);
  const int32_t status = TleSetField(s.key, idx, value);
  require(status == 0 || status == 2);

  char field[kText];
  require(TleGetField(s.key, idx, field) == 0);

  vx::tle::Tlerecord now;
  require(vx::tle::tlestore().findRec(s.key, now) == 0);
  if (!linescancarry(now)) return 0;
  char l1[kText], l2[kText];
  require(TleGetLines(s.key, l1, l2) == 0);
  // A refused value leaves the stored element set as it was.
  if (status == 2) require(std::memcmp(l1, s.l1, kText) == 0 && std::memcmp(l2, s.l2, kText) == 0);
  // The field functions keep any classification character; the two-line
  // reader takes only a blank, C, S and U, so column 8 is read as "U".
  char& cls = *vx::colPtr(l1, vx::tle::line1::kSecClass);
  if (cls != ' ' && cls != 'C' && cls != 'S' && cls != 'U') cls = 'U';
  vx::tle::Tlerecord back;
  require(vx::tle::lines2tle(std::string_view(l1, kText), std::string_view(l2, kText), back) == 0);
  return 0;
}
