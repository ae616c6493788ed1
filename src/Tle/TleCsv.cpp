#include "Tle/TleCsv.h"

#include <algorithm>
#include <cstring>

#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleLines.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kCsvNotCsv = "Csv2Lines: csvLine not in proper csv format.";
constexpr std::string_view kCsvBadSatno = "Csv2Lines: newSatno is not valid (must not be greater than 339999).";
constexpr std::string_view kLines2CsvInvalid = "Lines2Csv: Invalid TLE's first line.";
}  // namespace msg

int32_t csv2lines(std::string_view csvLine, int32_t newSatno, char* line1, char* line2) {
  std::memset(line1, ' ', kLineLen);
  std::memset(line2, ' ', kLineLen);
  if (tlecardtype(csvLine) != kCardCsv) {
    tracelogerror(msg::kCsvNotCsv);
    return 1;
  }
  Tlerecord rec;
  int32_t status = csvline2tle(csvLine, rec);
  if (newSatno < 0 || newSatno > 339999) {
    tracelogerror(msg::kCsvBadSatno);
    return 2;
  }
  if (newSatno != 0) rec.satNum = newSatno;
  tle2lines(rec, line1, line2);
  if (isblankornull(std::string_view(line1, kLineLen))) status = 2;
  return status;
}

int32_t lines2csv(std::string_view line1, std::string_view line2, char* csvLine) {
  std::memset(csvLine, ' ', kLineLen);
  const int32_t type = tlecardtype(line1);
  if (type == kCardCsv) {
    std::memcpy(csvLine, line1.data(), std::min(line1.size(), kLineLen));
    return 0;
  }
  if (type != kCardLine1) {
    tracelogerror(msg::kLines2CsvInvalid);
    return 1;
  }
  Tlerecord rec;
  int32_t status = lines2tle(line1, line2, rec);
  if (status == 0) {
    tle2csv(rec, csvLine);
    if (isblankornull(std::string_view(csvLine, kLineLen))) status = 2;
  }
  return status;
}

}  // namespace vx::tle
