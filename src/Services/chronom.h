// What the Veltrix libraries call from the time library chronom.
//
// ds50 is a time in days since 1950 January 0.0 UTC (1950-01-01 00:00 is
// ds50 1.0), a double.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Platform/kernix/core/Text.h"
#include "veltrix/export.h"

namespace vx {

// Satellite key of one element set: satellite number, element-set type code
// (1, 2, 3, 7 for TLEs, 4 for state vectors) and epoch. The epoch is the
// text when epochText is not empty (the 14-character TLE epoch with blanks
// already turned into "0", or a 17- or 20-character date-time text that
// dtg2ds50utc reads), else epochDs50. Every form passes through the same
// conversion to ds50 before the key is formed, so equal epochs give equal
// keys; a day of the year in the text counts from January 0.0 as in
// yrdays2ds50 (day 0.5 is noon of the last day of the year before), so any
// day the fields can hold has its key. Keys order by satellite number, then
// type code, then epoch, and lie at or above kTreeKeyBase (Text.h). -1, with
// one error line naming the reason, when no key can be made (satellite
// number outside 0..999999999, type code outside 0..7, unreadable text,
// epoch outside the years 1950..2149). The epoch enters the key in 8-second
// steps, so epochs closer than that may share a key; the stores resolve that
// with nextsatkey.
VX_API int64_t createsatkey(int32_t satNum, int32_t eltType, std::string_view epochText, double epochDs50);

// Layout of the keys createsatkey makes:
//   kTreeKeyBase + (satNum * kKeyTypeCodes + eltType) * kKeyEpochSlots + slot,
// the slot being the epoch in 8-second steps from 1949 December 31 0h to the
// end of 2149. Keys thus order by satellite number, then type code, then epoch.
inline constexpr int64_t kKeySlotsPerDay = 10800;
inline constexpr int64_t kKeyEpochDays = 73050;  // ds50 of 2150 January 1 0h
inline constexpr int64_t kKeyEpochSlots = kKeyEpochDays * kKeySlotsPerDay;
inline constexpr int64_t kKeyMaxSatNum = 999999999;
inline constexpr int64_t kKeyTypeCodes = 8;

// The range [lo, hi] that holds every key createsatkey can make for satNum,
// whatever the type code and epoch; false (lo, hi unchanged) for a number
// no key is made for.
inline bool treekeyrange(int32_t satNum, int64_t& lo, int64_t& hi) {
  if (satNum < 0 || satNum > kKeyMaxSatNum) return false;
  lo = kTreeKeyBase + int64_t{satNum} * kKeyTypeCodes * kKeyEpochSlots;
  hi = lo + kKeyTypeCodes * kKeyEpochSlots - 1;
  return true;
}

// The key createsatkey makes for satNum, eltType and an epoch in ds50 (no
// text); -1, silently, when it makes none. Within one number and type the
// key never decreases as the epoch grows.
inline int64_t treekeyat(int32_t satNum, int32_t eltType, double ds50) {
  if (satNum < 0 || satNum > kKeyMaxSatNum || eltType < 0 || eltType >= kKeyTypeCodes) return -1;
  if (!(ds50 >= 0.0 && ds50 < static_cast<double>(kKeyEpochDays))) return -1;
  const int64_t slot = std::llround(ds50 * static_cast<double>(kKeySlotsPerDay));
  if (slot >= kKeyEpochSlots) return -1;
  return kTreeKeyBase + ((int64_t{satNum} * kKeyTypeCodes + eltType) * kKeyEpochSlots + slot);
}

// The part of treekeyrange(satNum) that holds the keys of one type code;
// false (lo, hi unchanged) when no key is made for the pair.
inline bool treekeyrange(int32_t satNum, int32_t eltType, int64_t& lo, int64_t& hi) {
  if (satNum < 0 || satNum > kKeyMaxSatNum || eltType < 0 || eltType >= kKeyTypeCodes) return false;
  lo = kTreeKeyBase + (int64_t{satNum} * kKeyTypeCodes + eltType) * kKeyEpochSlots;
  hi = lo + kKeyEpochSlots - 1;
  return true;
}

// ds50 of a (two- or four-digit) year and a fractional day of the year.
VX_API double yrdays2ds50(int32_t year, double dayOfYear);
// Inverse of yrdays2ds50: four-digit year and fractional day of year (exact
// from 1950 on: yrdays2ds50(year, dayOfYear) gives ds50 back). A ds50 that is
// not finite or lies more than 1e9 days from 1950 comes back as day ds50 of
// 1950.
VX_API void fyklok(double ds50, double& dayOfYear, int32_t& year);

// The window of two-digit years: kTwoDigitYearWindowStart..99 are
// 1957..1999, 0..56 are 2000..2056.
inline constexpr int32_t kTwoDigitYearWindowStart = 57;

// Two-digit years: 57..99 -> 1957..1999, 0..56 -> 2000..2056; four-digit
// years stay. In place.
VX_API void to4digyr(int32_t& year);
// The year as the field reads hand it out: four digits (to4digyr).
VX_API void fixyr(int32_t& year);
// True for a leap year (two-digit years are widened first).
VX_API bool hleap(int32_t year);

// ds50 of a date-time text; the forms read, blank padded on either side:
//   YYDDDHHMMSS.SSS   YYDDD.DDDDDDDD   YYYY/DDD.DDDDDDDD
//   YYYY/DDD HHMM SS.SSS   YYYYMonDDHHMMSS.SSS
// The seconds and the fractional days take any number of decimals, or none.
// Two-digit years go through to4digyr. The day must exist in its year (day
// 366 only in leap years), hours 0..23, minutes 0..59, seconds below 61 (a
// leap second runs into the next minute). ok (optional) is false and the
// result 0 for text that does not read.
VX_API double dtg2ds50utc(std::string_view text, bool* ok = nullptr);
VX_API double dtgtods50(std::string_view text, bool* ok = nullptr);
// Writes "YYDDDHHMMSS.SSS" for ds50 into text (textLen characters, the rest
// blank; at least 15). The whole time is rounded to the millisecond first, so
// 23:59:59.9996 on December 31 writes day 1 of the next year. A ds50 that is
// not finite (or beyond 1e9 days) writes "00000000000.000".
VX_API void date15(double ds50, char* text, size_t textLen);
// The 15-character date text of ds50 into out15.
VX_API void ds50todate15(double ds50, char out15[15]);

}  // namespace vx
