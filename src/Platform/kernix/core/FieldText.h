// The text side of field access by index, shared by the libraries that hand
// out record fields as text: the blank-padded value text, the number a value
// text holds, the text form of a record member, and integer elements of a
// number array.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/Text.h"

namespace vx {

// Characters of a field value text.
inline constexpr size_t kFieldValueLen = 512;

// Blanks value (kFieldValueLen) and lets write(work) fill a blank work text
// and say whether it found the record: on success the work text goes,
// left-adjusted, to value (0), else missing() reports the key (2).
template <class Write, class Missing>
int32_t writeFieldText(char* value, Write&& write, Missing&& missing) {
  char work[kFieldValueLen];
  std::memset(work, ' ', sizeof work);
  std::memset(value, ' ', kFieldValueLen);
  if (!write(work)) {
    missing();
    return 2;
  }
  leftadjust(work, sizeof work);
  std::memcpy(value, work, kFieldValueLen);
  return 0;
}

// A value argument as kFieldValueLen characters, left-adjusted.
class FieldValue {
 public:
  explicit FieldValue(std::string_view value) {
    strtochararr(value, text_, sizeof text_);
    leftadjust(text_, sizeof text_);
  }
  std::string_view view() const { return {text_, sizeof text_}; }

 private:
  char text_[kFieldValueLen];
};

// The number of a value text into out; false for a text that holds none. A
// blank text is no number, although the fixed-column rules read it as 0.
inline bool fieldNumber(std::string_view value, int32_t& out) {
  const std::string_view number = trimmed(value);
  return !number.empty() && strtoint(number, out);
}
inline bool fieldNumber(std::string_view value, double& out) {
  const std::string_view number = trimmed(value);
  return !number.empty() && strtoreal(number, out);
}

// ---- Record members as text ------------------------------------------------------
// A member is a double, a 32-bit integer, one character or a character array.

template <class T>
inline constexpr bool kIsNumberMember = std::is_same_v<T, double> || std::is_same_v<T, int32_t>;

// The characters of a text member (one for a single character).
inline std::span<char> charsof(char& c) { return {&c, 1}; }
template <size_t N>
std::span<char> charsof(std::array<char, N>& a) {
  return {a.data(), N};
}
inline std::string_view charsof(const char& c) { return {&c, 1}; }
template <size_t N>
std::string_view charsof(const std::array<char, N>& a) {
  return {a.data(), N};
}

// Decimals of the real fields of a value text ("(F35.15)").
inline constexpr int kFieldRealDecimals = 15;

// The text form of a member into work (blank on entry), not yet adjusted:
// reals with kFieldRealDecimals in width columns, integers in width
// columns, texts as their characters.
template <class T>
void writeMemberText(char* work, int width, const T& v) {
  if constexpr (std::is_same_v<T, double>) {
    fmt::writeF(work, width, kFieldRealDecimals, v);
  } else if constexpr (std::is_same_v<T, int32_t>) {
    fmt::writeI(work, width, v);
  } else {
    const std::string_view s = charsof(v);
    std::memcpy(work, s.data(), s.size());
  }
}

// Why a value text could not become a member's value.
enum class MemberRead { kOk, kNoNumber, kUnprintable };

// Changes a member to the (left-adjusted) value text: a number member to the
// number it holds, a text member to its first characters. The member is left
// as it was unless the result is kOk.
template <class T>
MemberRead readMemberText(std::string_view value, T& v) {
  if constexpr (kIsNumberMember<T>) {
    T got{};
    if (!fieldNumber(value, got)) return MemberRead::kNoNumber;
    v = got;
  } else {
    const std::span<char> chars = charsof(v);
    const std::string_view text = value.substr(0, chars.size());
    if (firstunprintable(text) != std::string_view::npos) return MemberRead::kUnprintable;
    strtochararr(text, chars.data(), chars.size());
  }
  return MemberRead::kOk;
}

// An integer element of a number array: truncated toward zero; NaN and
// values beyond the 32-bit range saturate (NaN to the lowest), which the
// value checks reject.
inline int32_t truncint(double v) {
  if (!(v > -2147483649.0)) return INT32_MIN;
  if (!(v < 2147483648.0)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace vx
