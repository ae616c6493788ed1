// The state-vector record held, parsed, written and handed out by the kinem
// library, its controls record, and the keys made from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace vx::kinem {

// Room of a record's maneuver-card list, and the length of one card.
inline constexpr int32_t kMaxMnvrCards = 100;
inline constexpr size_t kCardLen = 512;
using MnvrCard = std::array<char, kCardLen>;
// Terms of a covariance (the lower triangle of a 10 x 10 matrix).
inline constexpr size_t kCovTerms = 55;
using Covariance = std::array<double, kCovTerms>;
// Element-set type code of every state vector, in keys and DMA objects.
inline constexpr int32_t kKinemEltType = 4;
// Lengths of the record's text fields.
inline constexpr size_t kIntlDesLen = 8;
inline constexpr size_t kEpochDtgLen = 17;
inline constexpr size_t kCoordSysLen = 5;
// Length of the epoch text the key-from-fields functions take.
inline constexpr size_t kEpochTextLen = 20;

// Force-model and integrator controls that come with a vector from the
// outside orbit-determination system's files or the array form.
struct Card4pinput {
  int32_t ctlFlagA = 0;
  int32_t ctlFlagB = 0;
  int32_t ctlFlagC = 0;
  int32_t ctlCode = 12;
  int32_t geopotFlag = 0;
  int32_t dragModel = 0;  // 0 none; 2, 3 or 4 by the atmosphere model
  int32_t radPresFlag = 0;
  int32_t lunarSolarFlag = 0;
  int32_t f10 = 0;
  int32_t f10Bar = 0;
  int32_t ap = 0;
  int32_t zonalDeg = 0;
  int32_t errCtrl = 10;  // tolerance 10^-errCtrl
  int32_t thrustFlag = 0;
  int32_t solidTidesFlag = 0;
  std::array<int32_t, 7> spare{};
  int32_t nutTerms = 0;  // 4, 50 or 106; 0 not set
  int32_t spareCtl = 0;
  int32_t integMode = 0;  // 1 time, 2 s-integration, 0 not set
  int32_t spareCtl2 = 0;
  int32_t stepMode = 0;  // 1 fixed step, 0 variable
  double stepSize = 0;
  std::array<char, kCardLen> ctlText1;
  std::array<char, kCardLen> ctlText2;
  std::array<char, kCardLen> ctlText3;

  Card4pinput() {
    ctlText1.fill(' ');
    ctlText2.fill(' ');
    ctlText3.fill(' ');
  }
};

// One state vector. A record owns its covariance, its controls and its
// maneuver cards; copies are deep, so a stored record is never shared with a
// caller. The members are grouped by size rather than listed in their
// logical order (state, classification, number, designator, epoch,
// revolution, element set, terms, coordinate system, optional parts), which
// keeps a stored vector 16 bytes smaller.
struct Kinemrecord {
  std::array<double, 3> pos{};  // km
  std::array<double, 3> vel{};  // m/s
  double bTerm = 0;             // m^2/kg
  double agom = 0;              // m^2/kg
  double thrustAcc = 0;         // km/s^2
  double weightedRms = 0;
  std::unique_ptr<Covariance> covariance;
  std::unique_ptr<Card4pinput> controls;
  std::unique_ptr<MnvrCard[]> mnvrCards;  // kMaxMnvrCards lines when present
  int32_t satNum = 0;
  int32_t epochRev = 0;
  int32_t elsetNum = 0;
  int32_t spareInt = 0;
  int32_t numMnvrCards = 0;
  std::array<char, kIntlDesLen> intlDes;
  std::array<char, kEpochDtgLen> epochDtg;
  std::array<char, kCoordSysLen> coordSys;
  char secClass = 'U';

  Kinemrecord() {
    intlDes.fill(' ');
    epochDtg.fill(' ');
    coordSys.fill(' ');
  }
  Kinemrecord(const Kinemrecord& o) { *this = o; }
  Kinemrecord(Kinemrecord&&) noexcept = default;
  Kinemrecord& operator=(const Kinemrecord& o);
  Kinemrecord& operator=(Kinemrecord&&) noexcept = default;
  ~Kinemrecord() = default;

  void reset() { *this = Kinemrecord(); }
  std::string_view epoch() const { return {epochDtg.data(), epochDtg.size()}; }
  std::string_view coord() const { return {coordSys.data(), coordSys.size()}; }
};
static_assert(sizeof(Kinemrecord) <= 160, "a stored vector's record stays small");

// Releases a record's maneuver cards, covariance and controls
// (numMnvrCards is left as it is).
void freekinemrecord(Kinemrecord& rec);

// True for the element-set type code of state vectors, 4.
bool kinemelsettype(int32_t code);

// Coordinate-system codes a record may carry (five blanks: not specified).
inline constexpr std::string_view kCoordSysDate = "TMDAT";
inline constexpr std::string_view kCoordSysEpoch = "TMEPO";
inline constexpr std::string_view kCoordSys1950 = "MMB50";
inline constexpr std::string_view kCoordSysJ2000 = "MMJ2K";
inline constexpr std::string_view kCoordSysNone = "     ";
bool iscoordsys(std::string_view code5);

// Days since 1950 of the record's epoch text; false when it does not read.
bool epochds50(const Kinemrecord& rec, double& ds50);

// Record comparison of the store: satellite number, epoch in days since
// 1950 (neqr), the five characters of coordSys, then pos, vel, bTerm, agom
// and thrustAcc by neqr.
bool equal(const Kinemrecord& a, const Kinemrecord& b);
// Sort text of key enumeration orders 0 and 1: "(I9.9, F16.9)" of the
// satellite number and the epoch in days since 1950, blank filled to 32.
void fieldstostr(const Kinemrecord& rec, char text[32]);

// Tree key of a record: createsatkey(satNum, 4, epochDtg); -1 when none.
int64_t kinemrecsatkey(const Kinemrecord& rec);
// Key of a satellite number and a 20-character epoch text: left-adjusted,
// blanks in positions 3 to 20 made "0", then createsatkey(satNum, 4, text).
// -1 when no key can be made; logs nothing itself.
int64_t fieldstosatkey(int32_t satNum, std::string_view epochText);

}  // namespace vx::kinem
