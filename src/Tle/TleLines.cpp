// Writers of the two-line and CSV forms, and the value checks every new or
// changed element set passes.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "Platform/kernix/core/Format.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleColumns.h"
#include "Tle/TleLines.h"
#include "Tle/TleTree.h"

namespace vx::tle {

// ---- Coefficients of line 1 ----------------------------------------------------

namespace {

// The five correctly rounded significant digits of value as a signed
// integer (the mantissa 0.ddddd times 1e5) and the exponent that goes with
// 0.ddddd; false for a value that is not finite.
bool splitcoef(double value, int64_t& digits5, int32_t& exp10) {
  if (!std::isfinite(value)) return false;
  if (value == 0.0) {
    digits5 = 0;
    exp10 = 0;
    return true;
  }
  // Fast and exact for the usual case, a value of five significant digits
  // read from a line: n is the five-digit integer nearest |value| * 10^k,
  // and scaling n back once by the exact power of ten gives |value| itself,
  // so n * 10^-k is the correctly rounded text (the five-digit grid is far
  // coarser than a double's spacing).
  using fmt::kExactPow10;
  using fmt::kMaxExactPow10;
  const double a = std::fabs(value);
  if (a >= 1e-15 && a < 1e15) {
    int k = 4 - static_cast<int>(std::floor(std::log10(a)));
    auto scale = [&](int kk) { return kk >= 0 ? a * kExactPow10[kk] : a / kExactPow10[-kk]; };
    double scaled = scale(k);
    if (scaled >= 1e5) scaled = scale(--k);
    if (scaled < 1e4) scaled = scale(++k);
    const double n = std::nearbyint(scaled);
    if (k >= -kMaxExactPow10 && k <= kMaxExactPow10 && n >= 1e4 && n < 1e5 &&
        (k >= 0 ? n / kExactPow10[k] : n * kExactPow10[-k]) == a) {
      digits5 = static_cast<int64_t>(value < 0 ? -n : n);
      exp10 = 5 - k;
      if (exp10 > 9 || exp10 < -9) {
        digits5 = 0;
        exp10 = 0;
      }
      return true;
    }
  }
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 4);
  if (r.ec != std::errc()) return false;
  auto collect = [&](const char* end, int64_t& digits, int& count, const char*& e) {
    digits = 0;
    count = 0;
    e = buf;
    for (const char* p = buf; p < end; ++p) {
      if (*p == 'e') {
        e = p;
        break;
      }
      if (*p >= '0' && *p <= '9') {
        digits = digits * 10 + (*p - '0');
        ++count;
      }
    }
  };
  int64_t digits = 0;
  int count = 0;
  const char* e = nullptr;
  collect(r.ptr, digits, count, e);
  int32_t e10 = 0;
  if (*e != 'e' || std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, e10).ec != std::errc()) return false;
  digits5 = value < 0 ? -digits : digits;
  exp10 = e10 + 1;
  // Exponents beyond one digit do not fit the line: such values are zero.
  if (exp10 > 9 || exp10 < -9) {
    digits5 = 0;
    exp10 = 0;
  }
  return true;
}

}  // namespace

bool gettlerawformat(double value, double& mantissa, int32_t& exponent) {
  int64_t digits = 0;
  int32_t e = 0;
  if (!splitcoef(value, digits, e)) return false;
  mantissa = static_cast<double>(digits) / 1e5;
  exponent = e;
  return true;
}

