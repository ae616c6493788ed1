// The text side of field access by index, shared by the libraries that hand
// out record fields as text: the blank-padded value text, the number a value
// text holds, and integer elements of a number array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

// An integer element of a number array: truncated toward zero; NaN and
// values beyond the 32-bit range saturate (NaN to the lowest), which the
// value checks reject.
inline int32_t truncint(double v) {
  if (!(v > -2147483649.0)) return INT32_MIN;
  if (!(v < 2147483648.0)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace vx
