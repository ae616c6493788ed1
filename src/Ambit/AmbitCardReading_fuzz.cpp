// Feeds one environment-file line (at most one card of 512 characters) to
// the card classifier and the value parsers, then carries it out, checking:
//  - the class is one of the known ones and does not change when the
//    upper-cased line is upper-cased again;
//  - a geopotential card chooses a set index or keeps the set ("SPECTR"),
//    an FK card chooses 4 or 5, and what it chooses comes back unchanged
//    from the card the save writes for it;
//  - after the line is carried out the current choice is still a valid one.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "Ambit/AmbitCardReading.h"
#include "Ambit/AmbitProcessing.h"
#include "Ambit/AmbitTypes.h"
#include "Platform/kernix/core/Text.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vx::ambit;
  const size_t n = size < kCardLen ? size : kCardLen;
  std::array<char, kCardLen> line;
  line.fill(' ');
  if (n > 0) std::memcpy(line.data(), data, n);
  const std::string_view card(line.data(), line.size());

  std::array<char, kCardLen> upper = line;
  vx::touppercase(upper.data(), upper.size());
  const std::string_view up(upper.data(), upper.size());
  const int32_t cls = classifyambitcard(up);
  require(cls == kGeoCard || cls == kFkCard || cls == kOblateCard || cls == kSphericalCard || cls == kOtherCard);
  std::array<char, kCardLen> again = upper;
  vx::touppercase(again.data(), again.size());
  require(classifyambitcard(std::string_view(again.data(), again.size())) == cls);

  const int32_t geo = geocardchoice(card);
  require(geo == 0 || isvalidgeoidx(geo));
  if (geo != 0) require(geocardchoice("BCONST=" + std::string(getgeostr(geo))) == geo);
  const int32_t fk = fkcardchoice(card);
  require(fk == 4 || fk == 5);
  require(fkcardchoice("FKCONST=" + std::string(getfkstring(fk))) == fk);

  applyambitcard(card);
  require(isvalidgeoidx(getenvgeo()));
  require(isvalidfkidx(getenvfk()));
  // Back to the state at load for the next input.
  setearthshape(1);
  setenvgeo(72);
  setenvfk(5);
  return 0;
}
