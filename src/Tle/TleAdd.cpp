#include "Tle/TleAdd.h"

#include <cstring>

#include "Platform/kernix/core/Columns.h"
#include "Platform/kernix/core/Text.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kAddInvalidLine1 = "AddSatFrLines: Invalid TLE's first line.";
// A line cut short, refused on the add path in the file reader's words.
constexpr ShortLineHeads kAddShort{"AddSatFrLines: Line1 ends before column 61 '",
                                   "AddSatFrLines: Line2 ends before column 63 '"};
}  // namespace msg

namespace {

// The last columns the pair's last fields need: the third coefficient's
// exponent of line 1, the mean motion of line 2. The fields after them (the
// ephemeris type, the element set number, the revolution number) may be
// missing, as a blank field reads 0.
constexpr size_t kLine1MinCols = 61;
constexpr size_t kLine2MinCols = 63;

// Whether line holds something other than blanks at column col or after it.
// Looks from col on, so a line of full length answers at its first columns
// there instead of after a walk back over the blank padding.
bool reachesCol(std::string_view line, size_t col) {
  for (size_t i = col - 1; i < line.size(); ++i)
    if (line[i] != ' ' && line[i] != '\0') return true;
  return false;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

TleAdded store(Tlerecord& rec) {
  TleAdded out;
  out.parsed = true;
  out.key = addtletomemparsed(rec);
  return out;
}

}  // namespace

bool tleline1usable(std::string_view line1) {
  const int32_t satNum = line1keycheck(line1);
  if (satNum == -1) return false;
  // The key maker would refuse a satellite number out of its range or an
  // epoch it cannot read (blanks read as zeros, every column but the point a
  // digit). It is left to name the reason: it makes no key then.
  char epoch[14];
  std::memset(epoch, ' ', sizeof epoch);
  const std::string_view cols = colText(line1, line1::kEpochText);
  std::memcpy(epoch, cols.data(), cols.size());
  blanktozerochar(epoch, sizeof epoch);
  bool readable = satNum >= 0 && satNum <= kKeyMaxSatNum;
  for (size_t i = 0; i < sizeof epoch && readable; ++i)
    readable = i == line1::kEpochPoint - line1::kEpochText.first || isDigit(epoch[i]);
  if (readable) return true;
  createsatkey(satNum, 0, std::string_view(epoch, sizeof epoch), 0.0);
  return false;
}

bool readtlefrpair(std::string_view line1, std::string_view line2, const ShortLineHeads& heads, Tlerecord& rec) {
  // A line cut short would still parse, its last field read from the digits
  // that are left: refused instead.
  if (tlecardtype(line2) == kCardLine2) {
    const bool short1 = !reachesCol(line1, kLine1MinCols);
    if (short1 || !reachesCol(line2, kLine2MinCols)) {
      LongLogLine()
          .text(short1 ? heads.line1 : heads.line2)
          .text(rtrimmed(short1 ? line1 : line2))
          .text("'.")
          .error();
      return false;
    }
  }
  return parsetlepair(line1, line2, rec) == 0;
}

int32_t readtlefrcsv(std::string_view line, Tlerecord& rec) {
  if (csvline2tle(line, rec) != 0) return 2;
  return validatetlevalues(rec) != 0 ? 1 : 0;
}

TleAdded addtlefrpair(std::string_view line1, std::string_view line2, const ShortLineHeads& heads,
                      std::string_view name) {
  Tlerecord rec;
  if (!readtlefrpair(line1, line2, heads, rec)) return {};
  // A name line the checks would refuse (a control character) is dropped
  // rather than the set.
  if (firstcontrolchar(name) == std::string_view::npos) rec.setObjectName(name);
  return store(rec);
}

TleAdded addtlefrcsv(std::string_view line) {
  Tlerecord rec;
  switch (readtlefrcsv(line, rec)) {
    case 0:
      return store(rec);
    case 1:
      return {-1, true};
    default:
      return {};
  }
}

int64_t addtlefrlines(std::string_view line1, std::string_view line2) {
  switch (tlecardtype(line1)) {
    case kCardCsv:
      return addtlefrcsv(line1).key;
    case kCardLine1:
      if (!tleline1usable(line1)) return -1;
      return addtlefrpair(line1, line2, msg::kAddShort).key;
    default:
      tracelogerror(msg::kAddInvalidLine1);
      return -1;
  }
}

}  // namespace vx::tle
