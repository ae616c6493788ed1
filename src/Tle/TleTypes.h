// The element-set record held, parsed, written and handed out by the TLE
// library, its CSV extension, and the keys made from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace vx::tle {

// Room of a record's maneuver-card list, and the length of one card.
inline constexpr int32_t kMaxMnvrCards = 100;
inline constexpr size_t kCardLen = 512;
using MnvrCard = std::array<char, kCardLen>;

// Longest object name a record holds.
inline constexpr size_t kMaxObjNameLen = 255;

// Values that only a CSV line carries.
struct Csvtledata {
  std::array<char, 12> satNameLong;  // e.g. "1998-067A   "
  int32_t csvNum = 0;
  double csvVal1 = 0, csvVal2 = 0, csvVal3 = 0, csvVal4 = 0, csvVal5 = 0;
  std::array<char, 11> csvText;

  Csvtledata() {
    satNameLong.fill(' ');
    csvText.fill(' ');
  }
};

// One element set. A record owns its CSV extension, its object name and its
// maneuver cards;
// copies are deep, so a stored record is never shared with a caller. The
// members are grouped by size rather than listed in their logical order
// (satellite number, class, name, epoch, coefficients, type, element set
// number, elements, revolution number, optional parts), which keeps a stored
// element set 16 bytes smaller.
struct Tlerecord {
  double epochDays = 0;
  double nDotO2 = 0;
  double n2DotO6 = 0;
  double auxCoef1 = 0;
  double bStar = 0;
  double incli = 0;
  double raNode = 0;
  double eccen = 0;
  double argPer = 0;
  double mnAnomaly = 0;
  double mnMotion = 0;
  double auxCoef2 = 0;
  double auxCoef3 = 0;
  std::unique_ptr<Csvtledata> csvExt;
  std::unique_ptr<MnvrCard[]> mnvrCards;  // kMaxMnvrCards lines when present
  // The object's common name ("ISS (ZARYA)"), as a three-line file's name
  // line or an OMM OBJECT_NAME gives it; NUL-terminated, absent when none
  // was given (a record without one holds only the null pointer).
  std::unique_ptr<char[]> objName;
  int32_t satNum = 0;
  int32_t epochYr = 0;
  int32_t ephType = 0;
  int32_t elsetNum = 0;
  int32_t revNum = 0;
  int32_t numMnvrCards = 0;
  std::array<char, 8> satName;
  char secClass = 'U';

  Tlerecord() { satName.fill(' '); }
  Tlerecord(const Tlerecord& o) { *this = o; }
  Tlerecord(Tlerecord&&) noexcept = default;
  Tlerecord& operator=(const Tlerecord& o);
  Tlerecord& operator=(Tlerecord&&) noexcept = default;
  ~Tlerecord() = default;

  // Back to the default state, optional parts released.
  void reset() { *this = Tlerecord(); }
  std::string_view name() const { return {satName.data(), satName.size()}; }
  // The object name, empty when there is none.
  std::string_view objectName() const { return objName ? std::string_view(objName.get()) : std::string_view(); }
  // Sets the object name (empty: none). The text ends at its first NUL.
  void setObjectName(std::string_view text);
};

// Where the first character an object name may not hold is (a control
// character: a line break would split the name in a saved file; UTF-8 is
// allowed), npos when none.
size_t firstcontrolchar(std::string_view text);

// Releases a record's optional parts (freetlerecord).
void freetlerecord(Tlerecord& rec);

// The ephemeris types of element sets and the element-set type code each
// enters keys and DMA objects with.
struct EphTypeCode {
  int32_t ephType;
  int32_t code;
};
inline constexpr EphTypeCode kEphTypeCodes[] = {{0, 1}, {2, 2}, {4, 7}, {6, 3}};

// True for the ephemeris types of the table: 0, 2, 4 and 6.
bool isephtype(int32_t ephType);
// Element-set type code of an ephemeris type: 6 -> 3, 2 -> 2, 4 -> 7, else 1.
int32_t tletype2elttype(int32_t ephType);
// True for the codes of TLE element sets: 1, 2, 3 and 7.
bool tleelsettype(int32_t code);

// ---- Launch designators ------------------------------------------------------
// A satellite name is a launch designator, short ("98067A": two-digit launch
// year, launch number, piece) or long ("1998-067A"). Only designators of the
// launch years 1957-1999 change form: a two-digit year below the window
// would read back as a year of this century, so later designators keep the
// form they have in both directions.
using ShortName = std::array<char, 8>;
using LongName = std::array<char, 12>;
// Short name of a long text: characters 3-4 and 6-11 when characters 3-4
// read as a year of the window, else characters 1-8.
ShortName shortnameoflong(const LongName& longName);
// Long text of a short name: the four-digit year, "-" and characters 3-8
// when characters 1-2 read as a year of the window, else the name and four
// blanks.
LongName longnameofshort(const ShortName& name);

// Tree key of an element set from its fields; -1 when they make no key.
int64_t tlefields2satkey(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType);

}  // namespace vx::tle
