// The CSV form of element sets beside the two-line form: conversions of a
// CSV line to two lines and back.
#pragma once

#include <cstdint>
#include <string_view>

namespace vx::tle {

// CSV line (512) to two lines (512 each); newSatno 0 keeps the satellite
// number, 1..339999 replaces it. Status 0, 1 (not a CSV line) or 2.
int32_t csv2lines(std::string_view csvLine, int32_t newSatno, char* line1, char* line2);
// Two lines to one CSV line (512); status 0, 1 (line 1 is neither a TLE
// line 1 nor a CSV line) or 2.
int32_t lines2csv(std::string_view line1, std::string_view line2, char* csvLine);

}  // namespace vx::tle
