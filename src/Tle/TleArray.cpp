#include "Tle/TleArray.h"

#include <cstring>
#include <memory>

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

// Elements of the array, counted from 1, that hold a record member as it
// stands; integers are stored as doubles and read back truncated toward zero.
template <class T>
struct Element {
  int n;
  T Tlerecord::*member;
};
constexpr Element<double> kRealElements[] = {
    {3, &Tlerecord::nDotO2},     {4, &Tlerecord::n2DotO6},     {5, &Tlerecord::bStar},     {21, &Tlerecord::incli},
    {22, &Tlerecord::raNode},    {23, &Tlerecord::eccen},      {24, &Tlerecord::argPer},   {25, &Tlerecord::mnAnomaly},
    {26, &Tlerecord::mnMotion},  {33, &Tlerecord::auxCoef2},   {39, &Tlerecord::auxCoef1},
};
constexpr Element<int32_t> kIntElements[] = {
    {1, &Tlerecord::satNum}, {6, &Tlerecord::ephType}, {27, &Tlerecord::revNum}, {31, &Tlerecord::elsetNum}};
// The epoch as days since 1950, and the CSV data.
namespace el {
constexpr int kEpochDs50 = 2;
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

// An integer element: truncated toward zero; NaN and values beyond the
// 32-bit range saturate (NaN to the lowest), which the value checks reject.
int32_t truncint(double v) {
  if (!(v > -2147483649.0)) return INT32_MIN;
  if (!(v < 2147483648.0)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

// ---- Array form ----------------------------------------------------------------

void tle2arrayvalues(const Tlerecord& rec, TleArray& arr) {
  arr.fill(0.0);
  for (const auto& e : kIntElements) at(arr, e.n) = rec.*e.member;
  for (const auto& e : kRealElements) at(arr, e.n) = rec.*e.member;
  at(arr, el::kEpochDs50) = yrdays2ds50(rec.epochYr, rec.epochDays);
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
  for (const auto& e : kIntElements) rec.*e.member = truncint(at(arr, e.n));
  for (const auto& e : kRealElements) rec.*e.member = at(arr, e.n);
  fyklok(at(arr, el::kEpochDs50), rec.epochDays, rec.epochYr);

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

}  // namespace vx::tle
