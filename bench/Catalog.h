// Large, valid element-set catalogs for the benchmarks, made from the sample
// catalog in data/catalog-2018.tle.
//
// Every element set is derived from a real one: the satellite number, epoch,
// element set number and mean anomaly are varied, the columns keep the
// published layout, and both checksums are correct. n element sets over s
// satellites (default min(n, 50000)); satellite k gets n/s element sets at
// increasing epochs, as a catalog history would, so every pair has its own
// key. Numbers above 99999 are written in the alpha-5 form (A0000 = 100000).
// The same arguments always give the same catalog.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "PairFile.h"

namespace vxbench {

// One pair of lines, 69 characters each, NUL terminated: what a C host hands
// the libraries.
struct LinePair {
  char l1[80];
  char l2[80];
  std::string_view line1() const { return {l1, 69}; }
  std::string_view line2() const { return {l2, 69}; }
};

inline char checksumDigit(std::string_view line) {
  int sum = 0;
  for (char c : line.substr(0, 68)) {
    if (c >= '0' && c <= '9')
      sum += c - '0';
    else if (c == '-')
      sum += 1;
  }
  return static_cast<char>('0' + sum % 10);
}

struct Template {
  std::string l1, l2;
};

// The pairs of the sample catalog, each line cut or blank padded to 69.
inline std::vector<Template> templates(const std::string& source) {
  const std::vector<std::string> lines = readLines(source);
  std::vector<Template> out;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].rfind("1 ", 0) == 0 && lines[i + 1].rfind("2 ", 0) == 0) {
      std::string a = lines[i].substr(0, 69), b = lines[i + 1].substr(0, 69);
      a.resize(69, ' ');
      b.resize(69, ' ');
      out.push_back({a, b});
    }
  }
  if (out.empty()) throw std::runtime_error("no element sets in " + source);
  return out;
}

inline std::string sampleCatalog() { return std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle"; }

// Calls put(line1, line2) for each of the n generated pairs (69 characters
// each).
template <class Put>
void generate(int64_t n, int64_t sats, Put&& put, uint64_t seed = 1957) {
  if (sats <= 0) sats = std::min<int64_t>(n, 50000);
  if (sats > 339999) throw std::runtime_error("at most 339999 satellites fit the satellite-number columns");
  const std::vector<Template> tpl = templates(sampleCatalog());
  std::mt19937_64 rnd(seed);
  char epoch[32], elset[16], anomaly[32];
  std::string l1, l2;
  for (int64_t k = 0; k < n; ++k) {
    const int64_t sat = 1 + k % sats;
    const int64_t gen = k / sats;
    const Template& t = tpl[static_cast<size_t>((sat * 7919) % static_cast<int64_t>(tpl.size()))];
    const int year = static_cast<int>(18 + (gen / 300) % 8);
    const double jitter = static_cast<double>(rnd() >> 11) * 0x1.0p-53;
    const double day = 1.0 + static_cast<double>(sat % 97) + static_cast<double>(gen % 300) * 0.9 + jitter * 0.5;
    std::snprintf(epoch, sizeof epoch, "%02d%012.8f", year, day);
    std::snprintf(elset, sizeof elset, "%4d", static_cast<int>((gen * 7 + sat) % 10000));
    const double m0 = std::stod(t.l2.substr(43, 8));
    std::snprintf(anomaly, sizeof anomaly, "%8.4f", std::fmod(m0 + static_cast<double>(gen) * 13.37, 360.0));
    const std::string s5 = alpha5(sat);
    l1.assign("1 ").append(s5).append(t.l1, 7, 11).append(epoch).append(t.l1, 32, 32).append(elset);
    l2.assign("2 ").append(s5).append(t.l2, 7, 36).append(anomaly).append(t.l2, 51, 17);
    l1.resize(68);
    l2.resize(68);
    l1.push_back(checksumDigit(l1));
    l2.push_back(checksumDigit(l2));
    put(std::string_view(l1), std::string_view(l2));
  }
}

inline std::vector<LinePair> generatePairs(int64_t n, int64_t sats = 0) {
  return collectPairs<LinePair>(n, [&](auto&& put) { generate(n, sats, put); });
}

// Writes n generated pairs to path as a two-line file.
inline void writeCatalog(const std::string& path, int64_t n, int64_t sats = 0) {
  writePairFile(path, [&](auto&& put) { generate(n, sats, put); });
}

}  // namespace vxbench
