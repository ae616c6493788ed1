#include "Tle/TleTypes.h"

#include <algorithm>
#include <cstring>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/Text.h"
#include "Services/chronom.h"

namespace vx::tle {

Tlerecord& Tlerecord::operator=(const Tlerecord& o) {
  if (this == &o) return *this;
  // Allocate the copies first so that a failed allocation leaves *this whole.
  std::unique_ptr<Csvtledata> ext = o.csvExt ? std::make_unique<Csvtledata>(*o.csvExt) : nullptr;
  std::unique_ptr<char[]> objectName;
  if (o.objName) {
    const size_t n = std::strlen(o.objName.get()) + 1;
    objectName = std::make_unique<char[]>(n);
    std::memcpy(objectName.get(), o.objName.get(), n);
  }
  std::unique_ptr<MnvrCard[]> cards;
  if (o.mnvrCards) {
    cards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
    std::copy(o.mnvrCards.get(), o.mnvrCards.get() + kMaxMnvrCards, cards.get());
  }
  satNum = o.satNum;
  secClass = o.secClass;
  satName = o.satName;
  epochYr = o.epochYr;
  epochDays = o.epochDays;
  nDotO2 = o.nDotO2;
  n2DotO6 = o.n2DotO6;
  auxCoef1 = o.auxCoef1;
  bStar = o.bStar;
  ephType = o.ephType;
  elsetNum = o.elsetNum;
  incli = o.incli;
  raNode = o.raNode;
  eccen = o.eccen;
  argPer = o.argPer;
  mnAnomaly = o.mnAnomaly;
  mnMotion = o.mnMotion;
  revNum = o.revNum;
  auxCoef2 = o.auxCoef2;
  auxCoef3 = o.auxCoef3;
  csvExt = std::move(ext);
  objName = std::move(objectName);
  mnvrCards = std::move(cards);
  numMnvrCards = o.numMnvrCards;
  return *this;
}

void Tlerecord::setObjectName(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) {
    objName.reset();
    return;
  }
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  objName = std::move(copy);
}

size_t firstcontrolchar(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u < 32 || u == 127) return i;
  }
  return std::string_view::npos;
}

void freetlerecord(Tlerecord& rec) {
  rec.csvExt.reset();
  rec.objName.reset();
  rec.mnvrCards.reset();
}

bool isephtype(int32_t ephType) {
  for (const EphTypeCode& t : kEphTypeCodes)
    if (t.ephType == ephType) return true;
  return false;
}

int32_t tletype2elttype(int32_t ephType) {
  for (const EphTypeCode& t : kEphTypeCodes)
    if (t.ephType == ephType) return t.code;
  return 1;
}

bool tleelsettype(int32_t code) {
  for (const EphTypeCode& t : kEphTypeCodes)
    if (t.code == code) return true;
  return false;
}

namespace {

// The two-digit year of text, when it is one of the designator window.
bool designatoryear(std::string_view twoDigits, int32_t& yy) {
  return strtoint(twoDigits, yy) && yy >= kTwoDigitYearWindowStart && yy <= 99;
}

}  // namespace

ShortName shortnameoflong(const LongName& longName) {
  ShortName name;
  const std::string_view text(longName.data(), longName.size());
  int32_t yy = 0;
  if (designatoryear(text.substr(2, 2), yy)) {
    std::memcpy(name.data(), text.data() + 2, 2);
    std::memcpy(name.data() + 2, text.data() + 5, 6);
  } else {
    std::memcpy(name.data(), text.data(), name.size());
  }
  return name;
}

LongName longnameofshort(const ShortName& name) {
  LongName longName;
  longName.fill(' ');
  const std::string_view text(name.data(), name.size());
  int32_t yy = 0;
  if (designatoryear(text.substr(0, 2), yy)) {
    to4digyr(yy);
    fmt::writeI(longName.data(), 4, yy, 4);
    longName[4] = '-';
    std::memcpy(longName.data() + 5, text.data() + 2, 6);
  } else {
    std::memcpy(longName.data(), text.data(), text.size());
  }
  return longName;
}

int64_t tlefields2satkey(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType) {
  return createsatkey(satNum, tletype2elttype(ephType), {}, yrdays2ds50(epochYr, epochDays));
}

}  // namespace vx::tle
