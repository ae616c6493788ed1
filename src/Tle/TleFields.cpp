#include "Tle/TleFields.h"

#include <cstring>
#include <memory>
#include <tuple>
#include <type_traits>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/FieldText.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleColumns.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kMissingTail = " in the TLE binary tree.";
constexpr std::string_view kGetSatKeyPrefix = "GetSatKey: Unable to locate satellite number ";
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


// ---- Field index table ---------------------------------------------------------

enum class Form { kNone, kInt, kReal, kChar, kText, kEpoch };

struct FieldDef {
  Form form;
  int width;        // columns of the text form on get ("(I9)", "(A8)", "(F35.15)")
  bool changeable;  // whether set changes the field
  bool csvOnly;     // exists only for records with a CSV extension
};

constexpr int kRealWidth = 35;
constexpr int kEpochWidth = 16;  // "(I4.4,F12.8)"
constexpr int kRealDecimals = 15;
constexpr int32_t kEphTypeIdx = 6;
constexpr int32_t kSecondDerivIdx = 16;

constexpr FieldDef kNoField{Form::kNone, 0, false, false};
constexpr FieldDef kReal{Form::kReal, kRealWidth, true, false};
constexpr FieldDef kCsvReal{Form::kReal, kRealWidth, true, true};

// Indexed by field index; index 0 is not a field.
constexpr FieldDef kFieldDefs[] = {
    kNoField,
    {Form::kInt, 9, false, false},              // 1 satNum
    {Form::kChar, 1, true, false},              // 2 secClass
    {Form::kText, 8, true, false},              // 3 satName
    {Form::kEpoch, kEpochWidth, false, false},  // 4 epoch
    kReal,                                      // 5 drag term
    {Form::kInt, 1, false, false},              // 6 ephType
    {Form::kInt, 5, true, false},               // 7 elsetNum
    kReal,                                      // 8 incli
    kReal,                                      // 9 raNode
    kReal,                                      // 10 eccen
    kReal,                                      // 11 argPer
    kReal,                                      // 12 mnAnomaly
    kReal,                                      // 13 mnMotion
    {Form::kInt, 5, true, false},               // 14 revNum
    kReal,                                      // 15 first derivative
    kReal,                                      // 16 second derivative
    {Form::kInt, 9, true, true},                // 17 csvNum
    kCsvReal,                                   // 18 auxCoef2
    kCsvReal,                                   // 19 csvVal1
    kCsvReal,                                   // 20 csvVal2
    kCsvReal,                                   // 21 csvVal3
    kCsvReal,                                   // 22 csvVal4
    kCsvReal,                                   // 23 csvVal5
    {Form::kText, 11, true, true},              // 24 csvText
    {Form::kText, 12, true, true},              // 25 satNameLong
};
constexpr int32_t kLastFieldIdx = static_cast<int32_t>(std::size(kFieldDefs)) - 1;

// Where field idx of a record lives (const or not, after R). The form is
// kNone for an index outside the table and for the CSV fields of a record
// without CSV extension.
template <class R>
struct Slot {
  template <class T>
  using P = std::conditional_t<std::is_const_v<R>, const T*, T*>;
  FieldDef def = kNoField;
  P<int32_t> i = nullptr;
  P<double> d = nullptr;
  P<char> c = nullptr;  // def.width characters
};

template <class R>
Slot<R> slotof(R& rec, int32_t idx) {
  Slot<R> s;
  if (idx < 1 || idx > kLastFieldIdx) return s;
  const FieldDef def = kFieldDefs[idx];
  typename Slot<R>::template P<Csvtledata> ext = rec.csvExt.get();
  if (def.csvOnly && ext == nullptr) return s;
  s.def = def;
  const int32_t t = rec.ephType;
  switch (idx) {
    case 1: s.i = &rec.satNum; break;
    case 2: s.c = &rec.secClass; break;
    case 3: s.c = rec.satName.data(); break;
    case 4: break;  // the epoch takes two fields; see writefield
    case 5: s.d = t == 6 ? &rec.auxCoef1 : &rec.bStar; break;
    case 6: s.i = &rec.ephType; break;
    case 7: s.i = &rec.elsetNum; break;
    case 8: s.d = &rec.incli; break;
    case 9: s.d = &rec.raNode; break;
    case 10: s.d = &rec.eccen; break;
    case 11: s.d = &rec.argPer; break;
    case 12: s.d = &rec.mnAnomaly; break;
    case 13: s.d = &rec.mnMotion; break;
    case 14: s.i = &rec.revNum; break;
    case 15: s.d = t == 6 ? &rec.auxCoef2 : &rec.nDotO2; break;
    case 16: s.d = t == 6 ? &rec.auxCoef3 : t == 4 ? &rec.auxCoef1 : &rec.n2DotO6; break;
    case 17: s.i = &ext->csvNum; break;
    case 18: s.d = &rec.auxCoef2; break;
    case 19: s.d = &ext->csvVal1; break;
    case 20: s.d = &ext->csvVal2; break;
    case 21: s.d = &ext->csvVal3; break;
    case 22: s.d = &ext->csvVal4; break;
    case 23: s.d = &ext->csvVal5; break;
    case 24: s.c = ext->csvText.data(); break;
    case 25: s.c = ext->satNameLong.data(); break;
    default: return Slot<R>{};
  }
  return s;
}

