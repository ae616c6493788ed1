// The time library: calendar arithmetic on ds50, the date-time text reader
// and writer, and the tree key of an element set.
//
// Every routine here is free of heap allocation and of locale: integers and
// decimal fields are read with std::from_chars on slices of the text, and the
// date text is written with std::to_chars.
#include "Services/chronom.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/Text.h"
#include "Services/kernix.h"

namespace vx {
namespace {

// ---- Calendar ----------------------------------------------------------------
// Proleptic Gregorian calendar on 64-bit day counts, so that any int32 year
// is safe.

constexpr int64_t floorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr bool isLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

constexpr int64_t daysInYear(int64_t year) { return isLeap(year) ? 366 : 365; }

// Days from 1 January of year 1 to 1 January of year.
constexpr int64_t daysBeforeYear(int64_t year) {
  const int64_t y = year - 1;
  return 365 * y + floorDiv(y, 4) - floorDiv(y, 100) + floorDiv(y, 400);
}

// ds50 of January 0.0 of a four-digit year: ds50 = jan0(year) + dayOfYear.
constexpr int64_t jan0(int64_t year) { return daysBeforeYear(year) - daysBeforeYear(1950); }

static_assert(jan0(1950) == 0);
static_assert(jan0(1951) == 365 && jan0(1953) == 365 * 3 + 1);
static_assert(jan0(2150) == 73049);

// Year of a whole day number (day 1 is 1950 January 1).
int64_t yearOfDay(int64_t day) {
  int64_t year = 1950 + floorDiv((day - 1) * 400, 146097);
  while (jan0(year) >= day) --year;
  while (jan0(year + 1) < day) ++year;
  return year;
}

// Beyond this many days from 1950 (about 2.7 million years) ds50 is not
// taken apart into a calendar date; it keeps day numbers and their products
// well inside int64.
constexpr double kCalendarDays = 1e9;

constexpr int32_t widenYear(int32_t year) {
  if (year >= 0 && year < kTwoDigitYearWindowStart) return year + 2000;
  if (year >= kTwoDigitYearWindowStart && year < 100) return year + 1900;
  return year;
}

// ---- Reading date-time texts ------------------------------------------------

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly n digits at t[pos], as an unsigned integer (no sign accepted).
bool readDigits(std::string_view t, size_t pos, size_t n, int32_t& out) {
  if (pos + n > t.size()) return false;
  const char* first = t.data() + pos;
  const char* last = first + n;
  for (const char* p = first; p != last; ++p)
    if (!isDigit(*p)) return false;
  uint32_t v = 0;
  const auto r = std::from_chars(first, last, v);
  if (r.ec != std::errc{} || r.ptr != last) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// The rest of the text from pos: exactly intDigits digits, then nothing, or a
// point followed by any number of digits. Up to 15 digits in all (every TLE
// epoch and date text) the digits read as one exact integer scaled once by
// an exact power of ten, which is the correctly rounded value, as
// std::from_chars gives it for longer fields.
bool readDecimalTail(std::string_view t, size_t pos, size_t intDigits, double& out) {
  using fmt::kExactPow10;
  const size_t pointAt = pos + intDigits;
  if (pointAt > t.size()) return false;
  for (size_t i = pos; i < pointAt; ++i)
    if (!isDigit(t[i])) return false;
  const size_t end = t.size();
  size_t fracDigits = 0;
  if (end > pointAt) {
    if (t[pointAt] != '.') return false;
    for (size_t i = pointAt + 1; i < end; ++i)
      if (!isDigit(t[i])) return false;
    fracDigits = end - pointAt - 1;
  }
  const char* first = t.data() + pos;
  if (intDigits + fracDigits > 15) {
    const char* last = t.data() + end;
    const auto r = std::from_chars(first, last, out, std::chars_format::fixed);
    return r.ec == std::errc{} && r.ptr == last;
  }
  uint64_t whole = 0;
  uint64_t frac = 0;
  if (std::from_chars(first, first + intDigits, whole).ec != std::errc{}) return false;
  if (fracDigits > 0 && std::from_chars(t.data() + pointAt + 1, t.data() + end, frac).ec != std::errc{}) return false;
  const uint64_t scaled = whole * static_cast<uint64_t>(kExactPow10[fracDigits]) + frac;  // below 10^15: exact
  out = static_cast<double>(scaled) / kExactPow10[fracDigits];
  return true;
}

int32_t monthOf(std::string_view name3) {
  static constexpr char kMonths[] = "janfebmaraprmayjunjulaugsepoctnovdec";
  char low[3];
  for (size_t i = 0; i < 3; ++i) {
    const char c = name3[i];
    low[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  for (int32_t m = 0; m < 12; ++m) {
    const char* p = kMonths + 3 * m;
    if (p[0] == low[0] && p[1] == low[1] && p[2] == low[2]) return m + 1;
  }
  return 0;
}

// Day of the year of a month and day of month, 0 when the date does not exist.
int32_t dayOfYearOf(int64_t year, int32_t month, int32_t dayOfMonth) {
  static constexpr int32_t kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  static constexpr int32_t kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || dayOfMonth < 1) return 0;
  const int32_t leapDay = (isLeap(year) && month >= 2) ? 1 : 0;
  const int32_t length = kLength[month - 1] + (month == 2 ? leapDay : 0);
  if (dayOfMonth > length) return 0;
  return kBefore[month - 1] + dayOfMonth + (month > 2 ? leapDay : 0);
}

// A whole day of the year and a time of day; a leap second (60.xxx) is
// allowed and runs into the next minute.
bool timeOfDay(int64_t year, int32_t day, int32_t hour, int32_t minute, double second, double& ds50) {
  if (day < 1 || day > daysInYear(year) || hour > 23 || minute > 59 || !(second < 61.0)) return false;
  const double seconds = static_cast<double>(hour * 3600 + minute * 60) + second;
  ds50 = static_cast<double>(jan0(year)) + (static_cast<double>(day) + seconds / 86400.0);
  return true;
}

// How a fractional day of the year is taken: as a calendar date, whose
// whole day must exist in its year, or as a count of days from January 0.0
// of the year, linear like ds50 itself (day 0.5 is noon of December 31 of the
// year before, day 366.5 of a common year noon of January 1 of the next).
enum class DayForm { kCalendar, kLinear };

bool fractionalDay(int64_t year, double day, DayForm form, double& ds50) {
  const bool ok = form == DayForm::kLinear ? day >= 0.0 && day < kCalendarDays
                                           : day >= 1.0 && day < static_cast<double>(daysInYear(year) + 1);
  if (!ok) return false;
  ds50 = static_cast<double>(jan0(year)) + day;
  return true;
}

std::string_view trimBlanks(std::string_view t) {
  size_t b = 0;
  size_t e = t.size();
  while (b < e && t[b] == ' ') ++b;
  while (e > b && t[e - 1] == ' ') --e;
  return t.substr(b, e - b);
}

// The forms, after the blanks around them are dropped:
//   YYDDDHHMMSS[.SSS]         two-digit year, day, hour, minute, second
//   YYDDD[.DDDDDDDD]          two-digit year, fractional day (TLE epoch)
//   YYYY/DDD[.DDDDDDDD]       four-digit year, fractional day
//   YYYY/DDD HHMM SS[.SSS]    four-digit year, day, hour, minute, second
//   YYYYMonDDHHMMSS[.SSS]     four-digit year, month name, day of month, time
bool readDtg(std::string_view text, DayForm dayForm, double& ds50) {
  const std::string_view t = trimBlanks(text);
  const size_t n = t.size();
  int32_t year = 0;
  int32_t day = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  double value = 0.0;
  if (n < 5) return false;

  if (t[4] == '/') {
    if (!readDigits(t, 0, 4, year)) return false;
    if (n > 8 && t[8] == ' ') {
      if (n < 16 || t[13] != ' ') return false;
      if (!readDigits(t, 5, 3, day) || !readDigits(t, 9, 2, hour) || !readDigits(t, 11, 2, minute) ||
          !readDecimalTail(t, 14, 2, value))
        return false;
      return timeOfDay(year, day, hour, minute, value, ds50);
    }
    if (!readDecimalTail(t, 5, 3, value)) return false;
    return fractionalDay(year, value, dayForm, ds50);
  }

  if (!isDigit(t[4])) {
    if (n < 15 || !readDigits(t, 0, 4, year) || !readDigits(t, 7, 2, day) || !readDigits(t, 9, 2, hour) ||
        !readDigits(t, 11, 2, minute) || !readDecimalTail(t, 13, 2, value))
      return false;
    const int32_t doy = dayOfYearOf(year, monthOf(t.substr(4, 3)), day);
    return doy != 0 && timeOfDay(year, doy, hour, minute, value, ds50);
  }

  if (!readDigits(t, 0, 2, year)) return false;
  year = widenYear(year);
  if (n == 5 || t[5] == '.') {
    if (!readDecimalTail(t, 2, 3, value)) return false;
    return fractionalDay(year, value, dayForm, ds50);
  }
  if (n < 11 || !readDigits(t, 2, 3, day) || !readDigits(t, 5, 2, hour) || !readDigits(t, 7, 2, minute) ||
      !readDecimalTail(t, 9, 2, value))
    return false;
  return timeOfDay(year, day, hour, minute, value, ds50);
}

// ---- Writing the date text ---------------------------------------------------

// v (0 <= v < 10^W) as W digits with leading zeros: the text of 10^W + v
// without its leading "1".
template <size_t W>
void putDigits(char* out, int64_t v) {
  static_assert(W >= 1 && W <= 17);
  int64_t power = 1;
  for (size_t i = 0; i < W; ++i) power *= 10;
  char buf[W + 1];
  std::to_chars(buf, buf + W + 1, power + v);
  std::memcpy(out, buf + 1, W);
}

constexpr int64_t kMsPerDay = 86400000;

void writeDate15(double ds50, char out[15]) {
  if (!(std::fabs(ds50) < kCalendarDays)) {
    std::memcpy(out, "00000000000.000", 15);
    return;
  }
  // Round the whole time once, so that 59.9996 s carries into the next
  // minute, day and year. From 1950 on ds50 - floor(ds50) is exact.
  const double whole = std::floor(ds50);
  int64_t dayNum = static_cast<int64_t>(whole);
  int64_t ms = std::llround((ds50 - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++dayNum;
  }
  const int64_t year = yearOfDay(dayNum);
  const int64_t yy = ((year % 100) + 100) % 100;
  const int64_t dayOfYear = dayNum - jan0(year);
  const int64_t second = ms / 1000;
  const int64_t hhmmss = second / 3600 * 10000 + second / 60 % 60 * 100 + second % 60;
  putDigits<11>(out, (yy * 1000 + dayOfYear) * 1000000 + hhmmss);
  out[11] = '.';
  putDigits<3>(out + 12, ms % 1000);
}

// ---- Tree key ----------------------------------------------------------------
// The layout is in chronom.h (treekeyrange reads it too).
constexpr int64_t kEpochDays = kKeyEpochDays;
constexpr int64_t kEpochSlots = kKeyEpochSlots;
constexpr int64_t kMaxSatNum = kKeyMaxSatNum;
constexpr int64_t kTypeCodes = kKeyTypeCodes;
static_assert(jan0(2150) + 1 == kEpochDays);
static_assert((kMaxSatNum * kTypeCodes + kTypeCodes) <= (INT64_MAX - kTreeKeyBase) / kEpochSlots,
              "the largest tree key must fit in int64");

// ---- Messages of the key builder ---------------------------------------------
namespace msg {
constexpr std::string_view kKeySatNum = "CreateSatKey: Invalid satellite number = ";
constexpr std::string_view kKeySatNumRange = " (valid=0-999999999)";
constexpr std::string_view kKeyEltType = "CreateSatKey: Invalid element set type = ";
constexpr std::string_view kKeyEltTypeRange = " (valid=0-7)";
constexpr std::string_view kKeyEpochText = "CreateSatKey: Unreadable epoch '";
constexpr std::string_view kKeyEpochTextTail = "'.";
constexpr std::string_view kKeyEpoch = "CreateSatKey: Invalid epoch in days since 1950 = ";
constexpr std::string_view kKeyEpochRange = " (valid=years 1950-2149)";
}  // namespace msg

// One error line of fixed text, value and tail (a long text value is cut
// to fit the line).
void logKeyFailure(std::string_view head, std::string_view value, std::string_view tail) {
  const size_t room = LogLine::kLen - head.size() - tail.size();
  LogLine().text(head).text(value.substr(0, room)).text(tail).error();
}

void logKeyFailure(std::string_view head, int64_t value, std::string_view tail) {
  LogLine().text(head).num(value).text(tail).error();
}

void logKeyFailure(std::string_view head, double value, std::string_view tail) {
  LogLine().text(head).real(value).text(tail).error();
}

}  // namespace

// ---- Exported services ------------------------------------------------------

int64_t createsatkey(int32_t satNum, int32_t eltType, std::string_view epochText, double epochDs50) {
  if (satNum < 0 || satNum > kMaxSatNum) {
    logKeyFailure(msg::kKeySatNum, int64_t{satNum}, msg::kKeySatNumRange);
    return -1;
  }
  if (eltType < 0 || eltType >= kTypeCodes) {
    logKeyFailure(msg::kKeyEltType, int64_t{eltType}, msg::kKeyEltTypeRange);
    return -1;
  }
  double ds50 = epochDs50;
  // A TLE epoch counts its days from January 0.0 like the epoch fields do, so
  // the key of the text and the key of the fields agree for every day.
  if (!epochText.empty() && !readDtg(epochText, DayForm::kLinear, ds50)) {
    logKeyFailure(msg::kKeyEpochText, epochText, msg::kKeyEpochTextTail);
    return -1;
  }
  // The number and type are valid here, so only the epoch can fail.
  const int64_t key = treekeyat(satNum, eltType, ds50);
  if (key < 0) logKeyFailure(msg::kKeyEpoch, ds50, msg::kKeyEpochRange);
  return key;
}

double yrdays2ds50(int32_t year, double dayOfYear) { return static_cast<double>(jan0(widenYear(year))) + dayOfYear; }

void fyklok(double ds50, double& dayOfYear, int32_t& year) {
  if (!(std::fabs(ds50) < kCalendarDays)) {
    // Kept as day ds50 of 1950, so that yrdays2ds50 still gives ds50 back.
    year = 1950;
    dayOfYear = ds50;
    return;
  }
  const int64_t y = yearOfDay(static_cast<int64_t>(std::floor(ds50)));
  year = static_cast<int32_t>(y);
  // From 1950 on the difference is exact: jan0(y) is a whole number no larger
  // than ds50, so no bit of ds50's fraction is lost.
  dayOfYear = ds50 - static_cast<double>(jan0(y));
}

void to4digyr(int32_t& year) { year = widenYear(year); }

void fixyr(int32_t& year) { year = widenYear(year); }

bool hleap(int32_t year) { return isLeap(widenYear(year)); }

double dtg2ds50utc(std::string_view text, bool* ok) {
  double ds50 = 0.0;
  const bool read = readDtg(text, DayForm::kCalendar, ds50);
  if (ok) *ok = read;
  return read ? ds50 : 0.0;
}

double dtgtods50(std::string_view text, bool* ok) { return dtg2ds50utc(text, ok); }

void date15(double ds50, char* text, size_t textLen) {
  char buf[15];
  writeDate15(ds50, buf);
  for (size_t i = 0; i < textLen; ++i) text[i] = i < 15 ? buf[i] : ' ';
}

void ds50todate15(double ds50, char out15[15]) { writeDate15(ds50, out15); }

}  // namespace vx