namespace {

// Writes a coefficient as a five-digit mantissa and a one-digit exponent;
// a value that cannot be split (not finite) fills both with asterisks.
void writeCoef(char* mant, char* exp, double value) {
  int64_t digits = 0;
  int32_t e = 0;
  if (!splitcoef(value, digits, e)) {
    std::memset(mant, '*', 6);
    std::memset(exp, '*', 2);
    return;
  }
  fmt::writeI(mant, 6, digits, 5);
  fmt::writeI(exp, 2, e, 1);
}

int32_t daysInYear(int32_t year) { return hleap(year) ? 366 : 365; }

void writeLine1(const Tlerecord& r, char* out) {
  std::memcpy(out, "1 ", 2);
  numtoalpha5(r.satNum, colPtr(out, line1::kSatNum));
  *colPtr(out, line1::kSecClass) = r.secClass;
  std::memcpy(colPtr(out, line1::kSatName), r.satName.data(), r.satName.size());

  // The epoch is rounded to eight decimals as a whole, so that a fraction
  // that rounds up to one carries into the day (and a last day into the next
  // year) instead of overflowing its columns.
  int32_t year = r.epochYr;
  double days = r.epochDays;
  double whole = std::floor(days);
  double frac = std::nearbyint((days - whole) * 1e8) / 1e8;
  if (frac >= 1.0) {
    whole += 1.0;
    frac = 0.0;
  }
  if (std::isfinite(days) && whole >= 1.0 + daysInYear(year) && days < 1.0 + daysInYear(year)) {
    to4digyr(year);
    ++year;
    whole = 1.0;
  }
  fmt::writeI(colPtr(out, line1::kEpochYr), 2, ((year % 100) + 100) % 100, 2);
  if (std::isfinite(whole) && std::fabs(whole) < 1e9)
    fmt::writeI(colPtr(out, line1::kEpochWholeDay), 3, static_cast<int64_t>(whole), 3);
  else
    std::memset(colPtr(out, line1::kEpochWholeDay), '*', 3);
  fmt::writeF(colPtr(out, line1::kEpochFraction), line1::kEpochFraction.width(), 8, frac);

  const double c1 = r.ephType == 6 ? r.auxCoef2 : r.nDotO2;
  const double c2 = r.ephType == 6 ? r.auxCoef3 : r.ephType == 4 ? r.auxCoef1 : r.n2DotO6;
  const double c3 = r.ephType == 6 ? r.auxCoef1 : r.ephType == 4 ? r.auxCoef2 : r.bStar;
  fx0tosignax(c1, line1::kCoef1.width(), colPtr(out, line1::kCoef1));
  writeCoef(colPtr(out, line1::kCoef2Mant), colPtr(out, line1::kCoef2Exp), c2);
  writeCoef(colPtr(out, line1::kCoef3Mant), colPtr(out, line1::kCoef3Exp), c3);
  fmt::writeI(colPtr(out, line1::kEphType), 1, r.ephType, 1);
  fmt::writeI(colPtr(out, line1::kElsetNum), line1::kElsetNum.width(), r.elsetNum, 4);
}

void writeLine2(const Tlerecord& r, char* out) {
  std::memcpy(out, "2 ", 2);
  numtoalpha5(r.satNum, colPtr(out, line2::kSatNum));
  fmt::writeF(colPtr(out, line2::kIncli), 8, 4, r.incli);
  fmt::writeF(colPtr(out, line2::kRaNode), 8, 4, r.raNode);
  // An eccentricity just below one would round to 10000000 units and not
  // fit; it is written as the largest value the seven digits hold.
  double ecc = std::isfinite(r.eccen) ? std::nearbyint(r.eccen / 1e-7) : -1.0;
  if (ecc == 1e7 && r.eccen < 1.0) ecc = 9999999.0;
  if (ecc >= 0 && ecc < 1e7)
    fmt::writeI(colPtr(out, line2::kEccen), 7, static_cast<int64_t>(ecc), 7);
  else
    std::memset(colPtr(out, line2::kEccen), '*', 7);
  fmt::writeF(colPtr(out, line2::kArgPer), 8, 4, r.argPer);
  fmt::writeF(colPtr(out, line2::kMnAnomaly), 8, 4, r.mnAnomaly);
  fmt::writeF(colPtr(out, line2::kMnMotion), 11, 8, r.mnMotion);
  fmt::writeI(colPtr(out, line2::kRevNum), 5, r.revNum, 5);
}

}  // namespace

// A value that does not fit its columns fills them with asterisks, as
// fixed-column output does; writing itself cannot fail.
void tle2lines(const Tlerecord& rec, char* line1, char* line2) {
  std::memset(line1, ' ', kLineLen);
  std::memset(line2, ' ', kLineLen);
  writeLine1(rec, line1);
  writeLine2(rec, line2);
}

// ---- CSV writer --------------------------------------------------------------------

namespace {
// Extension text of a record that has no CSV data.
constexpr std::string_view kCsvTextUnknown = "UNKNOWN";
}  // namespace

