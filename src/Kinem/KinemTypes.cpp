#include "Kinem/KinemTypes.h"

#include <algorithm>
#include <cstring>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/Text.h"
#include "Services/chronom.h"

namespace vx::kinem {

Kinemrecord& Kinemrecord::operator=(const Kinemrecord& o) {
  if (this == &o) return *this;
  // Allocate the copies first so that a failed allocation leaves *this whole.
  std::unique_ptr<Covariance> cov = o.covariance ? std::make_unique<Covariance>(*o.covariance) : nullptr;
  std::unique_ptr<Card4pinput> ctl = o.controls ? std::make_unique<Card4pinput>(*o.controls) : nullptr;
  std::unique_ptr<MnvrCard[]> cards;
  if (o.mnvrCards) {
    cards = std::make_unique<MnvrCard[]>(kMaxMnvrCards);
    std::copy(o.mnvrCards.get(), o.mnvrCards.get() + kMaxMnvrCards, cards.get());
  }
  pos = o.pos;
  vel = o.vel;
  secClass = o.secClass;
  satNum = o.satNum;
  intlDes = o.intlDes;
  epochDtg = o.epochDtg;
  epochRev = o.epochRev;
  elsetNum = o.elsetNum;
  bTerm = o.bTerm;
  agom = o.agom;
  thrustAcc = o.thrustAcc;
  coordSys = o.coordSys;
  spareInt = o.spareInt;
  weightedRms = o.weightedRms;
  covariance = std::move(cov);
  controls = std::move(ctl);
  mnvrCards = std::move(cards);
  numMnvrCards = o.numMnvrCards;
  return *this;
}

void freekinemrecord(Kinemrecord& rec) {
  rec.mnvrCards.reset();
  rec.covariance.reset();
  rec.controls.reset();
}

bool kinemelsettype(int32_t code) { return code == kKinemEltType; }

bool iscoordsys(std::string_view code5) {
  for (std::string_view c : {kCoordSysDate, kCoordSysEpoch, kCoordSys1950, kCoordSysJ2000, kCoordSysNone})
    if (code5 == c) return true;
  return false;
}

bool epochds50(const Kinemrecord& rec, double& ds50) {
  bool ok = false;
  ds50 = dtgtods50(rec.epoch(), &ok);
  return ok;
}

bool equal(const Kinemrecord& a, const Kinemrecord& b) {
  if (a.satNum != b.satNum) return false;
  double ea = 0, eb = 0;
  epochds50(a, ea);
  epochds50(b, eb);
  if (neqr(ea, eb)) return false;
  if (a.coordSys != b.coordSys) return false;
  for (size_t i = 0; i < 3; ++i)
    if (neqr(a.pos[i], b.pos[i])) return false;
  for (size_t i = 0; i < 3; ++i)
    if (neqr(a.vel[i], b.vel[i])) return false;
  return !neqr(a.bTerm, b.bTerm) && !neqr(a.agom, b.agom) && !neqr(a.thrustAcc, b.thrustAcc);
}

void fieldstostr(const Kinemrecord& rec, char text[32]) {
  std::memset(text, ' ', 32);
  fmt::writeI(text, 9, rec.satNum, 9);
  double ds50 = 0;
  epochds50(rec, ds50);
  fmt::writeF(text + 9, 16, 9, ds50);
}

int64_t kinemrecsatkey(const Kinemrecord& rec) { return createsatkey(rec.satNum, kKinemEltType, rec.epoch(), 0.0); }

int64_t fieldstosatkey(int32_t satNum, std::string_view epochText) {
  char text[kEpochTextLen];
  std::memset(text, ' ', sizeof text);
  // Left-adjusted: leading blanks go, the rest keeps its order.
  const std::string_view given = epochText.substr(0, std::min(epochText.size(), kEpochTextLen));
  const size_t skip = given.find_first_not_of(' ');
  if (skip != std::string_view::npos) {
    const std::string_view rest = given.substr(skip);
    std::memcpy(text, rest.data(), rest.size());
  }
  blanktozerochar(text + 2, sizeof text - 2);
  return createsatkey(satNum, kKinemEltType, std::string_view(text, sizeof text), 0.0);
}

}  // namespace vx::kinem
