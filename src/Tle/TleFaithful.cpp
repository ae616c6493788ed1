#include "Tle/TleFaithful.h"

#include <cmath>
#include <cstring>

#include "Platform/kernix/core/Format.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace {

// Reasons, at most 64 characters each (they end a 128-character log line).
namespace why {
constexpr std::string_view kSatNum = "satellite number outside 1-339999 of the lines";
constexpr std::string_view kClass = "classification other than blank, C, S or U";
constexpr std::string_view kLineEnd = "a text holds a line end";
constexpr std::string_view kQuote = "a text begins with a quote";
constexpr std::string_view kYear = "epoch year outside 1957-2056 of the lines";
constexpr std::string_view kEpoch = "epoch changes when written";
constexpr std::string_view kMeanMotionZero = "mean motion below 5e-9 is written as zero";
constexpr std::string_view kNotFinite = "a value is not a finite number";
constexpr std::string_view kAuxCoef3 = "auxCoef3 of ephemeris type 6 has no CSV column";
constexpr std::string_view kCsvBlank = "CSV line cannot be written";
constexpr std::string_view kCsvLong = "CSV line may be cut at 512 characters";
constexpr std::string_view kCsvComma = "a text holds a comma";
constexpr std::string_view kCsvSlash = "a text holds a slash, which ends CSV input";
constexpr std::string_view kCsvUnread = "CSV line does not read back";
}  // namespace why

bool validClass(char c) { return c == ' ' || c == 'C' || c == 'S' || c == 'U'; }

bool holdsLineEnd(std::string_view text) {
  return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

bool beginsWithQuote(std::string_view text) {
  const std::string_view t = trimmed(text);
  return !t.empty() && (t.front() == '\'' || t.front() == '"');
}


// ---- Two lines ----------------------------------------------------------------

// A coefficient of line 1: a plain real field, or a five-digit mantissa and
// a one-digit exponent.
struct Coef {
  Cols mant;
  Cols exp;  // {0, 0} for the plain field of columns 34-43
  std::string_view doesNotFit;
  std::string_view asZero;
  std::string_view changes;
};

constexpr Coef kCoef1{line1::kCoef1, {0, 0}, "coefficient of columns 34-43 does not fit them", "",
                      "coefficient of columns 34-43 changes when written"};
constexpr Coef kCoef2{line1::kCoef2Mant, line1::kCoef2Exp, "coefficient of columns 45-52 is not a finite number",
                      "coefficient of columns 45-52 is 1e9 or more: written as zero",
                      "coefficient of columns 45-52 changes when written"};
constexpr Coef kCoef3{line1::kCoef3Mant, line1::kCoef3Exp, "coefficient of columns 54-61 is not a finite number",
                      "coefficient of columns 54-61 is 1e9 or more: written as zero",
                      "coefficient of columns 54-61 changes when written"};

std::string_view coefLoss(std::string_view l1, const Coef& c, double value) {
  const std::string_view mant = colText(l1, c.mant);
  if (c.exp.first == 0) {
    double back = 0;
    if (!fmt::readReal(mant, 0, back)) return c.doesNotFit;
    return fmt::readsbackwithin(value, back, fmt::halfunitshown(mant, 0)) ? std::string_view() : c.changes;
  }
  double back = 0;
  int32_t e = 0;
  // Read as the parser reads it: mantissa and exponent as one decimal.
  if (!fmt::readInt(colText(l1, c.exp), e) || !fmt::readRealScaled(mant, 5, e, back)) return c.doesNotFit;
  // Zero stands for every value below 1e-10 as well as for the values of
  // 1e9 and above that the one-digit exponent cannot hold.
  if (back == 0) return std::fabs(value) < 1e-10 ? std::string_view() : c.asZero;
  return fmt::readsbackwithin(value, back, 0.5e-5 * std::pow(10.0, e)) ? std::string_view() : c.changes;
}

// An element of line 2.
struct Element {
  Cols cols;
  int implied;
  double Tlerecord::*field;
  std::string_view doesNotFit;
  std::string_view changes;
};

constexpr Element kElements[] = {
    {line2::kIncli, 0, &Tlerecord::incli, "inclination does not fit line 2", "inclination changes when written"},
    {line2::kRaNode, 0, &Tlerecord::raNode, "right ascension does not fit line 2",
     "right ascension changes when written"},
    {line2::kEccen, 7, &Tlerecord::eccen, "eccentricity does not fit line 2", "eccentricity changes when written"},
    {line2::kArgPer, 0, &Tlerecord::argPer, "argument of perigee does not fit line 2",
     "argument of perigee changes when written"},
    {line2::kMnAnomaly, 0, &Tlerecord::mnAnomaly, "mean anomaly does not fit line 2",
     "mean anomaly changes when written"},
    {line2::kMnMotion, 0, &Tlerecord::mnMotion, "mean motion of 100 or more does not fit line 2",
     "mean motion changes when written"},
};

std::string_view epochLoss(const Tlerecord& rec, std::string_view l1) {
  int32_t year = 0;
  double days = 0;
  if (!fmt::readInt(colText(l1, line1::kEpochYr), year) || !fmt::readReal(colText(l1, line1::kEpochDays), 0, days))
    return why::kEpoch;
  to4digyr(year);
  // Compared as one instant: a day that rounds up to the next year is
  // written as day 1 of that year, which is no loss.
  const double written = yrdays2ds50(year, days);
  const double held = yrdays2ds50(rec.epochYr, rec.epochDays);
  if (fmt::readsbackwithin(held, written, 0.5e-8)) return {};
  return std::fabs(written - held) > 36000 ? why::kYear : why::kEpoch;
}

}  // namespace

