#include "Tle/TleArray.h"

#include <cstring>
#include <memory>

#include "Platform/kernix/core/FieldText.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleFields.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kUpdateArrayMissing = "TleUpdateSatFrArray: Unable to locate satKey ";
constexpr std::string_view kDataToArrayMissing = "TleDataToArray: Unable to locate satKey ";
}  // namespace msg

namespace {

// ---- Array form: element numbers and text columns --------------------------------

// The columns of the array, counted from 1, that hold a record member (or
// the epoch, as days since 1950) for every element set; integers are stored
// as doubles and read back truncated toward zero. The names are the column
// names hosts see (TleGetArrayLayout); the coefficient slots of types 4 and 6
// have none, since their meaning depends on the type.
struct Column {
  int n;
  std::string_view name;
  double Tlerecord::*real;
  int32_t Tlerecord::*integer;
};
constexpr Column kColumns[] = {
    {1, "satnum", nullptr, &Tlerecord::satNum},
    {2, "epoch", nullptr, nullptr},
    {3, "ndot", &Tlerecord::nDotO2, nullptr},
    {4, "nddot", &Tlerecord::n2DotO6, nullptr},
    {5, "bstar", &Tlerecord::bStar, nullptr},
    {6, "ephtype", nullptr, &Tlerecord::ephType},
    {21, "inclination", &Tlerecord::incli, nullptr},
    {22, "raan", &Tlerecord::raNode, nullptr},
    {23, "eccentricity", &Tlerecord::eccen, nullptr},
    {24, "arg_perigee", &Tlerecord::argPer, nullptr},
    {25, "mean_anomaly", &Tlerecord::mnAnomaly, nullptr},
    {26, "mean_motion", &Tlerecord::mnMotion, nullptr},
    {27, "rev_num", nullptr, &Tlerecord::revNum},
    {31, "elset_num", nullptr, &Tlerecord::elsetNum},
    {33, "", &Tlerecord::auxCoef2, nullptr},
    {39, "", &Tlerecord::auxCoef1, nullptr},
};
// The CSV data.
namespace el {
constexpr int kCsvNum = 32;
constexpr int kCsvVal1 = 34;  // .. 38
}  // namespace el
constexpr double Csvtledata::*kCsvVals[] = {&Csvtledata::csvVal1, &Csvtledata::csvVal2, &Csvtledata::csvVal3,
                                            &Csvtledata::csvVal4, &Csvtledata::csvVal5};

// Element n, counted from 1.
double& at(TleArray& a, int n) { return a[static_cast<size_t>(n - 1)]; }
double at(const TleArray& a, int n) { return a[static_cast<size_t>(n - 1)]; }

// tleText:
//          1         2
// 123456789012345678901234
// CNNNNNNNNLLLLTTTTTTTTTTT   C class, N name, NL long name (CSV), T CSV text
namespace txt {
constexpr int kSecClass = 1;
constexpr Cols kSatName{2, 9};
constexpr Cols kSatNameLong{2, 13};
constexpr Cols kCsvText{14, 24};
}  // namespace txt

}  // namespace

// ---- Array form ----------------------------------------------------------------

void tle2arrayvalues(const Tlerecord& rec, TleArray& arr) {
  arr.fill(0.0);
  for (const auto& c : kColumns) {
    if (c.integer != nullptr)
      at(arr, c.n) = rec.*c.integer;
    else if (c.real != nullptr)
      at(arr, c.n) = rec.*c.real;
    else
      at(arr, c.n) = yrdays2ds50(rec.epochYr, rec.epochDays);
  }
  if (const Csvtledata* ext = rec.csvExt.get()) {
    at(arr, el::kCsvNum) = ext->csvNum;
    for (int k = 0; k < 5; ++k) at(arr, el::kCsvVal1 + k) = ext->*kCsvVals[k];
  }
}

