#include "Tle/TleArray.h"

#include <cstring>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "Platform/kernix/core/Columns.h"
#include "Platform/kernix/core/FieldText.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleFields.h"
#include "Tle/TleMembers.h"
#include "Tle/TleTree.h"

namespace vx::tle {

using namespace members;

namespace msg {
constexpr std::string_view kUpdateArrayMissing = "TleUpdateSatFrArray: Unable to locate satKey ";
constexpr std::string_view kDataToArrayMissing = "TleDataToArray: Unable to locate satKey ";
}  // namespace msg

namespace {

// The columns of a long name in the text, from those of the name.
constexpr Cols kLongNameCols{2, 1 + static_cast<int>(std::tuple_size_v<LongName>)};

// Element n, counted from 1.
double& at(TleArray& a, int n) { return a[static_cast<size_t>(n - 1)]; }
double at(const TleArray& a, int n) { return a[static_cast<size_t>(n - 1)]; }

// The array holds the members of the record (the epoch as days since 1950),
// integers as doubles read back truncated toward zero; the text holds the
// classification, the name and the CSV texts:
//          1         2
// 123456789012345678901234
// CNNNNNNNNLLLLTTTTTTTTTTT   C class, N name, NL long name (CSV), T CSV text
// Members of the CSV extension are written only for a record that has one.

// The number of m into its element.
template <class M>
void elementof(const M& m, const Tlerecord& rec, TleArray& arr) {
  if constexpr (kIsNumberMember<ValueOf<M>>) {
    if (m.array.form != InArray::kElement) return;
    if (m.has(kEpoch))
      at(arr, m.array.at) = yrdays2ds50(rec.epochYr, rec.epochDays);
    else
      at(arr, m.array.at) = m.of(rec);
  }
}

// The characters of m into its text columns.
template <class M>
void textof(const M& m, const Tlerecord& rec, char* text) {
  if constexpr (!kIsNumberMember<ValueOf<M>>) {
    if (m.array.form != InArray::kText) return;
    const std::string_view chars = charsof(m.of(rec));
    std::memcpy(text + m.array.at - 1, chars.data(), chars.size());
  }
}

// m from its element or text columns.
template <class M>
void memberfromarray(const M& m, const TleArray& arr, std::string_view text, Tlerecord& rec) {
  using T = ValueOf<M>;
  if constexpr (kIsNumberMember<T>) {
    if (m.array.form != InArray::kElement) return;
    const double v = at(arr, m.array.at);
    if (m.has(kEpoch))
      fyklok(v, rec.epochDays, rec.epochYr);
    else if constexpr (std::is_same_v<T, int32_t>)
      m.of(rec) = truncint(v);
    else
      m.of(rec) = v;
  } else {
    if (m.array.form != InArray::kText) return;
    const std::span<char> chars = charsof(m.of(rec));
    const int first = m.array.at;
    strtochararr(colText(text, Cols{first, first + static_cast<int>(chars.size()) - 1}), chars.data(), chars.size());
  }
}

}  // namespace

// ---- Array form ----------------------------------------------------------------

void tle2arrayvalues(const Tlerecord& rec, TleArray& arr) {
  arr.fill(0.0);
  const bool hasExt = rec.csvExt != nullptr;
  eachmember([&](const auto& m) {
    if (hasExt || !m.has(kInExt)) elementof(m, rec, arr);
  });
}

void tle2array(const Tlerecord& rec, TleArray& arr, char* text) {
  tle2arrayvalues(rec, arr);
  std::memset(text, ' ', kTleTextLen);
  const bool hasExt = rec.csvExt != nullptr;
  eachmember([&](const auto& m) {
    if (hasExt || !m.has(kInExt)) textof(m, rec, text);
  });
}

void array2tle(const TleArray& arr, std::string_view text, Tlerecord& rec) {
  rec.reset();
  eachmember([&](const auto& m) {
    if (!m.has(kInExt)) memberfromarray(m, arr, text, rec);
  });
  // A long designator in the name columns (as written for a record read from
  // CSV) gives back its short name; its first eight characters would lose
  // the piece and put the century in its place.
  LongName longName;
  strtochararr(colText(text, kLongNameCols), longName.data(), longName.size());
  if (longName[4] == '-') rec.satName = shortnameoflong(longName);

  if (truncint(at(arr, kCsvNumElement)) == 0) return;
  rec.csvExt = std::make_unique<Csvtledata>();
  eachmember([&](const auto& m) {
    if (m.has(kInExt)) memberfromarray(m, arr, text, rec);
  });
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
    // The key stays as stored.
    eachmember([&](const auto& m) {
      if (m.has(kKey)) m.of(fresh) = m.of(std::as_const(rec));
    });
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
  for (size_t n = 0; n < kNamedColumns.size() && n < capacity; ++n) {
    const NamedColumn& c = kNamedColumns[n];
    if (elements != nullptr) elements[n] = c.element;
    if (names != nullptr) strtochararr(c.name, names + n * kColumnNameLen, kColumnNameLen);
    if (isInteger != nullptr) isInteger[n] = c.isInteger ? 1 : 0;
  }
  return static_cast<int32_t>(kNamedColumns.size());
}

}  // namespace vx::tle