std::string_view tlelinesloss(const Tlerecord& rec, const char* line1, const char* line2) {
  const std::string_view l1(line1, kLineLen);
  const std::string_view l2(line2, kLineLen);
  if (rec.satNum < 1 || rec.satNum > 339999) return why::kSatNum;
  if (!validClass(rec.secClass)) return why::kClass;
  if (holdsLineEnd(rec.name())) return why::kLineEnd;
  if (const std::string_view w = epochLoss(rec, l1); !w.empty()) return w;

  // The coefficients the lines carry for the set's ephemeris type.
  const double c1 = rec.ephType == 6 ? rec.auxCoef2 : rec.nDotO2;
  const double c2 = rec.ephType == 6 ? rec.auxCoef3 : rec.ephType == 4 ? rec.auxCoef1 : rec.n2DotO6;
  const double c3 = rec.ephType == 6 ? rec.auxCoef1 : rec.ephType == 4 ? rec.auxCoef2 : rec.bStar;
  for (const auto& [coef, value] : {std::pair{&kCoef1, c1}, std::pair{&kCoef2, c2}, std::pair{&kCoef3, c3}})
    if (const std::string_view w = coefLoss(l1, *coef, value); !w.empty()) return w;

  int32_t type = 0, elset = 0, rev = 0;
  const char typeCol[1] = {colChar(l1, line1::kEphType)};
  if (!fmt::readInt(std::string_view(typeCol, 1), type) || type != rec.ephType)
    return "ephemeris type changes when written";
  if (!fmt::readInt(colText(l1, line1::kElsetNum), elset) || elset != rec.elsetNum)
    return "element set number changes when written";

  for (const Element& e : kElements) {
    const std::string_view text = colText(l2, e.cols);
    double back = 0;
    if (!fmt::readReal(text, e.implied, back)) return e.doesNotFit;
    // The largest eccentricity below one is written in place of one that
    // would round up to one: a full unit of the seventh decimal.
    const double tol = e.field == &Tlerecord::eccen ? 1e-7 : fmt::halfunitshown(text, e.implied);
    if (!fmt::readsbackwithin(rec.*e.field, back, tol)) return e.changes;
    if (e.field == &Tlerecord::mnMotion && back <= 0) return why::kMeanMotionZero;
  }
  if (!fmt::readInt(colText(l2, line2::kRevNum), rev) || rev != rec.revNum)
    return "revolution number changes when written";
  return {};
}

// ---- CSV --------------------------------------------------------------------------

