// Random decimal texts for the tests that pin a reader to std::from_chars:
// each reader must give the double nearest the decimal written.
#pragma once

#include <charconv>
#include <cstddef>
#include <random>
#include <string>

namespace vx::testing {

// "[-]digits.digits" with 1 to maxDigits digits and the point anywhere among
// them (".5" and "5." included).
inline std::string randomDecimal(std::mt19937_64& rng, size_t maxDigits) {
  std::string digits, text = (rng() & 1) ? "-" : "";
  const size_t nd = 1 + rng() % maxDigits, pointAt = rng() % (nd + 1);
  for (size_t k = 0; k < nd; ++k) digits += static_cast<char>('0' + rng() % 10);
  // Appends only: GCC 12 warns falsely about an insert here (-Wrestrict).
  text.append(digits, 0, pointAt);
  text += '.';
  text.append(digits, pointAt, std::string::npos);
  return text;
}

// The double std::from_chars reads from text.
inline double fromChars(const std::string& text) {
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

}  // namespace vx::testing
