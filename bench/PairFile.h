// What the catalog and the vector-file generators share: reading the sample
// file, satellite numbers in the alpha-5 form, and turning a generator (a
// callable that hands each generated pair of lines to put(line1, line2)) into
// a file or into NUL-terminated buffers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vxbench {

// The lines of a text file, without line ends (a trailing '\r' dropped).
inline std::vector<std::string> readLines(const std::string& source) {
  std::ifstream in(source);
  if (!in) throw std::runtime_error("cannot read " + source);
  std::vector<std::string> lines;
  for (std::string s; std::getline(in, s);) {
    if (!s.empty() && s.back() == '\r') s.pop_back();
    lines.push_back(s);
  }
  return lines;
}

// 0..99999 as five digits; 100000..339999 as a letter (A..Z without I and
// O, A = 10) and four digits.
inline std::string alpha5(int64_t n) {
  static constexpr char kAlpha[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";
  char buf[16];
  if (n < 100000)
    std::snprintf(buf, sizeof buf, "%05d", static_cast<int>(n));
  else
    std::snprintf(buf, sizeof buf, "%c%04d", kAlpha[n / 10000 - 10], static_cast<int>(n % 10000));
  return buf;
}

// Every pair generate(put) hands out, copied into Pair's l1 and l2 buffers
// (zero filled, so NUL terminated).
template <class Pair, class Generate>
std::vector<Pair> collectPairs(int64_t n, Generate&& generate) {
  std::vector<Pair> out;
  out.reserve(static_cast<size_t>(n));
  generate([&](std::string_view a, std::string_view b) {
    Pair p{};
    a.copy(p.l1, std::min(a.size(), sizeof p.l1 - 1));
    b.copy(p.l2, std::min(b.size(), sizeof p.l2 - 1));
    out.push_back(p);
  });
  return out;
}

// Writes every pair generate(put) hands out to path, a line each.
template <class Generate>
void writePairFile(const std::string& path, Generate&& generate) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) throw std::runtime_error("cannot write " + path);
  std::vector<char> buf(1 << 20);
  std::setvbuf(f, buf.data(), _IOFBF, buf.size());
  generate([&](std::string_view a, std::string_view b) {
    std::fwrite(a.data(), 1, a.size(), f);
    std::fputc('\n', f);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fputc('\n', f);
  });
  if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace vxbench
