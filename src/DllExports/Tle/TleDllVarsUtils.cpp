#include "DllExports/Tle/TleDllVarsUtils.h"

#include <cstring>
#include <string>

#include "Platform/kernix/core/Format.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kAddInvalidLine1 = "AddSatFrLines: Invalid TLE's first line.";
}  // namespace msg

int64_t addsatfrlines(std::string_view line1, std::string_view line2) {
  Tlerecord rec;
  switch (tlecardtype(line1)) {
    case kCardCsv:
      if (csvline2tle(line1, rec) != 0) return -1;
      return addtletomem(rec);
    case kCardLine1:
      if (line1tosatkey(line1) == -1) return -1;
      if (lines2tle(line1, line2, rec) != 0) return -1;
      return addtletomem(rec);
    default:
      tracelogerror(msg::kAddInvalidLine1);
      return -1;
  }
}

}  // namespace vx::tle
