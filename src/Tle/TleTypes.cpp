#include "Tle/TleTypes.h"

#include <algorithm>

#include "Services/chronom.h"

namespace vx::tle {

Tlerecord& Tlerecord::operator=(const Tlerecord& o) {
  if (this == &o) return *this;
  // Allocate the copies first so that a failed allocation leaves *this whole.
  std::unique_ptr<Csvtledata> ext = o.csvExt ? std::make_unique<Csvtledata>(*o.csvExt) : nullptr;
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
  mnvrCards = std::move(cards);
  numMnvrCards = o.numMnvrCards;
  return *this;
}

void freetlerecord(Tlerecord& rec) {
  rec.csvExt.reset();
  rec.mnvrCards.reset();
}

int32_t tletype2elttype(int32_t ephType) {
  switch (ephType) {
    case 6: return 3;
    case 2: return 2;
    case 4: return 7;
    default: return 1;
  }
}

bool tleelsettype(int32_t code) { return code == 1 || code == 2 || code == 3 || code == 7; }

int64_t tlefields2satkey(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType) {
  return createsatkey(satNum, tletype2elttype(ephType), {}, yrdays2ds50(epochYr, epochDays));
}

}  // namespace vx::tle
