// The yardstick the library's parsers are timed against: a bare fixed-column
// reader of the two lines into a plain struct, every field read with
// std::from_chars and both checksums verified. No logging, no normalisation,
// no store.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace vxbench {

struct PlainElset {
  int32_t satNum = 0;
  char secClass = ' ';
  char intlDesig[8] = {};
  int32_t epochYr = 0;
  double epochDays = 0;
  double nDotO2 = 0, n2DotO6 = 0, bStar = 0;
  int32_t ephType = 0, elsetNum = 0;
  double incli = 0, raNode = 0, eccen = 0, argPer = 0, mnAnomaly = 0, mnMotion = 0;
  int32_t revNum = 0;
};

namespace plain {

// Columns first..last, 1-based inclusive, without leading and trailing blanks.
inline std::string_view cols(std::string_view line, int first, int last) {
  std::string_view s = line.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// A number filling the whole of s (a leading '+' allowed); blank is 0.
template <class T>
bool readNum(std::string_view s, T& v) {
  if (s.empty()) {
    v = 0;
    return true;
  }
  if (s.front() == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

inline bool readInt(std::string_view s, int32_t& v) { return readNum(s, v); }

inline bool readReal(std::string_view s, double& v) { return readNum(s, v); }

// "+NNNNN-N": a signed five-digit mantissa with its decimal point implied
// before it, and a signed one-digit power of ten.
inline bool readExpField(std::string_view line, int first, double& v) {
  static constexpr double kPow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14};
  int32_t mant = 0, expo = 0;
  if (!readInt(cols(line, first, first + 5), mant) || !readInt(cols(line, first + 6, first + 7), expo)) return false;
  if (expo < -9 || expo > 5) return false;
  v = static_cast<double>(mant) / kPow10[5 - expo];
  return true;
}

inline bool readSatNum(std::string_view s, int32_t& v) {
  static constexpr char kAlpha[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";
  if (!s.empty() && s.front() >= 'A' && s.front() <= 'Z') {
    const std::string_view letters(kAlpha, 24);
    const size_t lead = letters.find(s.front());
    int32_t rest = 0;
    if (lead == std::string_view::npos || !readInt(s.substr(1), rest)) return false;
    v = (static_cast<int32_t>(lead) + 10) * 10000 + rest;
    return true;
  }
  return readInt(s, v);
}

// Column 69 against the sum of columns 1-68: digits at their value, a minus
// sign as one, everything else nothing; modulo 10.
inline bool checksumOk(std::string_view line) {
  static constexpr auto kWeight = [] {
    struct Table {
      uint8_t w[256] = {};
    } t;
    for (int c = '0'; c <= '9'; ++c) t.w[c] = static_cast<uint8_t>(c - '0');
    t.w[static_cast<unsigned char>('-')] = 1;
    return t;
  }();
  unsigned sum = 0;
  for (size_t i = 0; i < 68; ++i) sum += kWeight.w[static_cast<unsigned char>(line[i])];
  return line[68] == static_cast<char>('0' + sum % 10);
}

}  // namespace plain

// Both lines of 69 characters or more into e; false for a line that does not
// read or whose checksum is wrong.
inline bool parsePlain(std::string_view l1, std::string_view l2, PlainElset& e) {
  using namespace plain;
  if (l1.size() < 69 || l2.size() < 69 || l1[0] != '1' || l2[0] != '2') return false;
  if (!checksumOk(l1) || !checksumOk(l2)) return false;
  int32_t sat2 = 0, eccDigits = 0;
  e.secClass = l1[7];
  l1.copy(e.intlDesig, 8, 9);
  const bool ok = readSatNum(cols(l1, 3, 7), e.satNum) && readInt(cols(l1, 19, 20), e.epochYr) &&
                  readReal(cols(l1, 21, 32), e.epochDays) && readReal(cols(l1, 34, 43), e.nDotO2) &&
                  readExpField(l1, 45, e.n2DotO6) && readExpField(l1, 54, e.bStar) &&
                  readInt(cols(l1, 63, 63), e.ephType) && readInt(cols(l1, 65, 68), e.elsetNum) &&
                  readSatNum(cols(l2, 3, 7), sat2) && readReal(cols(l2, 9, 16), e.incli) &&
                  readReal(cols(l2, 18, 25), e.raNode) && readInt(cols(l2, 27, 33), eccDigits) &&
                  readReal(cols(l2, 35, 42), e.argPer) && readReal(cols(l2, 44, 51), e.mnAnomaly) &&
                  readReal(cols(l2, 53, 63), e.mnMotion) && readInt(cols(l2, 64, 68), e.revNum);
  // Eccentricity has its decimal point implied before its seven digits.
  e.eccen = static_cast<double>(eccDigits) * 1e-7;
  return ok && sat2 == e.satNum;
}

}  // namespace vxbench
