#include "Tle/TleCardReading.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "Platform/kernix/core/Format.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kLine1ToSatKeyInvalid = "Line1ToSatKey: Invalid TLE's 1st line.";
constexpr std::string_view kLine1Prefix = "Lines2Tle: Line1 = '";
constexpr std::string_view kLine2Prefix = "Lines2Tle: Line2 = '";
constexpr std::string_view kLineSuffix = "'.";
constexpr std::string_view kInvalidLine1 = "Lines2Tle: Invalid TLE's first line.";
constexpr std::string_view kInvalidLine2 = "Lines2Tle: Invalid TLE's second line.";
constexpr std::string_view kClassifyPrefix = "Lines2Tle: Unknown TLE's classify level '";
constexpr std::string_view kCannotRead1 = "Lines2Tle: Cannot read TLE's first line.";
constexpr std::string_view kCannotRead2 = "Lines2Tle: Cannot read TLE's second line.";
constexpr std::string_view kBadCsvPrefix = "CsvLine2Tle: Bad CSV TLE (";
constexpr std::string_view kBadCsvSuffix = ").";
constexpr std::string_view kCsvNoMemory = "CsvLine2Tle: Memory allocation failed";
constexpr std::string_view kSatNumsDifferPrefix = "Warning-Lines2Tle: Line 1 is of satellite ";
constexpr std::string_view kSatNumsDifferMiddle = ", line 2 of satellite ";
constexpr std::string_view kSatNumsDifferSuffix = "; line 1's number is used.";
}  // namespace msg

namespace {

// Logs prefix + text + suffix as one error line.
void logQuoted(std::string_view prefix, std::string_view text, std::string_view suffix) {
  LongLogLine().text(prefix).text(text).text(suffix).error();
}

}  // namespace

// ---- Classification ----------------------------------------------------------

bool iscsvtle(std::string_view line) {
  if (line.empty()) return false;
  const char first = line[0];
  if (first != ' ' && first != ',' && first != 'C' && first != 'S' && first != 'U') return false;
  return std::count(line.begin(), line.end(), ',') == 25;
}

int32_t tlecardtype(std::string_view line) {
  const char c63 = colChar(line, line1::kEphType);
  if (colChar(line, 1) == '1' && colChar(line, line1::kEpochPoint) == '.' &&
      (c63 == '0' || c63 == '1' || c63 == '2' || c63 == '4' || c63 == '6' || c63 == ' '))
    return kCardLine1;
  if (colChar(line, 1) == '2' && colChar(line, 2) == ' ' && colChar(line, line2::kIncliPoint) == '.' &&
      colChar(line, line2::kRaNodePoint) == '.' && colChar(line, line2::kMnMotionPoint) == '.')
    return kCardLine2;
  for (std::string_view word : kFileCardKeywords)
    if (line.starts_with(word)) return kCardFile;
  if (iscsvtle(line)) return kCardCsv;
  if (line.starts_with(kDmaCardKeyword)) return kCardDma;
  return kCardOther;
}

// ---- Key of a line 1 -----------------------------------------------------------

int32_t line1keycheck(std::string_view line1) {
  const int32_t satNum = alpha5tonum(colText(line1, line1::kSatNum));
  const std::string_view epochText = colText(line1, line1::kEpochText);
  // The ephemeris type of column 63, a blank being type 0.
  const char typeChar = colChar(line1, line1::kEphType);
  const int32_t ephType = typeChar == ' ' ? 0 : typeChar - '0';
  const bool typeOk = (typeChar == ' ' || (typeChar >= '0' && typeChar <= '9')) && isephtype(ephType);
  if (satNum == 0 || isblankornull(epochText) || epochText == "00000000000000" || !typeOk) {
    tracelogerror(msg::kLine1ToSatKeyInvalid);
    return -1;
  }
  return satNum;
}

int64_t line1tosatkey(std::string_view line1) {
  const int32_t satNum = line1keycheck(line1);
  if (satNum == -1) return -1;
  char epoch[14];
  std::memset(epoch, ' ', sizeof epoch);
  const std::string_view epochCols = colText(line1, line1::kEpochText);
  std::memcpy(epoch, epochCols.data(), epochCols.size());
  blanktozerochar(epoch, sizeof epoch);
  const char typeChar = colChar(line1, line1::kEphType);
  const int32_t ephType = typeChar == ' ' ? 0 : typeChar - '0';
  return createsatkey(satNum, tletype2elttype(ephType), std::string_view(epoch, sizeof epoch), 0.0);
}

