#include "Tle/OmmMap.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <algorithm>

#include "Platform/kernix/core/Text.h"

namespace vx::tle::omm {

namespace {

constexpr int64_t kUsPerDay = int64_t{86400} * 1000000;

bool isLeap(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int32_t daysInYear(int32_t y) { return isLeap(y) ? 366 : 365; }
constexpr std::array<int32_t, 12> kMonthDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
int32_t daysInMonth(int32_t y, int32_t m) { return m == 2 && isLeap(y) ? 29 : kMonthDays[static_cast<size_t>(m - 1)]; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

// Exactly n digits at text[at...], as a number.
bool digits(std::string_view text, size_t at, size_t n, int32_t& out) {
  if (at + n > text.size()) return false;
  out = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (!isDigit(text[i])) return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

// A number text as JSON, CSV, XML and KVN write it: blanks around it, an
// optional "+"; the whole text must be the number.
bool readNumber(std::string_view text, double& out) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, std::chars_format::general);
  return ec == std::errc() && end == text.data() + text.size();
}

bool readInteger(std::string_view text, int64_t& out) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// A value as a message quotes it: at most 40 characters.
std::string_view shown(std::string_view text) { return text.substr(0, 40); }

// A value given: not absent, not null and not empty (an empty CSV field).
bool given(const OmmText& in, Key key) { return in.has(key) && !trimmed(in[key]).empty(); }

// Collects the reason of a refusal.
struct Why {
  std::string& out;
  bool fail(std::initializer_list<std::string_view> parts) {
    out.clear();
    for (std::string_view p : parts) out.append(p);
    return false;
  }
};

// The value of a key as a number, checked finite; absent (or null) keys take
// fallback unless the key is required.
bool numberOf(const OmmText& in, Key key, bool required, double fallback, double& out, Why& why) {
  if (!given(in, key)) {
    if (required) return why.fail({"no ", keyName(key)});
    out = fallback;
    return true;
  }
  const std::string_view text = in[key];
  if (!readNumber(text, out)) return why.fail({"a text where a number belongs in ", keyName(key), ": '", shown(text), "'"});
  if (!std::isfinite(out)) return why.fail({keyName(key), " is not a finite number: '", shown(text), "'"});
  return true;
}

bool integerOf(const OmmText& in, Key key, bool required, int64_t lo, int64_t hi, int32_t fallback, int32_t& out,
               Why& why) {
  if (!given(in, key)) {
    if (required) return why.fail({"no ", keyName(key)});
    out = fallback;
    return true;
  }
  const std::string_view text = in[key];
  int64_t v = 0;
  if (!readInteger(text, v)) return why.fail({"not a whole number in ", keyName(key), ": '", shown(text), "'"});
  if (v < lo || v > hi) return why.fail({keyName(key), " out of range: ", shown(text)});
  out = static_cast<int32_t>(v);
  return true;
}

// A metadata value that must be what the elements mean, when given.
bool metadataIs(const OmmText& in, Key key, std::string_view expected, bool prefixOnly, Why& why) {
  if (!given(in, key)) return true;
  std::string_view v = trimmed(in[key]);
  char up[32];
  if (v.size() > sizeof up) return why.fail({keyName(key), " is not ", expected});
  for (size_t i = 0; i < v.size(); ++i) up[i] = (v[i] >= 'a' && v[i] <= 'z') ? static_cast<char>(v[i] - 32) : v[i];
  v = std::string_view(up, v.size());
  const bool ok = prefixOnly ? v.substr(0, expected.size()) == expected : v == expected;
  if (!ok) return why.fail({keyName(key), " is not ", expected});
  return true;
}

}  // namespace

bool readommepoch(std::string_view t, int32_t& year, double& days) {
  t = trimmed(t);
  if (!t.empty() && (t.back() == 'Z' || t.back() == 'z')) t.remove_suffix(1);
  int32_t y = 0, doy = 0;
  size_t at = 0;
  if (!digits(t, 0, 4, y) || t.size() < 5 || t[4] != '-') return false;
  if (t.size() >= 8 && isDigit(t[5]) && isDigit(t[6]) && t.size() > 7 && t[7] == '-') {
    int32_t m = 0, d = 0;
    if (!digits(t, 5, 2, m) || !digits(t, 8, 2, d) || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return false;
    for (int32_t i = 1; i < m; ++i) doy += daysInMonth(y, i);
    doy += d;
    at = 10;
  } else {
    if (!digits(t, 5, 3, doy) || doy < 1 || doy > daysInYear(y)) return false;
    at = 8;
  }
  int64_t us = 0;
  if (at < t.size()) {
    if (t[at] != 'T' || t.size() < at + 9 || t[at + 3] != ':' || t[at + 6] != ':') return false;
    int32_t h = 0, mi = 0, s = 0;
    if (!digits(t, at + 1, 2, h) || !digits(t, at + 4, 2, mi) || !digits(t, at + 7, 2, s) || h > 23 || mi > 59 ||
        s > 59)
      return false;
    us = ((int64_t{h} * 60 + mi) * 60 + s) * 1000000;
    at += 9;
    if (at < t.size()) {
      if (t[at] != '.' || at + 1 == t.size()) return false;
      int64_t frac = 0;
      size_t n = 0;
      for (size_t i = at + 1; i < t.size(); ++i, ++n) {
        if (!isDigit(t[i])) return false;
        if (n < 6) frac = frac * 10 + (t[i] - '0');
        else if (n == 6 && t[i] >= '5') ++frac;  // rounded to the microsecond
      }
      for (; n < 6; ++n) frac *= 10;
      us += frac;
    }
  }
  if (us >= kUsPerDay) {  // rounded up into the next day
    us -= kUsPerDay;
    if (++doy > daysInYear(y)) doy = 1, ++y;
  }
  year = y;
  days = doy + static_cast<double>(us) / static_cast<double>(kUsPerDay);
  return true;
}

void writeommepoch(int32_t year, double days, char out[26]) {
  double whole = std::floor(days);
  int32_t doy = static_cast<int32_t>(whole);
  int64_t us = std::llround((days - whole) * static_cast<double>(kUsPerDay));
  if (us >= kUsPerDay) us -= kUsPerDay, ++doy;
  // Day 0 is the last day of the year before; a day past the year's end is
  // in the next year.
  if (doy < 1) doy += daysInYear(--year);
  if (doy > daysInYear(year)) doy -= daysInYear(year++);
  int32_t m = 1;
  while (doy > daysInMonth(year, m)) doy -= daysInMonth(year, m++);
  const int64_t s = us / 1000000;
  auto put = [&](size_t at, size_t width, int64_t v) {
    for (size_t i = width; i-- > 0; v /= 10) out[at + i] = static_cast<char>('0' + v % 10);
  };
  std::memcpy(out, "0000-00-00T00:00:00.000000", 26);
  put(0, 4, year % 10000);
  put(5, 2, m);
  put(8, 2, doy);
  put(11, 2, s / 3600);
  put(14, 2, s / 60 % 60);
  put(17, 2, s % 60);
  put(20, 6, us % 1000000);
}

bool objectidtoname(std::string_view id, ShortName& name) {
  id = trimmed(id);
  name.fill(' ');
  // "YYYY-NNNP", P one to three letters.
  const bool designator = id.size() >= 9 && id.size() <= 11 && id[4] == '-' && isDigit(id[0]) && isDigit(id[1]) &&
                          isDigit(id[2]) && isDigit(id[3]) && isDigit(id[5]) && isDigit(id[6]) && isDigit(id[7]) &&
                          std::all_of(id.begin() + 8, id.end(), isUpper);
  if (designator) {
    std::memcpy(name.data(), id.data() + 2, 2);
    std::memcpy(name.data() + 2, id.data() + 5, id.size() - 5);
    return true;
  }
  if (id.size() > name.size()) return false;
  if (!id.empty()) std::memcpy(name.data(), id.data(), id.size());
  return true;
}

size_t nametoobjectid(const ShortName& name, char* out) {
  const std::string_view n = trimmed(std::string_view(name.data(), name.size()));
  const bool designator = n.size() >= 6 && n.size() <= 8 && std::all_of(n.begin(), n.begin() + 5, isDigit) &&
                          std::all_of(n.begin() + 5, n.end(), isUpper);
  if (!designator) {
    if (!n.empty()) std::memcpy(out, n.data(), n.size());
    return n.size();
  }
  const bool old = (n[0] - '0') * 10 + (n[1] - '0') >= 57;
  std::memcpy(out, old ? "19" : "20", 2);
  std::memcpy(out + 2, n.data(), 2);
  out[4] = '-';
  std::memcpy(out + 5, n.data() + 2, n.size() - 2);
  return n.size() + 3;
}

bool ommtorecord(const OmmText& in, Tlerecord& rec, std::string& whyText) {
  Why why{whyText};
  rec.reset();
  if (in.duplicate != Key::kCount) return why.fail({keyName(in.duplicate), " given twice"});
  if (!given(in, Key::MEAN_MOTION) && given(in, Key::SEMI_MAJOR_AXIS))
    return why.fail({"SEMI_MAJOR_AXIS in place of MEAN_MOTION (only mean motion is taken)"});
  if (!metadataIs(in, Key::CENTER_NAME, "EARTH", false, why) || !metadataIs(in, Key::REF_FRAME, "TEME", false, why) ||
      !metadataIs(in, Key::TIME_SYSTEM, "UTC", false, why) ||
      !metadataIs(in, Key::MEAN_ELEMENT_THEORY, "SGP4", true, why))
    return false;

  if (!integerOf(in, Key::NORAD_CAT_ID, true, 0, 999999999, 0, rec.satNum, why)) return false;
  if (!given(in, Key::EPOCH)) return why.fail({"no EPOCH"});
  if (!readommepoch(in[Key::EPOCH], rec.epochYr, rec.epochDays))
    return why.fail({"EPOCH is not a date and time: '", shown(in[Key::EPOCH]), "'"});
  double inc = 0, node = 0, argp = 0, ma = 0, ecc = 0, n = 0;
  if (!numberOf(in, Key::MEAN_MOTION, true, 0, n, why) || !numberOf(in, Key::ECCENTRICITY, true, 0, ecc, why) ||
      !numberOf(in, Key::INCLINATION, true, 0, inc, why) || !numberOf(in, Key::RA_OF_ASC_NODE, true, 0, node, why) ||
      !numberOf(in, Key::ARG_OF_PERICENTER, true, 0, argp, why) || !numberOf(in, Key::MEAN_ANOMALY, true, 0, ma, why))
    return false;
  rec.mnMotion = n, rec.eccen = ecc, rec.incli = inc, rec.raNode = node, rec.argPer = argp, rec.mnAnomaly = ma;
  if (!integerOf(in, Key::EPHEMERIS_TYPE, false, 0, 9, 0, rec.ephType, why) ||
      !integerOf(in, Key::ELEMENT_SET_NO, false, 0, 999999999, 0, rec.elsetNum, why) ||
      !integerOf(in, Key::REV_AT_EPOCH, false, 0, 999999999, 0, rec.revNum, why))
    return false;
  if (given(in, Key::CLASSIFICATION_TYPE)) {
    const std::string_view c = trimmed(in[Key::CLASSIFICATION_TYPE]);
    if (c.size() != 1) return why.fail({"CLASSIFICATION_TYPE is not one character: '", shown(c), "'"});
    rec.secClass = c[0];
  }
  if (given(in, Key::OBJECT_ID) && !objectidtoname(in[Key::OBJECT_ID], rec.satName))
    return why.fail({"OBJECT_ID is no launch designator and longer than 8 characters: '", shown(in[Key::OBJECT_ID]), "'"});
  if (given(in, Key::OBJECT_NAME)) rec.setObjectName(trimmed(in[Key::OBJECT_NAME]));

  double dot = 0, ddot = 0, bstar = 0;
  if (!numberOf(in, Key::MEAN_MOTION_DOT, false, 0, dot, why) ||
      !numberOf(in, Key::MEAN_MOTION_DDOT, false, 0, ddot, why) || !numberOf(in, Key::BSTAR, false, 0, bstar, why))
    return false;
  rec.nDotO2 = dot;
  switch (rec.ephType) {
    case 4: {
      // The type's own coefficients: AGOM in the second slot, BTERM in the
      // third; a CSV record carries them in the columns of those slots.
      double agom = 0, bterm = 0;
      if (!numberOf(in, Key::AGOM, false, ddot, agom, why) || !numberOf(in, Key::BTERM, false, bstar, bterm, why))
        return false;
      rec.auxCoef1 = agom;
      rec.auxCoef2 = bterm;
      break;
    }
    case 6:
      rec.auxCoef2 = dot;
      rec.auxCoef3 = ddot;
      rec.auxCoef1 = bstar;
      break;
    default:
      rec.n2DotO6 = ddot;
      rec.bStar = bstar;
      break;
  }
  return true;
}

void OmmFormatted::put(Key key, std::string_view text) {
  const size_t i = static_cast<size_t>(key);
  const size_t n = std::min(text.size(), buf_.size() - used_);
  if (n > 0) std::memcpy(buf_.data() + used_, text.data(), n);
  values_.value[i] = std::string_view(buf_.data() + used_, n);
  values_.present[i] = true;
  used_ += n;
}

void OmmFormatted::putNum(Key key, double value) {
  char t[32];
  const auto r = std::to_chars(t, t + sizeof t, value);
  put(key, std::string_view(t, static_cast<size_t>(r.ptr - t)));
}

void OmmFormatted::putInt(Key key, int64_t value) {
  char t[24];
  const auto r = std::to_chars(t, t + sizeof t, value);
  put(key, std::string_view(t, static_cast<size_t>(r.ptr - t)));
}

void OmmFormatted::format(const Tlerecord& rec, bool forCsv, std::string_view creationDate) {
  values_ = OmmValues();
  used_ = 0;
  put(Key::OBJECT_NAME, rec.objectName().substr(0, kMaxObjNameLen));
  char id[12];
  put(Key::OBJECT_ID, std::string_view(id, nametoobjectid(rec.satName, id)));
  char epoch[27];
  writeommepoch(rec.epochYr, rec.epochDays, epoch);
  put(Key::EPOCH, std::string_view(epoch, 26));
  putNum(Key::MEAN_MOTION, rec.mnMotion);
  putNum(Key::ECCENTRICITY, rec.eccen);
  putNum(Key::INCLINATION, rec.incli);
  putNum(Key::RA_OF_ASC_NODE, rec.raNode);
  putNum(Key::ARG_OF_PERICENTER, rec.argPer);
  putNum(Key::MEAN_ANOMALY, rec.mnAnomaly);
  putInt(Key::EPHEMERIS_TYPE, rec.ephType);
  put(Key::CLASSIFICATION_TYPE, std::string_view(&rec.secClass, 1));
  putInt(Key::NORAD_CAT_ID, rec.satNum);
  putInt(Key::ELEMENT_SET_NO, rec.elsetNum);
  putInt(Key::REV_AT_EPOCH, rec.revNum);
  switch (rec.ephType) {
    case 4:
      putNum(Key::MEAN_MOTION_DOT, rec.nDotO2);
      if (forCsv) {
        putNum(Key::BSTAR, rec.auxCoef2);
        putNum(Key::MEAN_MOTION_DDOT, rec.auxCoef1);
      } else {
        putNum(Key::BTERM, rec.auxCoef2);
        putNum(Key::MEAN_MOTION_DDOT, 0.0);
        putNum(Key::AGOM, rec.auxCoef1);
      }
      break;
    case 6:
      putNum(Key::BSTAR, rec.auxCoef1);
      putNum(Key::MEAN_MOTION_DOT, rec.auxCoef2);
      putNum(Key::MEAN_MOTION_DDOT, rec.auxCoef3);
      break;
    default:
      putNum(Key::BSTAR, rec.bStar);
      putNum(Key::MEAN_MOTION_DOT, rec.nDotO2);
      putNum(Key::MEAN_MOTION_DDOT, rec.n2DotO6);
      break;
  }
  put(Key::CCSDS_OMM_VERS, "2.0");
  put(Key::CREATION_DATE, creationDate);
  put(Key::ORIGINATOR, "VELTRIX");
  put(Key::CENTER_NAME, "EARTH");
  put(Key::REF_FRAME, "TEME");
  put(Key::TIME_SYSTEM, "UTC");
  put(Key::MEAN_ELEMENT_THEORY, rec.ephType == 4 ? "SGP4-XP" : "SGP4");
}

std::string ommcreationdate() {
  std::time_t now = std::time(nullptr);
  if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH"); fixed != nullptr) {
    int64_t v = 0;
    const std::string_view f(fixed);
    if (readInteger(f, v) && v >= 0) now = static_cast<std::time_t>(v);
  }
  std::tm tm{};
  gmtime_r(&now, &tm);
  char out[32];
  std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%S", &tm);
  return out;
}

}  // namespace vx::tle::omm