void tle2csv(const Tlerecord& rec, char* csvLine) {
  std::memset(csvLine, ' ', kLineLen);
  Csvtledata derived;
  const Csvtledata* ext = rec.csvExt.get();
  if (ext == nullptr) {
    derived.satNameLong = longnameofshort(rec.satName);
    std::memcpy(derived.csvText.data(), kCsvTextUnknown.data(), kCsvTextUnknown.size());
    ext = &derived;
  }

  char work[1024];
  size_t n = 0;
  bool first = true;
  auto sep = [&] {
    if (!first) work[n++] = ',';
    first = false;
  };
  // Only text values can hold blanks; they are squeezed out as the texts are
  // appended, which leaves the line exactly as squeezing it whole would.
  auto text = [&](std::string_view s) {
    sep();
    for (char c : s)
      if (c != ' ') work[n++] = c;
  };
  auto i = [&](int64_t v) {
    sep();
    n += fmt::writeListInt(work + n, v);
  };
  auto f = [&](double v) {
    sep();
    n += fmt::writeListReal(work + n, v);
  };
  text(std::string_view(&rec.secClass, 1));
  i(rec.satNum);
  text(std::string_view(ext->satNameLong.data(), ext->satNameLong.size()));
  i(rec.epochYr);
  f(rec.epochDays);
  f(rec.nDotO2);
  f(rec.n2DotO6);
  f(rec.bStar);
  i(rec.ephType);
  i(rec.elsetNum);
  f(rec.incli);
  f(rec.raNode);
  f(rec.eccen);
  f(rec.argPer);
  f(rec.mnAnomaly);
  f(rec.mnMotion);
  i(rec.revNum);
  i(ext->csvNum);
  f(rec.auxCoef1);
  f(rec.auxCoef2);
  f(ext->csvVal1);
  f(ext->csvVal2);
  f(ext->csvVal3);
  f(ext->csvVal4);
  f(ext->csvVal5);
  text(std::string_view(ext->csvText.data(), ext->csvText.size()));
  std::string_view out(work, n);
  std::memcpy(csvLine, out.data(), std::min(out.size(), kLineLen));
}

// ---- Value checks --------------------------------------------------------------------