void tle2array(const Tlerecord& rec, TleArray& arr, char* text) {
  tle2arrayvalues(rec, arr);
  std::memset(text, ' ', kTleTextLen);
  *colPtr(text, txt::kSecClass) = rec.secClass;
  if (const Csvtledata* ext = rec.csvExt.get()) {
    std::memcpy(colPtr(text, txt::kSatNameLong), ext->satNameLong.data(), ext->satNameLong.size());
    std::memcpy(colPtr(text, txt::kCsvText), ext->csvText.data(), ext->csvText.size());
  } else {
    std::memcpy(colPtr(text, txt::kSatName), rec.satName.data(), rec.satName.size());
  }
}

void array2tle(const TleArray& arr, std::string_view text, Tlerecord& rec) {
  rec.reset();
  for (const auto& c : kColumns) {
    if (c.integer != nullptr)
      rec.*c.integer = truncint(at(arr, c.n));
    else if (c.real != nullptr)
      rec.*c.real = at(arr, c.n);
    else
      fyklok(at(arr, c.n), rec.epochDays, rec.epochYr);
  }

  rec.secClass = colChar(text, txt::kSecClass);
  const std::string_view name = colText(text, txt::kSatName);
  rec.satName.fill(' ');
  std::memcpy(rec.satName.data(), name.data(), name.size());
  // A long designator in the name columns (as written for a record read from
  // CSV) gives back its short name; its first eight characters would lose
  // the piece and put the century in its place.
  LongName longName;
  strtochararr(colText(text, txt::kSatNameLong), longName.data(), longName.size());
  if (longName[4] == '-') rec.satName = shortnameoflong(longName);

  const int32_t csvNum = truncint(at(arr, el::kCsvNum));
  if (csvNum == 0) return;
  auto ext = std::make_unique<Csvtledata>();
  ext->csvNum = csvNum;
  for (int k = 0; k < 5; ++k) ext.get()->*kCsvVals[k] = at(arr, el::kCsvVal1 + k);
  ext->satNameLong = longName;
  strtochararr(colText(text, txt::kCsvText), ext->csvText.data(), ext->csvText.size());
  rec.csvExt = std::move(ext);
}

int64_t addsatfrarray(const TleArray& arr, std::string_view text) {
  Tlerecord rec;
  array2tle(arr, text, rec);
  return addtletomem(rec);
}

int32_t datatoarray(int64_t satKey, TleArray& arr, char* text) {
  TleArray work;
  std::memset(text, ' ', kTleTextLen);
  const bool found = withtlerecord(satKey, [&](const Tlerecord& rec) { tle2array(rec, work, text); });
  if (!found) {
    logmissing(msg::kDataToArrayMissing, satKey);
    return 2;
  }
  arr = work;
  return 0;
}

int32_t updatesatfrarray(int64_t satKey, const TleArray& arr, std::string_view text) {
  Tlerecord fresh;
  array2tle(arr, text, fresh);
  return changestored(satKey, msg::kUpdateArrayMissing, [&](Tlerecord& rec) {
    fresh.satNum = rec.satNum;
    fresh.epochYr = rec.epochYr;
    fresh.epochDays = rec.epochDays;
    fresh.ephType = rec.ephType;
    // The array has no room for maneuver cards; they stay with the element
    // set instead of being dropped by an update of its elements.
    fresh.mnvrCards = std::move(rec.mnvrCards);
    fresh.numMnvrCards = rec.numMnvrCards;
    rec = std::move(fresh);
    return true;
  });
}

int32_t csv2tlearray(std::string_view csvLine, TleArray& arr, char* text) {
  std::memset(text, ' ', kTleTextLen);
  Tlerecord rec;
  const int32_t status = csvline2tle(csvLine, rec);
  if (status == 0) tle2array(rec, arr, text);
  return status;
}

int32_t arrayLayout(size_t capacity, int32_t* elements, char* names, int32_t* isInteger) {
  size_t n = 0;
  for (const auto& c : kColumns) {
    if (c.name.empty()) continue;
    if (n < capacity) {
      if (elements != nullptr) elements[n] = c.n;
      if (names != nullptr) strtochararr(c.name, names + n * kColumnNameLen, kColumnNameLen);
      if (isInteger != nullptr) isInteger[n] = c.integer != nullptr ? 1 : 0;
    }
    ++n;
  }
  return static_cast<int32_t>(n);
}

}  // namespace vx::tle