// The text form of field idx into work (blank on entry), not yet adjusted.
void writefield(const Tlerecord& rec, int32_t idx, char* work) {
  const auto s = slotof(rec, idx);
  const int w = s.def.width;
  switch (s.def.form) {
    case Form::kNone: break;
    case Form::kInt: fmt::writeI(work, w, *s.i); break;
    case Form::kReal: fmt::writeF(work, w, kRealDecimals, *s.d); break;
    case Form::kChar: work[0] = *s.c; break;
    case Form::kText: std::memcpy(work, s.c, static_cast<size_t>(w)); break;
    case Form::kEpoch:
      // Four-digit year, then the day with the blanks of its field turned
      // into zeros: day 5.5 of 2018 gives "2018005.50000000".
      fmt::writeI(work, 4, rec.epochYr, 4);
      fmt::writeF(work + 4, kEpochWidth - 4, 8, rec.epochDays);
      blanktozerochar(work, kEpochWidth);
      break;
  }
}

// Changes field idx of rec to the (left-adjusted) value text. False, with the
// reason logged, when the text cannot become the field's value.
bool readfield(Tlerecord& rec, int32_t idx, std::string_view value) {
  const auto s = slotof(rec, idx);
  if (!s.def.changeable) return true;
  const auto w = static_cast<size_t>(s.def.width);
  switch (s.def.form) {
    case Form::kInt:
    case Form::kReal: {
      int32_t iv = 0;
      double dv = 0;
      const bool ok = s.def.form == Form::kInt ? fieldNumber(value, iv) : fieldNumber(value, dv);
      if (!ok) {
        tracelognumbered(msg::kSetFieldNumberHead, idx, digitsof(idx), msg::kSetFieldNumberTail);
        return false;
      }
      if (s.def.form == Form::kInt) {
        *s.i = iv;
      } else {
        *s.d = dv;
        if (idx == kSecondDerivIdx) rec.n2DotO6 = dv;
      }
      return true;
    }
    case Form::kChar:
    case Form::kText: {
      const std::string_view text = value.substr(0, w);
      if (firstunprintable(text) != std::string_view::npos) {
        if (idx == 3)
          tracelogerror(msg::kSetFieldName);
        else
          tracelognumbered(msg::kSetFieldTextHead, idx, digitsof(idx), msg::kSetFieldTextTail);
        return false;
      }
      std::memcpy(s.c, text.data(), text.size());
      return true;
    }
    case Form::kNone:
    case Form::kEpoch: return true;
  }
  return true;
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

// ---- Single fields ---------------------------------------------------------

int32_t getfield(int64_t satKey, int32_t idx, char* value) {
  return writeFieldText(
      value, [&](char* work) { return withtlerecord(satKey, [&](const Tlerecord& rec) { writefield(rec, idx, work); }); },
      [&] { logmissing(msg::kGetFieldMissing, satKey); });
}

int32_t setfield(int64_t satKey, int32_t idx, std::string_view value) {
  const FieldValue text(value);
  return changestored(satKey, msg::kSetFieldMissing, [&](Tlerecord& rec) {
    // The ephemeris type is not changed by this call.
    return idx == kEphTypeIdx || readfield(rec, idx, text.view());
  });
}

// ---- Field sets --------------------------------------------------------------

namespace {

// A member of a field set and the record member it stands for. Key members
// (the satellite number and the epoch) make the tree key with the ephemeris
// type: an update leaves them as stored.
template <class Set, class T>
struct Link {
  T Set::*field;
  T Tlerecord::*member;
  bool key;
};
template <class Set, class T>
constexpr Link<Set, T> link(T Set::*field, T Tlerecord::*member, bool key = false) {
  return {field, member, key};
}
constexpr bool kKey = true;

// The members every set shares with the record one to one.
constexpr auto kSetLinks = std::make_tuple(
    link(&SetFields::satNum, &Tlerecord::satNum, kKey), link(&SetFields::secClass, &Tlerecord::secClass),
    link(&SetFields::satName, &Tlerecord::satName), link(&SetFields::epochYr, &Tlerecord::epochYr, kKey),
    link(&SetFields::epochDays, &Tlerecord::epochDays, kKey), link(&SetFields::elsetNum, &Tlerecord::elsetNum),
    link(&SetFields::incli, &Tlerecord::incli), link(&SetFields::raNode, &Tlerecord::raNode),
    link(&SetFields::eccen, &Tlerecord::eccen), link(&SetFields::argPer, &Tlerecord::argPer),
    link(&SetFields::mnAnomaly, &Tlerecord::mnAnomaly), link(&SetFields::mnMotion, &Tlerecord::mnMotion),
    link(&SetFields::revNum, &Tlerecord::revNum));
// The SP coefficients. The GP set's drag term and second derivative stand
// for members that depend on the ephemeris type (gpdrag, gpsecond).
constexpr auto kSpLinks = std::make_tuple(link(&SpFields::auxCoef2, &Tlerecord::auxCoef2),
                                          link(&SpFields::auxCoef3, &Tlerecord::auxCoef3),
                                          link(&SpFields::auxCoef1, &Tlerecord::auxCoef1));

double Tlerecord::*gpdrag(int32_t ephType) { return ephType == 4 ? &Tlerecord::auxCoef2 : &Tlerecord::bStar; }
double Tlerecord::*gpsecond(int32_t ephType) { return ephType == 4 ? &Tlerecord::auxCoef1 : &Tlerecord::n2DotO6; }

template <class Links, class F>
void eachlink(const Links& links, F&& f) {
  std::apply([&](const auto&... l) { (f(l), ...); }, links);
}

template <class Set, class Links>
void linkedfrom(const Tlerecord& rec, const Links& links, Set& set) {
  eachlink(links, [&](const auto& l) { set.*l.field = rec.*l.member; });
}

// Copies the linked members into rec; the key members only when asked. The
// name is copied as given.
template <class Set, class Links>
void linkedto(const Set& set, const Links& links, bool keyToo, Tlerecord& rec) {
  eachlink(links, [&](const auto& l) {
    if (keyToo || !l.key) rec.*l.member = set.*l.field;
  });
}

void leftadjustname(Tlerecord& rec) { leftadjust(rec.satName.data(), rec.satName.size()); }

}  // namespace

GpFields gpfieldsof(const Tlerecord& rec) {
  GpFields f;
  linkedfrom(rec, kSetLinks, f);
  f.ephType = rec.ephType;
  f.dragTerm = rec.*gpdrag(rec.ephType);
  f.nDotO2 = rec.nDotO2;
  f.secondDeriv = rec.*gpsecond(rec.ephType);
  return f;
}

SpFields spfieldsof(const Tlerecord& rec) {
  SpFields f;
  linkedfrom(rec, kSetLinks, f);
  linkedfrom(rec, kSpLinks, f);
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
    linkedto(f, kSetLinks, false, rec);
    leftadjustname(rec);
    rec.*gpdrag(rec.ephType) = f.dragTerm;
    if (set == FieldSet::kGP2) {
      // The second derivative goes to the slot of the stored type; the
      // other slot is cleared.
      rec.nDotO2 = f.nDotO2;
      rec.auxCoef1 = 0.0;
      rec.n2DotO6 = 0.0;
      rec.*gpsecond(rec.ephType) = f.secondDeriv;
    }
    return true;
  });
}

int32_t updatesatfrfieldssp(int64_t satKey, const SpFields& f) {
  return changestored(satKey, msg::kUpdateSPMissing, [&](Tlerecord& rec) {
    linkedto(f, kSetLinks, false, rec);
    leftadjustname(rec);
    linkedto(f, kSpLinks, false, rec);
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
  linkedto(f, kSetLinks, true, rec);
  rec.ephType = f.ephType;
  rec.*gpdrag(f.ephType) = f.dragTerm;
  rec.nDotO2 = f.nDotO2;
  rec.*gpsecond(f.ephType) = f.secondDeriv;
  return validatebuilt(rec);
}

int32_t gpfieldstotleadjusted(GpFields f, Tlerecord& rec) {
  leftadjust(f.satName.data(), f.satName.size());
  return gpfieldstotle(f, rec);
}

int32_t spfieldstotle(const SpFields& f, Tlerecord& rec) {
  rec.reset();
  linkedto(f, kSetLinks, true, rec);
  leftadjustname(rec);
  rec.ephType = 6;
  linkedto(f, kSpLinks, true, rec);
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