namespace {

// A failed check logs its fixed text, the offending value and a range text.
struct CheckMsg {
  std::string_view head;
  std::string_view range;
};

namespace msg {
constexpr CheckMsg kSatNum{"ValidateTleValues: Invalid satellite number = ", " (valid=1-999999999)"};
constexpr CheckMsg kEpochYr{"ValidateTleValues: Invalid Year of Epoch = ", " (valid=>=1956)"};
constexpr CheckMsg kEpochDaysLeap{"ValidateTleValues: Invalid Day of Epoch = ", " (valid=0-366)"};
constexpr CheckMsg kEpochDays{"ValidateTleValues: Invalid Day of Epoch = ", " (valid=0-365)"};
constexpr CheckMsg kEphType{"ValidateTleValues: Invalid Ephemeris type = ", " (valid=0, 2, 4, 6)"};
constexpr CheckMsg kElsetNum{"ValidateTleValues: Invalid Element Set Number = ", " (valid=0-9999)"};
constexpr CheckMsg kIncli{"ValidateTleValues: Invalid Orbit Inclination = ", " (valid=0-180)"};
constexpr CheckMsg kEccen{"ValidateTleValues: Invalid Eccentricity = ", " (valid=0-1)"};
constexpr CheckMsg kMnMotion{"ValidateTleValues: Invalid Mean Motion = ", " (> 0)"};
constexpr CheckMsg kRevNum{"ValidateTleValues: Invalid Epoch Revolution = ", " (valid=0-99999)"};
// Reals whose only bound is that they are numbers.
constexpr std::string_view kFinite = " (finite)";
constexpr CheckMsg kRaNode{"ValidateTleValues: Invalid Right Ascension of Node = ", kFinite};
constexpr CheckMsg kArgPer{"ValidateTleValues: Invalid Argument of Perigee = ", kFinite};
constexpr CheckMsg kMnAnomaly{"ValidateTleValues: Invalid Mean Anomaly = ", kFinite};
constexpr CheckMsg kNDotO2{"ValidateTleValues: Invalid First Derivative of Mean Motion = ", kFinite};
constexpr CheckMsg kN2DotO6{"ValidateTleValues: Invalid Second Derivative of Mean Motion = ", kFinite};
constexpr CheckMsg kBStar{"ValidateTleValues: Invalid Drag Term = ", kFinite};
constexpr CheckMsg kAuxCoef1{"ValidateTleValues: Invalid Extra Coefficient 1 = ", kFinite};
constexpr CheckMsg kAuxCoef2{"ValidateTleValues: Invalid Extra Coefficient 2 = ", kFinite};
constexpr CheckMsg kAuxCoef3{"ValidateTleValues: Invalid Extra Coefficient 3 = ", kFinite};
constexpr CheckMsg kCsvVal1{"ValidateTleValues: Invalid CSV Value 1 = ", kFinite};
constexpr CheckMsg kCsvVal2{"ValidateTleValues: Invalid CSV Value 2 = ", kFinite};
constexpr CheckMsg kCsvVal3{"ValidateTleValues: Invalid CSV Value 3 = ", kFinite};
constexpr CheckMsg kCsvVal4{"ValidateTleValues: Invalid CSV Value 4 = ", kFinite};
constexpr CheckMsg kCsvVal5{"ValidateTleValues: Invalid CSV Value 5 = ", kFinite};
// Texts: the value is the code of the first byte outside printable ASCII,
// which would break the line and CSV forms apart in a saved file.
constexpr std::string_view kPrintable = " (valid=32-126)";
constexpr CheckMsg kSecClass{"ValidateTleValues: Invalid character code in Classification = ", kPrintable};
constexpr CheckMsg kSatName{"ValidateTleValues: Invalid character code in Satellite Name = ", kPrintable};
constexpr CheckMsg kSatNameLong{"ValidateTleValues: Invalid character code in Long Satellite Name = ", kPrintable};
constexpr CheckMsg kCsvText{"ValidateTleValues: Invalid character code in CSV Text = ", kPrintable};
constexpr CheckMsg kObjName{"ValidateTleValues: Invalid character code in Object Name = ", " (valid=32-126, 128-255)"};
constexpr CheckMsg kObjNameLen{"ValidateTleValues: Object Name too long = ", " characters (valid=1-255)"};
}  // namespace msg

// Logs fixed text + value + range text as one line.
template <class T>
void logInvalid(const CheckMsg& m, T value) {
  LogLine line;
  line.text(m.head);
  if constexpr (std::is_integral_v<T>)
    line.num(value);
  else
    line.real(value);
  line.text(m.range).error();
}

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

// An angle outside [0, 360] is reduced into [0, 360); one that is not a
// number fails.
bool reduceAngle(double& deg, const CheckMsg& m) {
  if (!std::isfinite(deg)) {
    logInvalid(m, deg);
    return false;
  }
  if (deg < 0 || deg > 360) deg = fmod2p(deg * kDegToRad) * kRadToDeg;
  return true;
}

// The reals without a range of their own, of the record and of its CSV
// extension: they must be numbers.
template <class Owner>
struct FiniteCheck {
  double Owner::*member;
  CheckMsg msg;
};
constexpr FiniteCheck<Tlerecord> kFiniteChecks[] = {
    {&Tlerecord::nDotO2, msg::kNDotO2},     {&Tlerecord::n2DotO6, msg::kN2DotO6},
    {&Tlerecord::bStar, msg::kBStar},       {&Tlerecord::auxCoef1, msg::kAuxCoef1},
    {&Tlerecord::auxCoef2, msg::kAuxCoef2}, {&Tlerecord::auxCoef3, msg::kAuxCoef3},
};
constexpr FiniteCheck<Csvtledata> kFiniteCsvChecks[] = {
    {&Csvtledata::csvVal1, msg::kCsvVal1}, {&Csvtledata::csvVal2, msg::kCsvVal2},
    {&Csvtledata::csvVal3, msg::kCsvVal3}, {&Csvtledata::csvVal4, msg::kCsvVal4},
    {&Csvtledata::csvVal5, msg::kCsvVal5},
};

// False, with the code of the first bad byte logged, for a text that holds
// a byte outside printable ASCII.
bool printable(std::string_view text, const CheckMsg& m) {
  const size_t at = firstunprintable(text);
  if (at == std::string_view::npos) return true;
  logInvalid(m, int64_t{static_cast<unsigned char>(text[at])});
  return false;
}

std::string_view textof(const auto& arr) { return {arr.data(), arr.size()}; }

}  // namespace