// ---- Two-line parser -------------------------------------------------------------

double gettlevalue(double mantissa, int32_t exponent) {
  // The correctly rounded power of ten, as std::pow gives it, without its
  // cost on every line read: 10^k is exact, and 1 / 10^k rounds once to the
  // double nearest 10^-k.
  using fmt::kExactPow10;
  using fmt::kMaxExactPow10;
  double p = 0;
  if (exponent >= 0 && exponent <= kMaxExactPow10)
    p = kExactPow10[exponent];
  else if (exponent < 0 && exponent >= -kMaxExactPow10)
    p = 1.0 / kExactPow10[-exponent];
  else
    p = std::pow(10.0, exponent);
  return p * mantissa;
}

namespace {

// Reads every numeric field of line 1 into rec; false when one does not read.
bool readLine1(std::string_view l1, Tlerecord& rec) {
  double coef1 = 0, coef2 = 0, coef3 = 0;
  int32_t exp2 = 0, exp3 = 0;
  const std::string_view name = colText(l1, line1::kSatName);
  std::memcpy(rec.satName.data(), name.data(), name.size());
  if (!fmt::readInt(colText(l1, line1::kEpochYr), rec.epochYr)) return false;
  if (!fmt::readReal(colText(l1, line1::kEpochDays), 0, rec.epochDays)) return false;
  if (!fmt::readReal(colText(l1, line1::kCoef1), 0, coef1)) return false;
  // A mantissa and its exponent are read as one decimal, rounded once: the
  // mantissa read alone would already be rounded, and scaling it by a power
  // of ten would round again ("20000-5" would not read as 2e-06).
  if (!fmt::readInt(colText(l1, line1::kCoef2Exp), exp2)) return false;
  if (!fmt::readRealScaled(colText(l1, line1::kCoef2Mant), 5, exp2, coef2)) return false;
  if (!fmt::readInt(colText(l1, line1::kCoef3Exp), exp3)) return false;
  if (!fmt::readRealScaled(colText(l1, line1::kCoef3Mant), 5, exp3, coef3)) return false;
  const char type[1] = {colChar(l1, line1::kEphType)};
  if (!fmt::readInt(std::string_view(type, 1), rec.ephType)) return false;
  if (!fmt::readInt(colText(l1, line1::kElsetNum), rec.elsetNum)) return false;

  rec.nDotO2 = coef1;
  rec.n2DotO6 = coef2;
  rec.bStar = coef3;
  rec.auxCoef1 = 0;
  rec.auxCoef2 = 0;
  if (rec.ephType == 4) {
    rec.auxCoef1 = coef2;
    rec.auxCoef2 = coef3;
    rec.n2DotO6 = 0;
    rec.bStar = 0;
  } else if (rec.ephType == 6) {
    rec.auxCoef2 = coef1;
    rec.auxCoef3 = coef2;
    rec.auxCoef1 = coef3;
    rec.n2DotO6 = 0;
    rec.bStar = 0;
  }
  return true;
}

bool readLine2(std::string_view l2, Tlerecord& rec) {
  return fmt::readReal(colText(l2, line2::kIncli), 0, rec.incli) &&
         fmt::readReal(colText(l2, line2::kRaNode), 0, rec.raNode) &&
         fmt::readReal(colText(l2, line2::kEccen), 7, rec.eccen) &&
         fmt::readReal(colText(l2, line2::kArgPer), 0, rec.argPer) &&
         fmt::readReal(colText(l2, line2::kMnAnomaly), 0, rec.mnAnomaly) &&
         fmt::readReal(colText(l2, line2::kMnMotion), 0, rec.mnMotion) &&
         fmt::readInt(colText(l2, line2::kRevNum), rec.revNum);
}

}  // namespace

int32_t lines2tle(std::string_view l1, std::string_view l2, Tlerecord& rec) {
  if (tlecardtype(l1) == kCardCsv) return csvline2tle(l1, rec);
  return parsetlepair(l1, l2, rec);
}

