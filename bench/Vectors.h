// Large, valid files of state vectors (1P/2P card sets) for the benchmarks,
// made from the sample vectors in data/vectors-sample.vec.
//
// Every vector is derived from a sample one: the satellite number, the epoch,
// the revolution and element set numbers and the three terms are varied, and
// position and velocity are turned about the Z axis by an angle of their own
// (so their sizes, and the orbit's shape, stay those of the sample). The
// cards are written in the columns and number forms the library's own writer
// uses (four decimals for position and velocity, the terms with their own
// point in ten columns, the epoch right-adjusted), so a card set read and
// written again comes back character for character. n vectors over s
// satellites (default min(n, 50000)); satellite k gets n/s vectors six hours
// apart, as a history would, so every card set has its own key. Numbers above
// 99999 are written in the alpha-5 form (A0000 = 100000). The same arguments
// always give the same cards.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "PairFile.h"

namespace vxbench {

// Columns of a card: both cards carry data in exactly 80.
inline constexpr size_t kCardCols = 80;

// One card set, 80 characters a card, NUL terminated: what a C host hands
// the library.
struct CardPair {
  char l1[kCardCols + 1];
  char l2[kCardCols + 1];
  std::string_view card1() const { return {l1, kCardCols}; }
  std::string_view card2() const { return {l2, kCardCols}; }
};

namespace vec {

// A value held as a whole number of ten-thousandths, right-aligned in w
// columns with four decimals ("F12.4", "F13.4").
inline void fixed4(int64_t tenThousandths, int w, char* out) {
  char buf[32];
  const int64_t a = tenThousandths < 0 ? -tenThousandths : tenThousandths;
  const int n = std::snprintf(buf, sizeof buf, "%s%lld.%04lld", tenThousandths < 0 ? "-" : "",
                              static_cast<long long>(a / 10000), static_cast<long long>(a % 10000));
  if (n > w) throw std::runtime_error("a generated position or velocity is too wide for its columns");
  std::memset(out, ' ', static_cast<size_t>(w - n));
  std::memcpy(out + (w - n), buf, static_cast<size_t>(n));
}

// A term held as a whole number of 1e-9 below 1e9, in ten columns with its
// own point and nine decimals (".010210000"), as the writer puts a term
// below one.
inline void term9(int64_t nanos, char* out10) {
  if (nanos < 0 || nanos >= 1000000000) throw std::runtime_error("a generated term is outside 0 to 1");
  char buf[16];
  std::snprintf(buf, sizeof buf, ".%09lld", static_cast<long long>(nanos));
  std::memcpy(out10, buf, 10);
}

// Integer right-aligned in w columns.
inline void intw(int64_t v, int w, char* out) {
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, "%*lld", w, static_cast<long long>(v));
  if (n != w) throw std::runtime_error("a generated number is too wide for its columns");
  std::memcpy(out, buf, static_cast<size_t>(w));
}

// Columns first..last (1-based, inclusive) of a line as a double.
inline double colReal(const std::string& line, int first, int last) {
  return std::stod(line.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1)));
}

}  // namespace vec

// One sample vector: what the generated ones keep of it.
struct VectorTemplate {
  double pos[3];  // km
  double vel[3];  // m/s
  char secClass;
  char intlDes[8];
  int32_t epochRev;
  char coordSys[5];
};

// The card sets of the sample file.
inline std::vector<VectorTemplate> vectorTemplates(const std::string& source) {
  std::vector<std::string> lines = readLines(source);
  for (std::string& s : lines) s.resize(kCardCols, ' ');
  std::vector<VectorTemplate> out;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const std::string& a = lines[i];
    const std::string& b = lines[i + 1];
    if (a.compare(77, 3, "B1P") != 0 || b.compare(78, 2, "2P") != 0) continue;
    VectorTemplate t{};
    for (int j = 0; j < 3; ++j) {
      t.pos[j] = vec::colReal(a, 1 + 12 * j, 12 + 12 * j);
      t.vel[j] = vec::colReal(a, 37 + 13 * j, 49 + 13 * j);
    }
    t.secClass = a[76];
    b.copy(t.intlDes, 8, 6);
    t.epochRev = static_cast<int32_t>(vec::colReal(b, 32, 38));
    b.copy(t.coordSys, 5, 73);
    out.push_back(t);
  }
  if (out.empty()) throw std::runtime_error("no card sets in " + source);
  return out;
}

inline std::string sampleVectors() { return std::string(VX_SOURCE_DIR) + "/data/vectors-sample.vec"; }

