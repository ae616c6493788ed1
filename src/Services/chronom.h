// What the Veltrix libraries call from the time library chronom.
//
// ds50 is a time in days since 1950 January 0.0 UTC (1950-01-01 00:00 is
// ds50 1.0), a double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#define VX_CHRONOM_SERVICE __attribute__((visibility("default")))

namespace vx {

// Satellite key of one element set: satellite number, element-set type code
// (1, 2, 3, 7 for TLEs, 4 for state vectors) and epoch. The epoch is the
// text when epochText is not empty (the 14-character TLE epoch with blanks
// already turned into "0", or a 17- or 20-character date-time text that
// dtg2ds50utc reads), else epochDs50. Every form passes through the same
// conversion to ds50 before the key is formed, so equal epochs give equal
// keys. Keys order by satellite number, then type code, then epoch, and lie
// at or above kTreeKeyBase (Text.h). -1 when no key can be made (satellite
// number outside 0..999999999, type code outside 0..7, unreadable text,
// epoch outside the years 1950..2149).
VX_CHRONOM_SERVICE int64_t createsatkey(int32_t satNum, int32_t eltType, std::string_view epochText,
                                        double epochDs50);

// ds50 of a (two- or four-digit) year and a fractional day of the year.
VX_CHRONOM_SERVICE double yrdays2ds50(int32_t year, double dayOfYear);
// Inverse of yrdays2ds50: four-digit year and fractional day of year.
VX_CHRONOM_SERVICE void fyklok(double ds50, double& dayOfYear, int32_t& year);

// Two-digit years: 57..99 -> 1957..1999, 0..56 -> 2000..2056; four-digit
// years stay. In place.
VX_CHRONOM_SERVICE void to4digyr(int32_t& year);
// The year as the field reads hand it out: four digits (to4digyr).
VX_CHRONOM_SERVICE void fixyr(int32_t& year);
// True for a leap year (two-digit years are widened first).
VX_CHRONOM_SERVICE bool hleap(int32_t year);

// ds50 of a date-time text; the forms read, blank padded on either side:
//   YYDDDHHMMSS.SSS   YYDDD.DDDDDDDD   YYYY/DDD.DDDDDDDD
//   YYYY/DDD HHMM SS.SSS   YYYYMonDDHHMMSS.SSS
// Two-digit years go through to4digyr. ok (optional) is false and the result
// 0 for text that does not read.
VX_CHRONOM_SERVICE double dtg2ds50utc(std::string_view text, bool* ok = nullptr);
VX_CHRONOM_SERVICE double dtgtods50(std::string_view text, bool* ok = nullptr);
// Writes "YYDDDHHMMSS.SSS" for ds50 into text (textLen characters, the rest
// blank; at least 15), rounded to the millisecond.
VX_CHRONOM_SERVICE void date15(double ds50, char* text, size_t textLen);
// The 15-character date text of ds50 into out15.
VX_CHRONOM_SERVICE void ds50todate15(double ds50, char out15[15]);

}  // namespace vx