int32_t validatetlevalues(Tlerecord& r) {
  int32_t status = VX_OK;
  auto fail = [&](const CheckMsg& m, auto value) {
    status = VX_FAIL;
    logInvalid(m, value);
  };
  // Range tests are written as "not inside" so that a NaN fails them too.
  if (!(r.satNum >= 0 && r.satNum <= 999999999)) fail(msg::kSatNum, r.satNum);
  to4digyr(r.epochYr);
  if (r.epochYr <= 1955) fail(msg::kEpochYr, r.epochYr);
  if (hleap(r.epochYr)) {
    if (!(r.epochDays >= 0 && r.epochDays < 367)) fail(msg::kEpochDaysLeap, r.epochDays);
  } else if (!(r.epochDays >= 0 && r.epochDays < 366)) {
    fail(msg::kEpochDays, r.epochDays);
  }
  if (!isephtype(r.ephType)) fail(msg::kEphType, r.ephType);
  if (!(r.elsetNum >= 0 && r.elsetNum <= 9999)) fail(msg::kElsetNum, r.elsetNum);
  if (!(r.incli >= 0 && r.incli <= 180)) fail(msg::kIncli, r.incli);
  if (!reduceAngle(r.raNode, msg::kRaNode)) status = VX_FAIL;
  if (!(r.eccen >= 0 && r.eccen < 1)) fail(msg::kEccen, r.eccen);
  if (!reduceAngle(r.argPer, msg::kArgPer)) status = VX_FAIL;
  if (!reduceAngle(r.mnAnomaly, msg::kMnAnomaly)) status = VX_FAIL;
  if (!(r.mnMotion > 0 && std::isfinite(r.mnMotion))) fail(msg::kMnMotion, r.mnMotion);
  if (!(r.revNum >= 0 && r.revNum <= 99999)) fail(msg::kRevNum, r.revNum);

  for (const auto& c : kFiniteChecks)
    if (!std::isfinite(r.*c.member)) fail(c.msg, r.*c.member);
  if (!printable(std::string_view(&r.secClass, 1), msg::kSecClass)) status = VX_FAIL;
  if (!printable(textof(r.satName), msg::kSatName)) status = VX_FAIL;
  if (const Csvtledata* ext = r.csvExt.get()) {
    for (const auto& c : kFiniteCsvChecks)
      if (!std::isfinite(ext->*c.member)) fail(c.msg, ext->*c.member);
    if (!printable(textof(ext->satNameLong), msg::kSatNameLong)) status = VX_FAIL;
    if (!printable(textof(ext->csvText), msg::kCsvText)) status = VX_FAIL;
  }
  const std::string_view objName = r.objectName();
  if (objName.size() > kMaxObjNameLen) fail(msg::kObjNameLen, static_cast<int64_t>(objName.size()));
  if (const size_t at = firstcontrolchar(objName); at != std::string_view::npos)
    fail(msg::kObjName, int64_t{static_cast<unsigned char>(objName[at])});
  return status;
}

// ---- Store comparison and sort text -------------------------------------------------

bool equal(const Tlerecord& a, const Tlerecord& b) {
  if (a.satNum != b.satNum || a.elsetNum != b.elsetNum || a.epochYr != b.epochYr) return false;
  for (auto m : {&Tlerecord::epochDays, &Tlerecord::incli, &Tlerecord::raNode, &Tlerecord::eccen,
                 &Tlerecord::argPer, &Tlerecord::mnAnomaly, &Tlerecord::mnMotion})
    if (neqr(a.*m, b.*m)) return false;
  return true;
}

void fieldstostr(const Tlerecord& rec, char text[32]) {
  std::memset(text, ' ', 32);
  fmt::writeI(text, 9, rec.satNum, 9);
  fmt::writeI(text + 9, 1, rec.ephType, 1);
  fmt::writeF(text + 10, 16, 9, yrdays2ds50(rec.epochYr, rec.epochDays));
}

}  // namespace vx::tle