int32_t parsetlepair(std::string_view l1, std::string_view l2, Tlerecord& rec) {
  rec.reset();
  if (colText(l1, line1::kLineNo) != "1 " || colChar(l1, line1::kEpochPoint) != '.') {
    logQuoted(msg::kLine1Prefix, l1, msg::kLineSuffix);
    tracelogerror(msg::kInvalidLine1);
    return 2;
  }
  if (colText(l2, line2::kLineNo) != "2 " || colChar(l2, line2::kIncliPoint) != '.' ||
      colChar(l2, line2::kRaNodePoint) != '.' || colChar(l2, line2::kMnMotionPoint) != '.') {
    logQuoted(msg::kLine2Prefix, l2, msg::kLineSuffix);
    tracelogerror(msg::kInvalidLine2);
    return 2;
  }
  const char cls = colChar(l1, line1::kSecClass);
  if (cls != ' ' && cls != 'C' && cls != 'S' && cls != 'U') {
    logQuoted(msg::kLine1Prefix, l1, msg::kLineSuffix);
    logQuoted(msg::kClassifyPrefix, std::string_view(&cls, 1), msg::kLineSuffix);
    return 2;
  }
  rec.secClass = cls;
  if (!readLine1(l1, rec)) {
    logQuoted(msg::kLine1Prefix, l1, msg::kLineSuffix);
    tracelogerror(msg::kCannotRead1);
    return 2;
  }
  if (!readLine2(l2, rec)) {
    logQuoted(msg::kLine2Prefix, l2, msg::kLineSuffix);
    tracelogerror(msg::kCannotRead2);
    return 2;
  }
  rec.satNum = alpha5tonum(colText(l1, line1::kSatNum));
  const int32_t status = validatetlevalues(rec);
  // Lines of two satellites are taken as the satellite of line 1, but not
  // silently. A blank number on line 2 names no satellite.
  const std::string_view num2 = colText(l2, line2::kSatNum);
  if (status == 0 && !isblankornull(num2)) {
    if (const int32_t satNum2 = alpha5tonum(num2); satNum2 != rec.satNum)
      LogLine()
          .text(msg::kSatNumsDifferPrefix)
          .num(rec.satNum)
          .text(msg::kSatNumsDifferMiddle)
          .num(satNum2)
          .text(msg::kSatNumsDifferSuffix)
          .info();
  }
  return status;
}

// ---- CSV parser ------------------------------------------------------------------

int32_t csvline2tle(std::string_view line, Tlerecord& rec) {
  using Got = fmt::ListReader::Got;
  rec.reset();
  const std::string_view text = trimmed(line);
  if (!text.empty() && text.front() == ',') rec.secClass = ' ';

  Csvtledata ext;
  fmt::ListReader in(text);
  bool ok = true;
  auto text1 = [&](char& c) {
    char buf[1] = {c};
    if (in.readText(buf, 1) == Got::Error) ok = false;
    c = buf[0];
  };
  auto textN = [&](auto& arr) {
    if (ok && in.readText(arr.data(), arr.size()) == Got::Error) ok = false;
  };
  auto i32 = [&](int32_t& v) {
    if (ok && in.readInt(v) == Got::Error) ok = false;
  };
  auto f64 = [&](double& v) {
    if (ok && in.readReal(v) == Got::Error) ok = false;
  };
  text1(rec.secClass);
  i32(rec.satNum);
  textN(ext.satNameLong);
  i32(rec.epochYr);
  f64(rec.epochDays);
  f64(rec.nDotO2);
  f64(rec.n2DotO6);
  f64(rec.bStar);
  i32(rec.ephType);
  i32(rec.elsetNum);
  f64(rec.incli);
  f64(rec.raNode);
  f64(rec.eccen);
  f64(rec.argPer);
  f64(rec.mnAnomaly);
  f64(rec.mnMotion);
  i32(rec.revNum);
  i32(ext.csvNum);
  f64(rec.auxCoef1);
  f64(rec.auxCoef2);
  f64(ext.csvVal1);
  f64(ext.csvVal2);
  f64(ext.csvVal3);
  f64(ext.csvVal4);
  f64(ext.csvVal5);
  textN(ext.csvText);
  if (!ok) {
    logQuoted(msg::kBadCsvPrefix, line, msg::kBadCsvSuffix);
    return 2;
  }

  rec.satName = shortnameoflong(ext.satNameLong);

  try {
    rec.csvExt = std::make_unique<Csvtledata>(ext);
  } catch (const std::bad_alloc&) {
    tracelogerror(msg::kCsvNoMemory);
    return 2;
  }
  return 0;
}

}  // namespace vx::tle
