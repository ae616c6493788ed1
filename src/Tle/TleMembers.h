// The members of an element set, described once: one row per record member
// with where a host reaches it (field index of get/set, element or text
// column of the array form, member of the GP/GP2/SP field sets). The rows
// drive single-field access, the field sets and both directions of the array
// form, and the column layout hosts read.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "Tle/TleFields.h"
#include "Tle/TleTypes.h"

namespace vx::tle::members {

// ---- Ephemeris types -----------------------------------------------------------
// Three coefficient slots change meaning with the ephemeris type: types 4
// and 6 put other members there than every other type does. A set of types
// is a mask of these three classes.
using EphTypes = uint8_t;
inline constexpr EphTypes kType4 = 1;
inline constexpr EphTypes kType6 = 2;
inline constexpr EphTypes kTypeOther = 4;  // every type but 4 and 6
inline constexpr EphTypes kAnyType = kType4 | kType6 | kTypeOther;
inline constexpr EphTypes kNot4 = kType6 | kTypeOther;
inline constexpr EphTypes kNot6 = kType4 | kTypeOther;

constexpr EphTypes typeclass(int32_t ephType) {
  return ephType == 4 ? kType4 : ephType == 6 ? kType6 : kTypeOther;
}
constexpr bool serves(EphTypes types, int32_t ephType) { return (types & typeclass(ephType)) != 0; }

// ---- Rows ----------------------------------------------------------------------

// A field index a member answers to: get reads the member for the types of
// `get`, set writes it for the types of `set`.
struct FieldSlot {
  int32_t idx = 0;  // 0: none
  EphTypes get = kAnyType;
  EphTypes set = kAnyType;
  bool csvOnly = false;  // the index exists only for a record with a CSV extension
};
using FieldSlots = std::array<FieldSlot, 2>;

// Where a member sits in the array form.
enum class InArray {
  kNone,
  kElement,  // element `at` holds the value; integers come back truncated
  kText,     // the companion text holds the characters from column `at`
};
struct ArraySlot {
  InArray form = InArray::kNone;
  int at = 0;               // element (counted from 1) or first text column
  std::string_view column;  // the column name hosts see; none for slots whose meaning depends on the type
};

// The member of the GP (and GP2) set a record member stands for, for the
// types of `types`. gp2Only: only the GP2 set carries it, and a GP2 update
// clears the member for the other types.
template <class P>
struct GpSlot {
  P field = nullptr;
  EphTypes types = kAnyType;
  bool gp2Only = false;
};

// Traits of a row.
using Traits = uint8_t;
inline constexpr Traits kKey = 1;    // makes the tree key: set by index and updates leave it
inline constexpr Traits kInExt = 2;  // lives in the CSV extension
inline constexpr Traits kEpoch = 4;  // the epoch year, standing for the whole epoch in the field and the array

template <class Of, class Gp, class Sp>
struct Member {
  FieldSlots fields;
  int width;  // columns of the get text: (I9), (F35.15), (A8), ...
  Traits traits;
  ArraySlot array;
  GpSlot<Gp> gp;
  Sp sp;  // member of the SP set, or nullptr
  Of of;  // the member of a record, const or not