// Calls put(card1, card2) for each of the n generated card sets (80
// characters each).
template <class Put>
void generateVectors(int64_t n, int64_t sats, Put&& put, uint64_t seed = 1957) {
  if (sats <= 0) sats = std::min<int64_t>(n, 50000);
  if (sats > 339999) throw std::runtime_error("at most 339999 satellites fit the satellite-number columns");
  const std::vector<VectorTemplate> tpl = vectorTemplates(sampleVectors());
  std::mt19937_64 rnd(seed);
  constexpr double kTwoPi = 6.283185307179586;
  constexpr int64_t kSecondsPerYear = 365 * 86400;  // every year has a day 365
  char a[kCardCols + 1], b[kCardCols + 1];
  for (int64_t k = 0; k < n; ++k) {
    const int64_t sat = 1 + k % sats;
    const int64_t gen = k / sats;
    const VectorTemplate& t = tpl[static_cast<size_t>((sat * 7919) % static_cast<int64_t>(tpl.size()))];
    const uint64_t r = rnd();

    // Epoch: from 2018 January 1, a start of the satellite's own, six hours
    // a vector, and a random part of an hour to the millisecond.
    const int64_t ms = ((sat % 97) * 86400 + gen * 21600) * 1000 + static_cast<int64_t>(r % 3600000);
    const int64_t sec = ms / 1000;
    const int64_t year = 18 + sec / kSecondsPerYear;
    if (year > 49) throw std::runtime_error("generated epochs run past 2049; use more satellites");
    const int64_t inYear = sec % kSecondsPerYear;
    char epoch[32];
    std::snprintf(epoch, sizeof epoch, "  %02lld%03lld%02lld%02lld%02lld.%03lld", static_cast<long long>(year),
                  static_cast<long long>(inYear / 86400 + 1), static_cast<long long>(inYear % 86400 / 3600),
                  static_cast<long long>(inYear % 3600 / 60), static_cast<long long>(inYear % 60),
                  static_cast<long long>(ms % 1000));

    // Position and velocity turned about Z; a component that would round
    // to zero is kept one unit of the last decimal away from it.
    const double turn = std::fmod(static_cast<double>(sat) * 0.6180339887 + static_cast<double>(gen) * 0.1, 1.0);
    const double angle = kTwoPi * turn;
    const double c = std::cos(angle), s = std::sin(angle);
    auto turned = [&](const double v[3], int j) {
      const double x = j == 0 ? c * v[0] - s * v[1] : j == 1 ? s * v[0] + c * v[1] : v[2];
      const int64_t q = std::llround(x * 1e4);
      return q != 0 ? q : int64_t{1};
    };

    std::memset(a, ' ', kCardCols);
    for (int j = 0; j < 3; ++j) vec::fixed4(turned(t.pos, j), 12, a + 12 * j);
    for (int j = 0; j < 3; ++j) vec::fixed4(turned(t.vel, j), 13, a + 36 + 13 * j);
    a[76] = t.secClass;
    std::memcpy(a + 77, "B1P", 3);

    std::memset(b, ' ', kCardCols);
    std::memcpy(b, alpha5(sat).data(), 5);
    std::memcpy(b + 6, t.intlDes, 8);
    std::memcpy(b + 14, epoch, 17);
    vec::intw(std::min<int64_t>(t.epochRev + gen * 4, 999999), 6, b + 32);
    vec::intw((gen * 7 + sat) % 10000, 4, b + 39);
    vec::term9(static_cast<int64_t>((r >> 22) % 99999 + 1) * 10000, b + 43);  // bTerm, 1e-5 .. 0.99999
    vec::term9(static_cast<int64_t>((r >> 40) % 20000) * 1000, b + 53);      // agom, below 0.02
    vec::term9(sat % 10 == 0 ? static_cast<int64_t>(gen % 1000) : 0, b + 63);  // thrust, a few
    std::memcpy(b + 73, t.coordSys, 5);
    std::memcpy(b + 78, "2P", 2);
    put(std::string_view(a, kCardCols), std::string_view(b, kCardCols));
  }
}

inline std::vector<CardPair> generateCardPairs(int64_t n, int64_t sats = 0) {
  return collectPairs<CardPair>(n, [&](auto&& put) { generateVectors(n, sats, put); });
}

// Writes n generated card sets to path as an input file.
inline void writeVectorFile(const std::string& path, int64_t n, int64_t sats = 0) {
  writePairFile(path, [&](auto&& put) { generateVectors(n, sats, put); });
}

}  // namespace vxbench
