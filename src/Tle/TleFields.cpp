#include "Tle/TleFields.h"

#include <array>
#include <cstring>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/FieldText.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleMembers.h"
#include "Tle/TleTree.h"

namespace vx::tle {

using namespace members;

namespace msg {
constexpr std::string_view kMissingTail = " in the TLE binary tree.";
constexpr std::string_view kGetSatKeyPrefix = "GetSatKey: Unable to locate satellite number ";
constexpr std::string_view kGetLatestSatKeyPrefix = "GetLatestSatKey: Unable to locate satellite number ";
constexpr std::string_view kGetFieldMissing = "TleGetField: Unable to locate satKey ";
constexpr std::string_view kSetFieldMissing = "TleSetField: Unable to locate satKey ";
constexpr std::string_view kSetFieldName = "TleSetField: Unable to update satellite's name";
constexpr std::string_view kSetFieldNumberHead = "TleSetField: Unable to read the number of field ";
constexpr std::string_view kSetFieldNumberTail = ".";
constexpr std::string_view kSetFieldTextHead = "TleSetField: Unable to update field ";
constexpr std::string_view kSetFieldTextTail = " (a byte outside printable ASCII in the text).";
constexpr std::string_view kGetAllGPMissing = "TleGetAllFieldsGP: Unable to locate satKey ";
constexpr std::string_view kGetAllGP2Missing = "TleGetAllFieldsGP2: Unable to locate satKey ";
constexpr std::string_view kGetAllSPMissing = "TleGetAllFieldsSP: Unable to locate satKey ";
constexpr std::string_view kUpdateGPMissing = "TleUpdateSatFrFieldsGP: Unable to locate satKey ";
constexpr std::string_view kUpdateGP2Missing = "TleUpdateSatFrFieldsGP2: Unable to locate satKey ";
constexpr std::string_view kUpdateSPMissing = "TleUpdateSatFrFieldsSP: Unable to locate satKey ";
}  // namespace msg

namespace {

// Columns of a field index (1-25) written without padding.
int digitsof(int32_t idx) { return idx >= 10 ? 2 : 1; }

// Calls f(m) for the rows that set writes for field idx of rec: none for an
// index outside the table and for the CSV fields of a record without CSV
// extension.
template <class F>
void eachsetrow(const Tlerecord& rec, int32_t idx, F&& f) {
  const bool hasExt = rec.csvExt != nullptr;
  eachmember([&](const auto& m) {
    for (const FieldSlot& slot : m.fields) {
      if (slot.idx != idx || idx == 0) continue;
      if ((slot.csvOnly || m.has(kInExt)) && !hasExt) continue;
      if (serves(slot.set, rec.ephType)) f(m);
    }
  });
}

// The text form of row I into work (blank on entry), not yet adjusted.
template <size_t I>
void writerow(const Tlerecord& rec, char* work) {
  const auto& m = std::get<I>(kMembers);
  if (m.has(kEpoch)) {
    // Four-digit year, then the day with the blanks of its field turned
    // into zeros: day 5.5 of 2018 gives "2018005.50000000".
    fmt::writeI(work, 4, rec.epochYr, 4);
    fmt::writeF(work + 4, kEpochWidth - 4, 8, rec.epochDays);
    blanktozerochar(work, kEpochWidth);
  } else {
    writeMemberText(work, m.width, m.of(rec));
  }
}
using RowWriter = void (*)(const Tlerecord&, char*);
template <size_t... I>
constexpr std::array<RowWriter, kRowCount> rowwriters(std::index_sequence<I...>) {
  return {&writerow<I>...};
}
constexpr auto kRowWriters = rowwriters(std::make_index_sequence<kRowCount>());

// The text form of field idx into work (blank on entry), not yet adjusted.
void writefield(const Tlerecord& rec, int32_t idx, char* work) {
  if (idx < 1 || idx > kLastFieldIdx) return;
  const GetRow& r = kGetRows[static_cast<size_t>(idx)][classindex(rec.ephType)];
  if (r.row < 0 || (r.csvOnly && rec.csvExt == nullptr)) return;
  kRowWriters[static_cast<size_t>(r.row)](rec, work);
}

// Changes field idx of rec to the (left-adjusted) value text; the key
// fields stay as they are. False, with the reason logged, when the text
// cannot become the field's value.
bool readfield(Tlerecord& rec, int32_t idx, std::string_view value) {
  bool ok = true;
  eachsetrow(rec, idx, [&](const auto& m) {
    if (!ok || m.has(kKey)) return;
    switch (readMemberText(value, m.of(rec))) {
      case MemberRead::kOk: return;
      case MemberRead::kNoNumber:
        tracelognumbered(msg::kSetFieldNumberHead, idx, digitsof(idx), msg::kSetFieldNumberTail);
        break;
      case MemberRead::kUnprintable:
        if (idx == 3)
          tracelogerror(msg::kSetFieldName);
        else
          tracelognumbered(msg::kSetFieldTextHead, idx, digitsof(idx), msg::kSetFieldTextTail);
        break;
    }
    ok = false;
  });
  return ok;
}

std::string_view missinghead(FieldSet set, std::string_view gp, std::string_view gp2, std::string_view sp) {
  switch (set) {
    case FieldSet::kGP: return gp;
    case FieldSet::kGP2: return gp2;
    case FieldSet::kSP: return sp;
  }
  return gp;
}


}  // namespace


void logmissing(std::string_view head, int64_t satKey) { tracelognumbered(head, satKey, 19, msg::kMissingTail); }

int64_t getsatkey(int32_t satNum) {
  const int64_t key = tlestore().satKeyGet(satNum);
  if (key == -1) tracelognumbered(msg::kGetSatKeyPrefix, satNum, 9, msg::kMissingTail);
  return key;
}

int64_t getlatestsatkey(int32_t satNum) {
  const int64_t key = tlestore().satKeyLatest(satNum);
  if (key == -1) tracelognumbered(msg::kGetLatestSatKeyPrefix, satNum, 9, msg::kMissingTail);
  return key;
}

// ---- Single fields ---------------------------------------------------------

int32_t getfield(int64_t satKey, int32_t idx, char* value) {
  return writeFieldText(
      value, [&](char* work) { return withtlerecord(satKey, [&](const Tlerecord& rec) { writefield(rec, idx, work); }); },
      [&] { logmissing(msg::kGetFieldMissing, satKey); });
}

int32_t setfield(int64_t satKey, int32_t idx, std::string_view value) {
  const FieldValue text(value);
  return changestored(satKey, msg::kSetFieldMissing, [&](Tlerecord& rec) { return readfield(rec, idx, text.view()); });
}

// ---- Field sets --------------------------------------------------------------

namespace {

// Calls f(m) for the rows of the GP2 set / of the SP set.
template <class F>
void eachgp(F&& f) {
  eachmember([&](const auto& m) {
    if constexpr (std::remove_cvref_t<decltype(m)>::kInGp) f(m);
  });
}
template <class F>
void eachsp(F&& f) {
  eachmember([&](const auto& m) {
    if constexpr (std::remove_cvref_t<decltype(m)>::kInSp) f(m);
  });
}

void leftadjustname(Tlerecord& rec) { leftadjust(rec.satName.data(), rec.satName.size()); }

}  // namespace

GpFields gpfieldsof(const Tlerecord& rec) {
  GpFields f;
  eachgp([&](const auto& m) {
    if (serves(m.gp.types, rec.ephType)) f.*m.gp.field = m.of(rec);
  });
  return f;
}

SpFields spfieldsof(const Tlerecord& rec) {
  SpFields f;
  eachsp([&](const auto& m) { f.*m.sp = m.of(rec); });
  return f;
}

int32_t getgpfields(int64_t satKey, FieldSet set, GpFields& out) {
  out = GpFields{};
  const bool found = withtlerecord(satKey, [&](const Tlerecord& rec) { out = gpfieldsof(rec); });
  if (!found) {
    logmissing(missinghead(set, msg::kGetAllGPMissing, msg::kGetAllGP2Missing, msg::kGetAllSPMissing), satKey);
    return 2;
  }
  fixyr(out.epochYr);
  return 0;
}

int32_t getspfields(int64_t satKey, SpFields& out) {
  out = SpFields{};
  const bool found = withtlerecord(satKey, [&](const Tlerecord& rec) { out = spfieldsof(rec); });
  if (!found) {
    logmissing(msg::kGetAllSPMissing, satKey);
    return 2;
  }
  fixyr(out.epochYr);
  return 0;
}

int32_t updatesatfrfieldsgp(int64_t satKey, FieldSet set, const GpFields& f) {
  const auto missing = missinghead(set, msg::kUpdateGPMissing, msg::kUpdateGP2Missing, msg::kUpdateSPMissing);
  return changestored(satKey, missing, [&](Tlerecord& rec) {
    // The key stays; each value goes to the slot of the stored type. GP
    // leaves both derivatives as stored; GP2 clears the second derivative's
    // slot of the other types.
    eachgp([&](const auto& m) {
      if (m.has(kKey) || (m.gp.gp2Only && set != FieldSet::kGP2)) return;
      if (serves(m.gp.types, rec.ephType))
        m.of(rec) = f.*m.gp.field;
      else if (m.gp.gp2Only)
        m.of(rec) = {};
    });
    leftadjustname(rec);
    return true;
  });
}

int32_t updatesatfrfieldssp(int64_t satKey, const SpFields& f) {
  return changestored(satKey, msg::kUpdateSPMissing, [&](Tlerecord& rec) {
    eachsp([&](const auto& m) {
      if (!m.has(kKey)) m.of(rec) = f.*m.sp;
    });
    leftadjustname(rec);
    return true;
  });
}

namespace {

int32_t validatebuilt(Tlerecord& rec) {
  const int32_t status = validatetlevalues(rec);
  if (status != 0) rec.satNum = -1;
  return status;
}

}  // namespace

int32_t gpfieldstotle(const GpFields& f, Tlerecord& rec) {
  rec.reset();
  eachgp([&](const auto& m) {
    if (serves(m.gp.types, f.ephType)) m.of(rec) = f.*m.gp.field;
  });
  return validatebuilt(rec);
}

int32_t gpfieldstotleadjusted(GpFields f, Tlerecord& rec) {
  leftadjust(f.satName.data(), f.satName.size());
  return gpfieldstotle(f, rec);
}

int32_t spfieldstotle(const SpFields& f, Tlerecord& rec) {
  rec.reset();
  eachsp([&](const auto& m) { m.of(rec) = f.*m.sp; });
  leftadjustname(rec);
  rec.ephType = 6;
  return validatebuilt(rec);
}

int64_t addsatfrfieldsgp2(const GpFields& f) {
  Tlerecord rec;
  if (gpfieldstotle(f, rec) != 0) return -1;
  return addtletomem(rec);
}

// The set always goes to the store: an invalid one carries satellite number
// -1, which the store's own check refuses (and reports) in turn.
int64_t addsatfrfieldssp(const SpFields& f) {
  Tlerecord rec;
  spfieldstotle(f, rec);
  return addtletomem(rec);
}

int32_t parselinesorcsv(std::string_view line1, std::string_view line2, Tlerecord& rec) {
  if (tlecardtype(line1) == kCardLine1 && tlecardtype(line2) == kCardLine2) return lines2tle(line1, line2, rec);
  return csvline2tle(line1, rec);
}

}  // namespace vx::tle