  static constexpr bool kInGp = !std::is_null_pointer_v<Gp>;
  static constexpr bool kInSp = !std::is_null_pointer_v<Sp>;
  constexpr bool has(Traits t) const { return (traits & t) != 0; }
};

template <class Of, class Gp, class Sp>
constexpr Member<Of, Gp, Sp> row(FieldSlots fields, int width, Traits traits, ArraySlot array, GpSlot<Gp> gp, Sp sp,
                                 Of of) {
  return {fields, width, traits, array, gp, sp, of};
}

// The CSV extension of a record (present), const as the record.
template <class R>
auto& csvof(R& rec) {
  if constexpr (std::is_const_v<R>)
    return std::as_const(*rec.csvExt);
  else
    return *rec.csvExt;
}

inline constexpr int kRealWidth = 35;
inline constexpr int kEpochWidth = 16;  // "(I4.4,F12.8)"

constexpr FieldSlots field(int32_t idx, EphTypes get = kAnyType, EphTypes set = kAnyType) {
  return {FieldSlot{idx, get, set, false}, FieldSlot{}};
}
constexpr ArraySlot element(int at, std::string_view column = {}) { return {InArray::kElement, at, column}; }
constexpr ArraySlot textcolumn(int at) { return {InArray::kText, at, {}}; }
template <class P>
constexpr GpSlot<P> gp(P p, EphTypes types = kAnyType) {
  return {p, types, false};
}
template <class P>
constexpr GpSlot<P> gp2(P p, EphTypes types = kAnyType) {
  return {p, types, true};
}
inline constexpr GpSlot<std::nullptr_t> kNoGp{};
inline constexpr ArraySlot kNoArray{};
inline constexpr FieldSlots kNoField{};
inline constexpr Traits kPlain = 0;

// satNameLong comes after satName: in the text both start at column 2, and
// the long name, present only with a CSV extension, takes the columns over.
inline constexpr auto kMembers = std::make_tuple(
    row(field(1), 9, kKey, element(1, "satnum"), gp(&GpFields::satNum), &SpFields::satNum,
        [](auto& r) -> auto& { return r.satNum; }),
    row(field(2), 1, kPlain, textcolumn(1), gp(&GpFields::secClass), &SpFields::secClass,
        [](auto& r) -> auto& { return r.secClass; }),
    row(field(3), 8, kPlain, textcolumn(2), gp(&GpFields::satName), &SpFields::satName,
        [](auto& r) -> auto& { return r.satName; }),
    row(field(4), kEpochWidth, kKey | kEpoch, element(2, "epoch"), gp(&GpFields::epochYr), &SpFields::epochYr,
        [](auto& r) -> auto& { return r.epochYr; }),
    row(kNoField, 0, kKey, kNoArray, gp(&GpFields::epochDays), &SpFields::epochDays,
        [](auto& r) -> auto& { return r.epochDays; }),
    row(field(5, kNot6, kNot6), kRealWidth, kPlain, element(5, "bstar"), gp(&GpFields::dragTerm, kNot4), nullptr,
        [](auto& r) -> auto& { return r.bStar; }),
    row(field(6), 1, kKey, element(6, "ephtype"), gp(&GpFields::ephType), nullptr,
        [](auto& r) -> auto& { return r.ephType; }),
    row(field(7), 5, kPlain, element(31, "elset_num"), gp(&GpFields::elsetNum), &SpFields::elsetNum,
        [](auto& r) -> auto& { return r.elsetNum; }),
    row(field(8), kRealWidth, kPlain, element(21, "inclination"), gp(&GpFields::incli), &SpFields::incli,
        [](auto& r) -> auto& { return r.incli; }),
    row(field(9), kRealWidth, kPlain, element(22, "raan"), gp(&GpFields::raNode), &SpFields::raNode,
        [](auto& r) -> auto& { return r.raNode; }),
    row(field(10), kRealWidth, kPlain, element(23, "eccentricity"), gp(&GpFields::eccen), &SpFields::eccen,
        [](auto& r) -> auto& { return r.eccen; }),
    row(field(11), kRealWidth, kPlain, element(24, "arg_perigee"), gp(&GpFields::argPer), &SpFields::argPer,
        [](auto& r) -> auto& { return r.argPer; }),
    row(field(12), kRealWidth, kPlain, element(25, "mean_anomaly"), gp(&GpFields::mnAnomaly), &SpFields::mnAnomaly,
        [](auto& r) -> auto& { return r.mnAnomaly; }),
    row(field(13), kRealWidth, kPlain, element(26, "mean_motion"), gp(&GpFields::mnMotion), &SpFields::mnMotion,
        [](auto& r) -> auto& { return r.mnMotion; }),
    row(field(14), 5, kPlain, element(27, "rev_num"), gp(&GpFields::revNum), &SpFields::revNum,
        [](auto& r) -> auto& { return r.revNum; }),
    row(field(15, kNot6, kNot6), kRealWidth, kPlain, element(3, "ndot"), gp2(&GpFields::nDotO2), nullptr,
        [](auto& r) -> auto& { return r.nDotO2; }),
    // Set by index 16 keeps the second derivative here for every type, also
    // where get reads another member.
    row(field(16, kTypeOther, kAnyType), kRealWidth, kPlain, element(4, "nddot"), gp2(&GpFields::secondDeriv, kNot4),
        nullptr, [](auto& r) -> auto& { return r.n2DotO6; }),
    row(FieldSlots{FieldSlot{5, kType6, kType6}, FieldSlot{16, kType4, kType4}}, kRealWidth, kPlain, element(39),
        gp2(&GpFields::secondDeriv, kType4), &SpFields::auxCoef1, [](auto& r) -> auto& { return r.auxCoef1; }),
    row(FieldSlots{FieldSlot{15, kType6, kType6}, FieldSlot{18, kAnyType, kAnyType, true}}, kRealWidth, kPlain,
        element(33), gp(&GpFields::dragTerm, kType4), &SpFields::auxCoef2, [](auto& r) -> auto& { return r.auxCoef2; }),
    row(field(16, kType6, kType6), kRealWidth, kPlain, kNoArray, kNoGp, &SpFields::auxCoef3,
        [](auto& r) -> auto& { return r.auxCoef3; }),
    row(field(17), 9, kInExt, element(32), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvNum; }),
    row(field(19), kRealWidth, kInExt, element(34), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvVal1; }),
    row(field(20), kRealWidth, kInExt, element(35), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvVal2; }),
    row(field(21), kRealWidth, kInExt, element(36), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvVal3; }),
    row(field(22), kRealWidth, kInExt, element(37), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvVal4; }),
    row(field(23), kRealWidth, kInExt, element(38), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvVal5; }),
    row(field(24), 11, kInExt, textcolumn(14), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).csvText; }),
    row(field(25), 12, kInExt, textcolumn(2), kNoGp, nullptr, [](auto& r) -> auto& { return csvof(r).satNameLong; }));

