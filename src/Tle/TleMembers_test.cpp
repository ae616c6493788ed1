#include "Tle/TleMembers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <type_traits>

#include "Tle/TleArray.h"
#include "Tle/TleFields.h"

namespace vx::tle {
namespace {

using namespace members;

constexpr EphTypes kTypeClasses[] = {kType4, kType6, kTypeOther};
constexpr int32_t kTypeOf[] = {4, 6, 0};  // one ephemeris type of each class

// Members that field idx reaches on get (forSet false) or set, for a record
// of the given type with or without CSV extension.
int rowsof(int32_t idx, int32_t ephType, bool hasExt, bool forSet) {
  int n = 0;
  eachmember([&](const auto& m) {
    for (const FieldSlot& s : m.fields) {
      if (s.idx == 0 || s.idx != idx) continue;
      if ((s.csvOnly || m.has(kInExt)) && !hasExt) continue;
      if (serves(forSet ? s.set : s.get, ephType)) ++n;
    }
  });
  return n;
}

TEST(TleMembers, EveryFieldIndexReachesOneMemberPerType) {
  EXPECT_EQ(kLastFieldIdx, 25);
  for (int32_t idx = -1; idx <= 26; ++idx) {
    for (size_t t = 0; t < std::size(kTypeClasses); ++t) {
      for (const bool hasExt : {false, true}) {
        const bool exists = idx >= 1 && idx <= 25 && (idx < 17 || hasExt);
        const int want = exists ? 1 : 0;
        const int32_t type = kTypeOf[t];
        EXPECT_EQ(rowsof(idx, type, hasExt, false), want) << "get " << idx << " type " << type << " ext " << hasExt;
        // Set by index 16 keeps the second derivative in n2DotO6 as well
        // for types 4 and 6.
        const int wantSet = idx == 16 && type != 0 ? 2 : want;
        EXPECT_EQ(rowsof(idx, type, hasExt, true), wantSet) << "set " << idx << " type " << type << " ext " << hasExt;
      }
    }
  }
}

TEST(TleMembers, ArraySlotsAreUniqueAndInRange) {
  std::set<int> elements;
  std::set<int> textColumns;
  eachmember([&](const auto& m) {
    if (m.array.form == InArray::kElement) {
      EXPECT_TRUE(isArrayElement(m.array.at)) << m.array.at;
      EXPECT_TRUE(elements.insert(m.array.at).second) << "element " << m.array.at << " twice";
    }
    if (m.array.form == InArray::kText) {
      EXPECT_GE(m.array.at, 1);
      EXPECT_LE(m.array.at + m.width - 1, static_cast<int>(kTleTextLen));
      // The name and the long name share column 2: the long name, written
      // later, takes it over for records with a CSV extension.
      EXPECT_TRUE(textColumns.insert(m.array.at).second || m.has(kInExt)) << "column " << m.array.at;
    }
  });
  EXPECT_TRUE(elements.count(kCsvNumElement));
}

TEST(TleMembers, NamedColumnsAreSortedUniqueAndFit) {
  std::set<std::string> names;
  for (size_t i = 0; i < kNamedColumns.size(); ++i) {
    const NamedColumn& c = kNamedColumns[i];
    if (i > 0) {
      EXPECT_LT(kNamedColumns[i - 1].element, c.element);
    }
    EXPECT_LE(c.name.size(), kColumnNameLen) << c.name;
    EXPECT_TRUE(names.insert(std::string(c.name)).second) << c.name;
  }
}

// ---- Argument orders against the rows ---------------------------------------------

// How often field appears in the argument order.
template <class Order, class P>
constexpr int timesin(const Order& order, P field) {
  return std::apply(
      [&](const auto... o) {
        int n = 0;
        ((n += [&] {
           if constexpr (std::is_same_v<std::remove_cv_t<decltype(o)>, P>)
             return o == field ? 1 : 0;
           else
             return 0;
         }()),
         ...);
        return n;
      },
      order);
}

// Every row of a set appears once in a full order and, unless it belongs
// to the key, once in an update order; the key rows do not appear there.
// Together with the length of the order this also rules out extra members.
template <class Order>
constexpr bool coversgp(const Order& order, bool update) {
  bool ok = true;
  eachmember([&](const auto& m) {
    if constexpr (std::remove_cvref_t<decltype(m)>::kInGp) {
      ok = ok && timesin(order, m.gp.field) == ((update && m.has(kKey)) ? 0 : 1);
    }
  });
  return ok;
}
template <class Order>
constexpr bool coverssp(const Order& order, bool update) {
  bool ok = true;
  eachmember([&](const auto& m) {
    if constexpr (std::remove_cvref_t<decltype(m)>::kInSp)
      ok = ok && timesin(order, m.sp) == ((update && m.has(kKey)) ? 0 : 1);
  });
  return ok;
}

static_assert(coversgp(kGpOrder, false) && std::tuple_size_v<decltype(kGpOrder)> == 17);
static_assert(coversgp(kGpLineOrder, false) && std::tuple_size_v<decltype(kGpLineOrder)> == 17);
static_assert(coversgp(kGpUpdateOrder, true) && std::tuple_size_v<decltype(kGpUpdateOrder)> == 13);
static_assert(coverssp(kSpOrder, false) && std::tuple_size_v<decltype(kSpOrder)> == 16);
static_assert(coverssp(kSpUpdateOrder, true) && std::tuple_size_v<decltype(kSpUpdateOrder)> == 13);

}  // namespace
}  // namespace vx::tle