namespace {

template <class T>
struct Same {
  T Tlerecord::*field;
  std::string_view changes;
};

constexpr Same<double> kCsvReals[] = {
    {&Tlerecord::epochDays, "epoch day changes when written"},
    {&Tlerecord::nDotO2, "nDotO2 changes when written"},
    {&Tlerecord::n2DotO6, "n2DotO6 changes when written"},
    {&Tlerecord::bStar, "bStar changes when written"},
    {&Tlerecord::incli, "inclination changes when written"},
    {&Tlerecord::raNode, "right ascension changes when written"},
    {&Tlerecord::eccen, "eccentricity changes when written"},
    {&Tlerecord::argPer, "argument of perigee changes when written"},
    {&Tlerecord::mnAnomaly, "mean anomaly changes when written"},
    {&Tlerecord::mnMotion, "mean motion changes when written"},
    {&Tlerecord::auxCoef1, "auxCoef1 changes when written"},
    {&Tlerecord::auxCoef2, "auxCoef2 changes when written"},
};

constexpr Same<int32_t> kCsvInts[] = {
    {&Tlerecord::satNum, "satellite number changes when written"},
    {&Tlerecord::epochYr, "epoch year changes when written"},
    {&Tlerecord::ephType, "ephemeris type changes when written"},
    {&Tlerecord::elsetNum, "element set number changes when written"},
    {&Tlerecord::revNum, "revolution number changes when written"},
};

bool allFinite(const Tlerecord& rec) {
  for (const Same<double>& s : kCsvReals)
    if (!std::isfinite(rec.*s.field)) return false;
  if (const Csvtledata* x = rec.csvExt.get())
    for (double v : {x->csvVal1, x->csvVal2, x->csvVal3, x->csvVal4, x->csvVal5})
      if (!std::isfinite(v)) return false;
  return true;
}

std::string_view textOf(const auto& arr) { return {arr.data(), arr.size()}; }

}  // namespace

std::string_view tlecsvloss(const Tlerecord& rec, const char* csvLine) {
  if (!validClass(rec.secClass)) return why::kClass;
  if (!allFinite(rec)) return why::kNotFinite;
  if (rec.ephType == 6 && rec.auxCoef3 != 0) return why::kAuxCoef3;
  // Texts are screened first, so that reading the line back below cannot
  // fail (and log) on an unclosed quote.
  const Csvtledata* ext = rec.csvExt.get();
  for (std::string_view t : {rec.name(), ext ? textOf(ext->satNameLong) : std::string_view(),
                             ext ? textOf(ext->csvText) : std::string_view()}) {
    if (holdsLineEnd(t)) return why::kLineEnd;
    if (beginsWithQuote(t)) return why::kQuote;
    // A slash ends the reading of the line: the values after it keep
    // their defaults, so it names the loss better than the first of them.
    if (t.find('/') != std::string_view::npos) return why::kCsvSlash;
  }
  const std::string_view line(csvLine, kLineLen);
  if (isblankornull(line)) return why::kCsvBlank;
  if (line.back() != ' ') return why::kCsvLong;
  if (tlecardtype(line) != kCardCsv) return why::kCsvComma;

  Tlerecord back;
  if (csvline2tle(line, back) != 0) return why::kCsvUnread;
  if (back.secClass != rec.secClass) return "classification changes when written";
  for (const Same<int32_t>& s : kCsvInts)
    if (back.*s.field != rec.*s.field) return s.changes;
  for (const Same<double>& s : kCsvReals)
    if (back.*s.field != rec.*s.field) return s.changes;
  if (back.satName != rec.satName) return "satellite name changes when written";
  if (ext != nullptr && back.csvExt != nullptr) {
    const Csvtledata& b = *back.csvExt;
    if (b.satNameLong != ext->satNameLong) return "long satellite name changes when written";
    if (b.csvNum != ext->csvNum) return "CSV integer changes when written";
    if (b.csvVal1 != ext->csvVal1 || b.csvVal2 != ext->csvVal2 || b.csvVal3 != ext->csvVal3 ||
        b.csvVal4 != ext->csvVal4 || b.csvVal5 != ext->csvVal5)
      return "CSV values change when written";
    if (b.csvText != ext->csvText) return "CSV text changes when written";
  }
  return {};
}

}  // namespace vx::tle
