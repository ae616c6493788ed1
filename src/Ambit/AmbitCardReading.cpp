#include "Ambit/AmbitCardReading.h"

#include <array>
#include <cstring>

#include "Ambit/AmbitProcessing.h"
#include "Ambit/AmbitTypes.h"
#include "Services/kernix.h"

namespace vx::ambit {
namespace {

// Message texts, by the routine that writes them.
namespace msg {
constexpr std::string_view kUnitFortN = "ReadAmbitFrFileUnit: Using fort.n not allowed in Veltrix due to security risk";
constexpr std::string_view kUnitRewind = "ReadAmbitFrFileUnit: Cannot rewind the environment file";
constexpr std::string_view kLoadReading = "EnvLoadFile: Reading environment parameters from file ";
constexpr std::string_view kSaveWriting = "EnvSaveFile: Error writing environment parameters to file ";
}  // namespace msg

// Builds one log line of a fixed text and a quoted file name, ended by a
// full stop, and hands it to log.
template <class Log>
void logwithname(Log log, std::string_view text, std::string_view name) {
  std::array<char, 600> buf;
  size_t n = 0;
  auto put = [&](std::string_view s) {
    for (char c : s)
      if (n < buf.size()) buf[n++] = c;
  };
  put(text);
  put("\"");
  put(name);
  put("\".");
  log(std::string_view(buf.data(), n));
}

// Copies line into a blank-filled card buffer (cut at kCardLen).
std::string_view tocard(std::string_view line, std::array<char, kCardLen>& card) {
  card.fill(' ');
  const size_t n = line.size() < kCardLen ? line.size() : kCardLen;
  std::memcpy(card.data(), line.data(), n);
  return {card.data(), kCardLen};
}

// The value of a card, left-adjusted and without trailing blanks.
std::string_view cardvalue(std::string_view line, std::array<char, kCardLen>& value) {
  getinputstr(line, value.data(), value.size());
  return rtrimmed(std::string_view(value.data(), value.size()));
}

// The environment file as written: its lines in order.
constexpr std::string_view kGeoHeading = "*** Geopotential Model ***";
constexpr std::string_view kGeoKeyword = "BCONST=";
constexpr std::string_view kFkHeading = "*** FK Model ***";
constexpr std::string_view kFkKeyword = "FKCONST=";

}  // namespace

int32_t classifyambitcard(std::string_view upperLine) {
  if (upperLine.starts_with("GEOCONST") || upperLine.starts_with("BCONST")) return kGeoCard;
  if (upperLine.starts_with("FKCONST")) return kFkCard;
  if (upperLine.starts_with("OBLATEEARTH")) return kOblateCard;
  if (upperLine.starts_with("SPHERICALEARTH")) return kSphericalCard;
  return kOtherCard;
}

int32_t ambitcardtype(std::string_view upperLine) {
  const int32_t cls = classifyambitcard(upperLine);
  if (cls == kOblateCard) setearthshape(1);
  if (cls == kSphericalCard) setearthshape(0);
  return cls;
}

int32_t geocardchoice(std::string_view line) {
  std::array<char, kCardLen> buf;
  const std::string_view value = cardvalue(line, buf);
  // "SPECTR" keeps the current set only as written; any other case of it is
  // an unknown name.
  if (value == "SPECTR") return 0;
  return geostr2idx(value);
}

int32_t fkcardchoice(std::string_view line) {
  std::array<char, kCardLen> buf;
  getinputstr(line, buf.data(), buf.size());
  touppercase(buf.data(), buf.size());
  const std::string_view value = rtrimmed(std::string_view(buf.data(), buf.size()));
  return value == "FK4" || value == "4" ? 4 : 5;
}

void applyambitcard(std::string_view line) {
  std::array<char, kCardLen> card;
  const std::string_view text = tocard(line, card);
  if (text[0] == '*' || isblankornull(text)) return;
  std::array<char, kCardLen> upper = card;
  touppercase(upper.data(), upper.size());
  switch (ambitcardtype(std::string_view(upper.data(), upper.size()))) {
    case kGeoCard: {
      const int32_t idx = geocardchoice(text);
      if (idx != 0) setenvgeo(idx);
      break;
    }
    case kFkCard:
      setenvfk(fkcardchoice(text));
      break;
    default:
      break;
  }
}

int32_t readambitfrfileunit(int32_t unit) {
  if (existfortdotfileunit(unit)) {
    tracelogerror(msg::kUnitFortN);
    return VX_FAIL;
  }
  // A file that cannot be rewound (a pipe) is refused rather than taken as
  // read: its cards would otherwise be lost without a word.
  if (filerewind(unit) != 0) {
    tracelogerror(msg::kUnitRewind);
    return VX_FAIL;
  }
  std::array<char, kCardLen> line;
  // The end of the file and a read error both end the reading; cards read
  // so far stay in effect.
  while (filereadline(unit, line.data(), line.size())) applyambitcard(std::string_view(line.data(), line.size()));
  return VX_OK;
}

int32_t readambitfrfile(std::string_view name) {
  const int32_t rc = fileopen(kEnvInputUnit, name, kFileRead, "EnvLoadFile");
  if (rc != VX_OK) return rc;
  const int32_t result = readambitfrfileunit(kEnvInputUnit);
  fileclose(kEnvInputUnit);
  return result;
}

int32_t loadambitfile(std::string_view name) {
  const std::string_view file = trimmed(name);
  logwithname([](std::string_view m) { traceloginfo(m); }, msg::kLoadReading, file);
  return readambitfrfile(file);
}

int32_t saveambitfile(std::string_view name, int32_t saveMode) {
  const std::string_view file = trimmed(name);
  const int32_t rc =
      fileopen(kEnvOutputUnit, file, saveMode == VX_SAVE_CREATE ? kFileCreate : kFileAppend, "EnvSaveFile");
  if (rc != VX_OK) return rc;

  // One reading of the choice, so the two cards always belong together.
  const Environment env = currentenvironment();
  std::array<char, 16> geoCard{};
  std::array<char, 16> fkCard{};
  const std::string_view geoName = getgeostr(env.currgeo);
  const std::string_view fkName = getfkstring(env.currfk);
  std::memcpy(geoCard.data(), kGeoKeyword.data(), kGeoKeyword.size());
  std::memcpy(geoCard.data() + kGeoKeyword.size(), geoName.data(), geoName.size());
  std::memcpy(fkCard.data(), kFkKeyword.data(), kFkKeyword.size());
  std::memcpy(fkCard.data() + kFkKeyword.size(), fkName.data(), fkName.size());
  const std::string_view lines[] = {
      "", "", "", kGeoHeading, {geoCard.data(), kGeoKeyword.size() + geoName.size()},
      kFkHeading, {fkCard.data(), kFkKeyword.size() + fkName.size()},
  };

  bool written = true;
  for (std::string_view l : lines) {
    if (filewriteline(kEnvOutputUnit, l) != 0) {
      written = false;
      break;
    }
  }
  // Lines are buffered: a full disk may show only when the file is closed.
  if (fileclose(kEnvOutputUnit) != 0) written = false;
  if (!written) {
    logwithname([](std::string_view m) { tracelogerror(m); }, msg::kSaveWriting, file);
    return VX_FAIL;
  }
  return VX_OK;
}

}  // namespace vx::ambit