// The element of the CSV number: the extension is rebuilt from an array
// only when it truncates to a nonzero integer.
inline constexpr int kCsvNumElement = 32;

template <class F>
constexpr void eachmember(F&& f) {
  std::apply([&](const auto&... m) { (f(m), ...); }, kMembers);
}

// The highest field index.
constexpr int32_t lastfieldidx() {
  int32_t last = 0;
  eachmember([&](const auto& m) {
    for (const FieldSlot& s : m.fields) last = s.idx > last ? s.idx : last;
  });
  return last;
}
inline constexpr int32_t kLastFieldIdx = lastfieldidx();

// The value type of a row.
template <class M>
using ValueOf = std::remove_cvref_t<decltype(std::declval<const M&>().of(std::declval<Tlerecord&>()))>;

// ---- Derived tables --------------------------------------------------------------

inline constexpr size_t kRowCount = std::tuple_size_v<decltype(kMembers)>;

// The row field idx reads on get for records of each type class (kType4,
// kType6, kTypeOther in this order), so that get goes straight to its row.
struct GetRow {
  int row = -1;          // -1: no field
  bool csvOnly = false;  // only for a record with a CSV extension
};
constexpr size_t classindex(int32_t ephType) { return ephType == 4 ? 0 : ephType == 6 ? 1 : 2; }

constexpr auto getrows() {
  std::array<std::array<GetRow, 3>, kLastFieldIdx + 1> out{};
  int r = 0;
  eachmember([&](const auto& m) {
    for (const FieldSlot& s : m.fields) {
      if (s.idx == 0) continue;
      for (size_t c = 0; c < 3; ++c)
        if ((s.get & (1u << c)) != 0) out[static_cast<size_t>(s.idx)][c] = {r, s.csvOnly || m.has(kInExt)};
    }
    ++r;
  });
  return out;
}
inline constexpr auto kGetRows = getrows();

// A named column of the array form.
struct NamedColumn {
  int element = 0;
  std::string_view name;
  bool isInteger = false;
};

constexpr size_t namedcolumncount() {
  size_t n = 0;
  eachmember([&](const auto& m) {
    if (m.array.form == InArray::kElement && !m.array.column.empty()) ++n;
  });
  return n;
}

// The named columns in element order.
constexpr auto namedcolumns() {
  std::array<NamedColumn, namedcolumncount()> out{};
  size_t n = 0;
  eachmember([&](const auto& m) {
    if (m.array.form != InArray::kElement || m.array.column.empty()) return;
    using T = ValueOf<std::remove_cvref_t<decltype(m)>>;
    NamedColumn c{m.array.at, m.array.column, std::is_same_v<T, int32_t> && !m.has(kEpoch)};
    size_t k = n++;
    for (; k > 0 && out[k - 1].element > c.element; --k) out[k] = out[k - 1];
    out[k] = c;
  });
  return out;
}
inline constexpr auto kNamedColumns = namedcolumns();

}  // namespace vx::tle::members
