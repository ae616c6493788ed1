#include "Kinem/KinemFields.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <tuple>
#include <type_traits>

#include "Kinem/KinemLines.h"
#include "Kinem/KinemTree.h"
#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/FieldText.h"
#include "Services/chronom.h"
#include "Services/kernix.h"

namespace vx::kinem {

namespace msg {
constexpr std::string_view kMissingTail = " in the KINEM binary tree.";
constexpr std::string_view kGetFieldMissing = "KinemGetField: Unable to locate satKey ";
constexpr std::string_view kSetFieldMissing = "KinemSetField: Unable to locate satKey ";
constexpr std::string_view kSetFieldNumberHead = "KinemSetField: Unable to read the number of field ";
constexpr std::string_view kSetFieldNumberTail = ".";
constexpr std::string_view kSetFieldTextHead = "KinemSetField: Unable to update field ";
constexpr std::string_view kSetFieldTextTail = " (a byte outside printable ASCII in the text).";
constexpr std::string_view kGetAllMissing = "KinemGetAllFields: Unable to locate satKey ";
constexpr std::string_view kUpdateFieldsMissing = "KinemUpdateSatFrFields: Unable to locate satKey ";
constexpr std::string_view kDataToArrayMissing = "KinemDataToArray: Unable to locate satKey ";
constexpr std::string_view kUpdateArrayMissing = "KinemUpdateSatFrArray: Unable to locate satKey ";
}  // namespace msg

namespace {

constexpr int kKeyWidth = 19;

void logmissing(std::string_view head, int64_t satKey) { tracelognumbered(head, satKey, kKeyWidth, msg::kMissingTail); }


// ---- The members of a vector ------------------------------------------------------
// One row per member a host reaches by field index, as one of the twelve
// fields or in the array form. The rows drive single-field access, the copies
// of the twelve fields, updates, and both directions of the array form.

// Where a member sits in the array form.
enum class InArray {
  kElement,    // element `at` holds the value; integers come back truncated
  kText,       // the companion text holds the characters from column `at`
  kEpochDs50,  // element `at` holds the epoch as days since 1950 UTC
  kCoordCode,  // element `at` holds the coordinate code (coordcode)
};

template <class Of>
struct Member {
  int32_t field;  // index of KinemGetField / KinemSetField
  int width;      // columns of the text KinemGetField writes (F35.15, I9, A8, ...)
  bool key;       // the satellite number and the epoch make the key: set and updates leave them
  InArray form;
  int at;  // element (counted from 1) or first text column
  Of of;   // the member of a record, const or not
};
// Spelled out for compilers that do not yet deduce an aggregate's arguments.
template <class Of>
Member(int32_t, int, bool, InArray, int, Of) -> Member<Of>;

constexpr int kRealWidth = 35;
constexpr bool kKey = true;
constexpr bool kNotKey = false;
using enum InArray;

// Field 8 is no member: get writes blanks, set changes nothing.
constexpr auto kMembers = std::make_tuple(
    Member{1, kRealWidth, kNotKey, kElement, 21, [](auto& r) -> auto& { return r.pos[0]; }},
    Member{2, kRealWidth, kNotKey, kElement, 22, [](auto& r) -> auto& { return r.pos[1]; }},
    Member{3, kRealWidth, kNotKey, kElement, 23, [](auto& r) -> auto& { return r.pos[2]; }},
    Member{4, kRealWidth, kNotKey, kElement, 24, [](auto& r) -> auto& { return r.vel[0]; }},
    Member{5, kRealWidth, kNotKey, kElement, 25, [](auto& r) -> auto& { return r.vel[1]; }},
    Member{6, kRealWidth, kNotKey, kElement, 26, [](auto& r) -> auto& { return r.vel[2]; }},
    Member{7, 1, kNotKey, kText, 1, [](auto& r) -> auto& { return r.secClass; }},
    Member{9, 9, kKey, kElement, 1, [](auto& r) -> auto& { return r.satNum; }},
    Member{10, 8, kNotKey, kText, 2, [](auto& r) -> auto& { return r.intlDes; }},
    Member{11, 17, kKey, kEpochDs50, 2, [](auto& r) -> auto& { return r.epochDtg; }},
    Member{12, 6, kNotKey, kElement, 3, [](auto& r) -> auto& { return r.epochRev; }},
    Member{13, 4, kNotKey, kElement, 4, [](auto& r) -> auto& { return r.elsetNum; }},
    Member{14, kRealWidth, kNotKey, kElement, 5, [](auto& r) -> auto& { return r.bTerm; }},
    Member{15, kRealWidth, kNotKey, kElement, 6, [](auto& r) -> auto& { return r.agom; }},
    Member{16, kRealWidth, kNotKey, kElement, 7, [](auto& r) -> auto& { return r.thrustAcc; }},
    Member{17, 5, kNotKey, kCoordCode, 8, [](auto& r) -> auto& { return r.coordSys; }});

template <class F>
void eachmember(F&& f) {
  std::apply([&](const auto&... m) { (f(m), ...); }, kMembers);
}

// The value type of a row.
template <class M>
using ValueOf = std::remove_cvref_t<decltype(std::declval<const M&>().of(std::declval<Kinemrecord&>()))>;
// The text form of a member into work (blank on entry), not yet adjusted.
template <class M>
void writemember(const M& m, const Kinemrecord& rec, char* work) {
  writeMemberText(work, m.width, m.of(rec));
}

// Changes a member to the (left-adjusted) value text. False, with the reason
// logged, when the text cannot become the member's value.
template <class M>
bool readmember(const M& m, Kinemrecord& rec, std::string_view value) {
  switch (readMemberText(value, m.of(rec))) {
    case MemberRead::kOk: return true;
    case MemberRead::kNoNumber:
      LogLine().text(msg::kSetFieldNumberHead).num(m.field).text(msg::kSetFieldNumberTail).error();
      return false;
    case MemberRead::kUnprintable:
      LogLine().text(msg::kSetFieldTextHead).num(m.field).text(msg::kSetFieldTextTail).error();
      return false;
  }
  return false;
}

enum class Which { kAll, kKeyOnly, kAllButKey };

// Copies the members of the twelve fields from one record to another.
void copymembers(const Kinemrecord& from, Kinemrecord& to, Which which) {
  eachmember([&](const auto& m) {
    if (which == Which::kAll || m.key == (which == Which::kKeyOnly)) m.of(to) = m.of(from);
  });
}

// f's result when a change is accepted without anything to write.
constexpr int32_t kUnchanged = 1;

// Changes the vector stored under satKey with change(Kinemrecord&), which
// returns 0 (write the changed copy), kUnchanged (write nothing, succeed) or
// 2 (refused, logged). Read, change, check and write are one step under the
// store's writer side, so a change made by another thread in between cannot
// be lost. missingHead names the routine in the message for a key that is
// not loaded.
template <class F>
int32_t changestored(int64_t satKey, std::string_view missingHead, F&& change) {
  const int32_t status = kinemmodifyrec(satKey, std::forward<F>(change));
  if (status == -1) {
    logmissing(missingHead, satKey);
    return 2;
  }
  return status == kUnchanged ? 0 : status;
}

// ---- Array form: elements and text columns -----------------------------------------

double& at(VecArr a, int n) { return a[static_cast<size_t>(n - 1)]; }
double at(ConstVecArr a, int n) { return a[static_cast<size_t>(n - 1)]; }

// The controls, present in the array when element 71 is 1.
namespace el {
constexpr int kControlsFlag = 71;
constexpr int kStepSize = 89;
constexpr int kCovFirst = 101;  // .. 155, covariance terms 1 to 55
}  // namespace el
struct CtlElement {
  int n;
  int32_t Card4pinput::*member;
};
constexpr CtlElement kCtlElements[] = {
    {72, &Card4pinput::ctlCode},    {73, &Card4pinput::geopotFlag},  {74, &Card4pinput::dragModel},
    {75, &Card4pinput::radPresFlag}, {76, &Card4pinput::lunarSolarFlag}, {77, &Card4pinput::f10},
    {78, &Card4pinput::f10Bar},     {79, &Card4pinput::ap},          {80, &Card4pinput::zonalDeg},
    {81, &Card4pinput::errCtrl},    {82, &Card4pinput::thrustFlag},  {83, &Card4pinput::solidTidesFlag},
    {85, &Card4pinput::nutTerms},   {86, &Card4pinput::spareCtl},    {87, &Card4pinput::integMode},
    {88, &Card4pinput::stepMode}};
static_assert(el::kCovFirst + static_cast<int>(kCovTerms) - 1 == static_cast<int>(kVecArrLen));
template <class Arr>
auto covterms(Arr arr) {
  return arr.template subspan<el::kCovFirst - 1, kCovTerms>();
}
// The step modes the array form accepts; any other becomes 0.
constexpr int32_t kMaxStepMode = 2;
// A covariance whose terms sum to no more than this in absolute value is
// taken for none.
constexpr double kCovMinSum = 1e-21;

// Coordinate code of the array form: 1 for the systems of date and epoch, 2
// for the 1950 and 2000 systems, 0 for anything else; back, 1 gives the
// system of date and 2 the 2000 system.
int32_t coordcode(std::string_view code5) {
  if (code5 == kCoordSysDate || code5 == kCoordSysEpoch) return 1;
  if (code5 == kCoordSys1950 || code5 == kCoordSysJ2000) return 2;
  return 0;
}
std::string_view coordofcode(int32_t code) {
  if (code == 1) return kCoordSysDate;
  if (code == 2) return kCoordSysJ2000;
  return kCoordSysNone;
}

// n characters of the companion text from column col; what lies past its
// end is left out (reads as blanks).
std::string_view textcols(std::string_view text, int col, size_t n) {
  const auto first = static_cast<size_t>(col - 1);
  if (first >= text.size()) return {};
  return text.substr(first, n);
}

template <class M>
void membertoarray(const M& m, const Kinemrecord& rec, VecArr arr, char* text) {
  const auto& v = m.of(rec);
  using T = ValueOf<M>;
  if constexpr (kIsNumberMember<T>) {
    at(arr, m.at) = v;
  } else {
    const std::string_view s = charsof(v);
    switch (m.form) {
      case kText: std::memcpy(text + m.at - 1, s.data(), s.size()); break;
      case kEpochDs50: at(arr, m.at) = dtg2ds50utc(s); break;
      case kCoordCode: at(arr, m.at) = coordcode(s); break;
      case kElement: break;
    }
  }
}

template <class M>
void memberfromarray(const M& m, ConstVecArr arr, std::string_view text, Kinemrecord& rec) {
  auto& v = m.of(rec);
  using T = ValueOf<M>;
  if constexpr (std::is_same_v<T, double>) {
    v = at(arr, m.at);
  } else if constexpr (std::is_same_v<T, int32_t>) {
    v = truncint(at(arr, m.at));
  } else {
    const std::span<char> chars = charsof(v);
    switch (m.form) {
      case kText: strtochararr(textcols(text, m.at, chars.size()), chars.data(), chars.size()); break;
      case kEpochDs50: date15(at(arr, m.at), chars.data(), chars.size()); break;
      case kCoordCode: strtochararr(coordofcode(truncint(at(arr, m.at))), chars.data(), chars.size()); break;
      case kElement: break;
    }
  }
}

}  // namespace


// ---- Single fields ---------------------------------------------------------

int32_t getfield(int64_t satKey, int32_t idx, char* value) {
  const auto write = [&](char* work) {
    return withkinemrecord(satKey, [&](const Kinemrecord& rec) {
      eachmember([&](const auto& m) {
        if (m.field == idx) writemember(m, rec, work);
      });
    });
  };
  return writeFieldText(value, write, [&] { logmissing(msg::kGetFieldMissing, satKey); });
}

int32_t setfield(int64_t satKey, int32_t idx, std::string_view value) {
  const FieldValue text(value);
  const std::string_view adjusted = text.view();
  return changestored(satKey, msg::kSetFieldMissing, [&](Kinemrecord& rec) -> int32_t {
    bool keyField = false;
    bool read = true;
    eachmember([&](const auto& m) {
      if (m.field != idx) return;
      if (m.key)
        keyField = true;
      else
        read = readmember(m, rec, adjusted);
    });
    // The satellite number and the epoch are not changed by this call.
    if (keyField) return kUnchanged;
    if (!read) return 2;
    return validatekinemvalues(rec);
  });
}

// ---- The twelve fields -------------------------------------------------------

Kinemrecord clearedfields() {
  Kinemrecord rec;
  rec.secClass = ' ';
  return rec;
}

int32_t getallfields(int64_t satKey, Kinemrecord& out) {
  out = clearedfields();
  const bool found = withkinemrecord(satKey, [&](const Kinemrecord& rec) { copymembers(rec, out, Which::kAll); });
  if (!found) {
    logmissing(msg::kGetAllMissing, satKey);
    return 2;
  }
  return 0;
}

int32_t updatesatfrfields(int64_t satKey, const Kinemrecord& fields) {
  return changestored(satKey, msg::kUpdateFieldsMissing, [&](Kinemrecord& rec) {
    copymembers(fields, rec, Which::kAllButKey);
    return validatekinemvalues(rec);
  });
}

int32_t kinemfieldstorec(Kinemrecord& rec) {
  const int32_t status = validatekinemvalues(rec);
  if (status != 0) rec.satNum = -1;
  return status;
}

int64_t addsatfrfields(Kinemrecord& rec) {
  if (kinemfieldstorec(rec) != 0) return -1;
  return addkinemtomem(rec);
}

// ---- Array form ----------------------------------------------------------------

void kinem2array(const Kinemrecord& rec, VecArr arr, char* text) {
  std::memset(text, ' ', kVecTextLen);
  eachmember([&](const auto& m) { membertoarray(m, rec, arr, text); });
  const Card4pinput* ctl = rec.controls.get();
  if (ctl == nullptr) return;
  for (const auto& e : kCtlElements) at(arr, e.n) = ctl->*e.member;
  at(arr, el::kStepSize) = ctl->stepSize;
  if (rec.covariance) std::copy(rec.covariance->begin(), rec.covariance->end(), covterms(arr).begin());
}

void array2kinem(ConstVecArr arr, std::string_view text, Kinemrecord& rec) {
  rec.reset();
  eachmember([&](const auto& m) { memberfromarray(m, arr, text, rec); });
  if (truncint(at(arr, el::kControlsFlag)) != 1) return;

  auto ctl = std::make_unique<Card4pinput>();
  ctl->ctlFlagA = 1;
  ctl->ctlFlagB = 1;
  ctl->ctlFlagC = 1;
  for (const auto& e : kCtlElements) ctl.get()->*e.member = truncint(at(arr, e.n));
  if (ctl->stepMode < 0 || ctl->stepMode > kMaxStepMode) ctl->stepMode = 0;
  ctl->stepSize = at(arr, el::kStepSize);

  const auto terms = covterms(arr);
  double sum = 0;
  for (double t : terms) sum += std::fabs(t);
  if (sum > kCovMinSum) {
    auto cov = std::make_unique<Covariance>();
    std::copy(terms.begin(), terms.end(), cov->begin());
    rec.covariance = std::move(cov);
  }
  rec.controls = std::move(ctl);
}

int64_t addsatfrarray(ConstVecArr arr, std::string_view text) {
  Kinemrecord rec;
  array2kinem(arr, text, rec);
  return addkinemtomemtaking(rec);
}

int32_t datatoarray(int64_t satKey, VecArr arr, char* text) {
  std::memset(text, ' ', kVecTextLen);
  const bool found = withkinemrecord(satKey, [&](const Kinemrecord& rec) { kinem2array(rec, arr, text); });
  if (!found) {
    logmissing(msg::kDataToArrayMissing, satKey);
    return 2;
  }
  return 0;
}

int32_t updatesatfrarray(int64_t satKey, ConstVecArr arr, std::string_view text) {
  Kinemrecord fresh;
  array2kinem(arr, text, fresh);
  return changestored(satKey, msg::kUpdateArrayMissing, [&](Kinemrecord& rec) {
    // The array's satellite number and epoch are ignored: the stored ones
    // make the key. Everything else, covariance and controls included, comes
    // from the array alone.
    copymembers(rec, fresh, Which::kKeyOnly);
    rec = std::move(fresh);
    return validatekinemvalues(rec);
  });
}

}  // namespace vx::kinem
